// What the formats library reads of IFF pictures itself: the size in BMHD, and whole
// chunky (PBM) pictures, which SDL2_image 2.6 misreads unless their width is a multiple
// of 16. Internal to the formats library.
#pragma once

#include <string>

#include <quorvel/colour.hpp>

#include "formats/bytes.hpp"

namespace quorvel::formats {

// The BMHD chunk: the picture's size, bit planes, masking and compression.
struct Bmhd {
  uint16_t width = 0, height = 0;
  uint8_t planes = 0, masking = 0, compression = 0;
};
bool ReadBmhd(ByteReader& body, Bmhd& bmhd);

// ByteRun1: a count n, then n + 1 bytes to copy (n >= 0) or one byte to repeat 1 - n
// times (n < 0; -128 does nothing). Fills `out` exactly or returns false.
bool UnpackByteRun1(ByteReader& in, std::vector<uint8_t>& out);

// The width and height of the BMHD chunk of a FORM ILBM or PBM; false for anything else.
bool IffPictureSize(const Bytes& bytes, int32_t& width, int32_t& height);

struct PbmImage {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> pixels;
  Palette palette;
  int32_t colours = 0;
};
// Decodes a FORM PBM: 8-bit chunky rows of an even length, uncompressed or ByteRun1.
// False with `error` saying where and what when it cannot.
bool DecodePbm(const Bytes& bytes, PbmImage& image, std::string& error);

}  // namespace quorvel::formats
