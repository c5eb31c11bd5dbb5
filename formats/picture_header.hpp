// What is read of a picture file before any decoder sees it: its kind, by its signature,
// and the size its header gives, so that pictures of other kinds, and pictures too big to
// hold, are refused while they are still a few bytes. Internal to the formats library.
#pragma once

#include <cstdint>
#include <string>

#include <quorvel/formats.hpp>

#include "formats/bytes.hpp"

namespace quorvel::formats {

enum class PictureKind { Unknown, Iff, Pcx, Gif, Png, Bmp };

// The kind of picture the bytes start like: FORM ILBM or PBM, PCX, GIF87a or GIF89a,
// PNG, or a BMP with a known info header. Unknown for anything else.
PictureKind RecognisePicture(const Bytes& bytes);
// "IFF", "PCX", "GIF", "PNG", "BMP" for messages.
const char* PictureKindName(PictureKind kind);

// Checks the size the header of a picture of `kind` gives: for IFF every BMHD chunk, for
// a GIF its logical screen and every image (walking its blocks to the trailer, with each
// image's LZW code size). Returns "" or what is wrong: a header cut short or without a
// size, a side of 0, a picture past kMaxPictureSide or kMaxPicturePixels, an IFF BMHD that
// the decoder refuses (BmhdProblem), or a GIF cut short or with an LZW code size outside
// 2..8.
std::string CheckPictureSize(const Bytes& bytes, PictureKind kind);
// "" when a picture of width x height may be decoded, else why not.
std::string PictureSizeProblem(int64_t width, int64_t height);

// Recognises, checks the size and decodes with the decoder of the picture's kind
// (picture_decoders.hpp): the picture without its cycles, or what is wrong (without the
// file's name), with `picture` left empty.
std::string DecodePicture(const Bytes& bytes, IndexedPicture& picture);

}  // namespace quorvel::formats
