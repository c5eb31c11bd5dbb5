// What the formats library reads of IFF pictures itself: the size in BMHD, and whole
// pictures, for chunky (PBM) ones, which SDL2_image 2.6 misreads unless their width is a
// multiple of 16, and for every IFF picture in a web page. Internal to the formats library.
#pragma once

#include <string>

#include <quorvel/formats.hpp>

#include "formats/bytes.hpp"

namespace quorvel::formats {

// The BMHD chunk: the picture's size, bit planes, masking and compression.
struct Bmhd {
  uint16_t width = 0, height = 0;
  uint8_t planes = 0, masking = 0, compression = 0;
};
bool ReadBmhd(ByteReader& body, Bmhd& bmhd);

// The width and height of the BMHD chunk of a FORM ILBM or PBM; false for anything else.
bool IffPictureSize(const Bytes& bytes, int32_t& width, int32_t& height);

// Decodes a FORM ILBM (1 to 8 bit planes and a mask plane, if any; HAM refused,
// extra-half-brite's 64 colours made) or PBM (8-bit chunky rows of an even length),
// uncompressed or ByteRun1, into `picture` (its cycles aside). Where a file has more than
// one, the last BMHD, CMAP, CAMG and BODY count, in any order. False with `error` saying
// where and what, and `picture` empty, when it cannot.
bool DecodeIffPicture(const Bytes& bytes, IndexedPicture& picture, std::string& error);

}  // namespace quorvel::formats
