// The 128-byte header of a PCX picture (ZSoft Paintbrush), little-endian, which the
// recognition, the size check and the decoder all read through ReadPcxHeader. Internal to
// the formats library.
#pragma once

#include <array>
#include <cstdint>

#include <quorvel/colour.hpp>

#include "formats/bytes.hpp"

namespace quorvel::formats {

constexpr size_t kPcxHeaderBytes = 128;

struct PcxHeader {
  uint8_t manufacturer = 0;  // 10
  uint8_t version = 0;       // 0, 2, 3, 4 or 5
  uint8_t encoding = 0;      // 1: run-length encoded; 0: plain
  uint8_t bitsPerPixel = 0;  // in each plane
  uint8_t planes = 0;
  int64_t width = 0, height = 0;  // from the inclusive corners, taken as signed
  uint16_t bytesPerLine = 0;      // of each plane of a row
  std::array<Rgb8, 16> palette{};  // the header's colours, for pictures of up to 16
};
// False when the bytes are shorter than the header.
bool ReadPcxHeader(const Bytes& bytes, PcxHeader& header);

}  // namespace quorvel::formats
