// What the formats library reads of IFF pictures (FORM ILBM or PBM) itself: the chunk
// walk that the size check, the picture decoder and the colour-cycle reader share, the
// BMHD, and whole pictures. Internal to the formats library.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <quorvel/formats.hpp>

#include "formats/bytes.hpp"

namespace quorvel::formats {

// Calls `chunk` with each chunk of a FORM ILBM or PBM, in order: its id, a reader over its
// data and the offset of its id. The walk ends at the FORM's end or, for a FORM size too
// small to hold even the FORM's type (a size never written), at the end of the file; a
// FORM size that differs from the file, and a chunk that runs past the end (which ends
// the walk), are told in `warnings`. False for anything that is not such a FORM.
bool ForEachIffChunk(const Bytes& bytes, std::vector<std::string>& warnings,
                     const std::function<void(std::string_view id, ByteReader& data, size_t at)>& chunk);

// The BMHD chunk, all 20 bytes of it; false when it is shorter.
struct Bmhd {
  uint16_t width = 0, height = 0;
  uint8_t planes = 0, masking = 0, compression = 0;
  uint16_t transparentColour = 0;  // the see-through colour under masking 2
  uint8_t xAspect = 0, yAspect = 0;  // the pixel's shape, width to height; 0 when not given
};
bool ReadBmhd(ByteReader& body, Bmhd& bmhd);
// "" when a picture with this BMHD can be decoded, else "the BMHD gives ..." and why not:
// bit planes other than 1..8 (8 for PBM), masking other than 0..3 (a mask plane in a PBM),
// compression other than none and ByteRun1. The size is PictureSizeProblem's.
std::string BmhdProblem(const Bmhd& bmhd, bool chunky);

// Decodes a FORM ILBM (1 to 8 bit planes, any mask plane left out; HAM refused,
// extra-half-brite's 64 colours made) or PBM (8-bit chunky rows of an even length),
// uncompressed or ByteRun1, into `picture` (its cycles aside); masking 2 makes the BMHD's
// transparent colour see-through. Where a file has more than one, the last BMHD, CMAP,
// CAMG and BODY count, in any order. A pixel of a colour past the CMAP (more planes than
// colours is fine otherwise) is an error. False with `error` saying where and what, and
// `picture` empty, when it cannot.
bool DecodeIffPicture(const Bytes& bytes, IndexedPicture& picture, std::string& error);

}  // namespace quorvel::formats
