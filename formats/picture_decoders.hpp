// One decoder for each kind of picture. Each takes the whole file, whose header
// CheckPictureSize has already passed, and returns "" with the picture (its cycles aside),
// or what is wrong, naming the byte where it can, with `picture` left empty.
// Internal to the formats library.
#pragma once

#include <string>

#include <quorvel/formats.hpp>
#include <quorvel/quantize.hpp>

#include "formats/bytes.hpp"

namespace quorvel::formats {

std::string DecodeGif(const Bytes& bytes, IndexedPicture& picture);  // gif_picture.cpp
std::string DecodePng(const Bytes& bytes, IndexedPicture& picture);  // png_picture.cpp
std::string DecodeIff(const Bytes& bytes, IndexedPicture& picture);  // iff_chunks.cpp
std::string DecodePcx(const Bytes& bytes, IndexedPicture& picture);  // pcx_picture.cpp
std::string DecodeBmp(const Bytes& bytes, IndexedPicture& picture);  // bmp_picture.cpp

// True-colour decoders, where the kind has true-colour pictures: a PNG of any colour type,
// a BMP of 16, 24 or 32 bits a pixel and a PCX of 3 or 4 planes of 8 bits (IsTrueColour...
// says whether a file is one; when not, the indexed decoder reads it). Each is handed a
// file whose size check has passed.
std::string DecodePngRgba(const Bytes& bytes, RgbaPicture& picture);  // png_picture.cpp
bool IsTrueColourBmp(const Bytes& bytes);                                         // bmp_picture.cpp
std::string DecodeBmpRgba(const Bytes& bytes, RgbaPicture& picture);  // bmp_picture.cpp
bool IsTrueColourPcx(const Bytes& bytes);                            // pcx_picture.cpp
std::string DecodePcxRgba(const Bytes& bytes, RgbaPicture& picture);  // pcx_picture.cpp

// The refusal of a picture that is not indexed; `what` says what it is ("24 bits a pixel").
std::string TrueColourPicture(const std::string& what);

// "" when every pixel names one of the picture's colourCount colours, else the first that
// does not: "pixel (3, 2) is colour 7; <table> holds 4". A colour past the file's table
// is damage, not a colour to make up. The picture's width must be set.
std::string CheckPixelColours(const IndexedPicture& picture, const std::string& table);

}  // namespace quorvel::formats
