// The headers of a BMP picture (Windows and OS/2 bitmaps), little-endian, which the
// recognition, the size check and the decoder all read through the functions here.
// Internal to the formats library.
#pragma once

#include <cstdint>
#include <string>

#include "formats/bytes.hpp"

namespace quorvel::formats {

constexpr size_t kBmpFileHeaderBytes = 14;
constexpr size_t kBmpOs2InfoBytes = 12;  // the old OS/2 header: 16-bit sizes, 3-byte colours

struct BmpHeader {
  uint32_t pixelOffset = 0;     // where the rows start, from the file's start
  uint32_t infoSize = 0;        // 12, 40, 52, 56, 64 (OS/2 2), 108 (V4) or 124 (V5)
  int64_t width = 0, height = 0;  // the height positive even where the rows run top first
  bool topDown = false;
  uint16_t bitsPerPixel = 0;
  uint32_t compression = 0;     // 0 plain, 1 RLE8, 2 RLE4, ...; 0 in the OS/2 header
  uint32_t coloursUsed = 0;     // 0: as many as the bits can index
};

// An info header size the readers know.
bool IsBmpInfoSize(uint32_t size);
// "BM", then the pixel offset and the info header's size; false when the bytes are not.
bool ReadBmpStart(const Bytes& bytes, uint32_t& pixelOffset, uint32_t& infoSize);
// The file and info headers. Returns "" or what is wrong: not a BMP, an unknown info
// header, or one cut short.
std::string ReadBmpHeader(const Bytes& bytes, BmpHeader& header);

}  // namespace quorvel::formats
