// One encoder for each kind of picture written. Each takes a picture that
// EncodePicture has checked (a size that may be decoded, width x height pixels that each
// name one of its 1..256 colours) and returns its file's bytes, telling in `warnings`
// what the format cannot keep, or returns false with `error`. Internal to the formats
// library.
#pragma once

#include <string>
#include <vector>

#include <quorvel/formats.hpp>

#include "formats/bytes.hpp"

namespace quorvel::formats {

// IFF ILBM (chunky false: bit planes) or PBM (chunky true), with BMHD, CMAP, the cycle
// chunks and BODY (iff_picture_writer.cpp).
bool EncodeIff(const IndexedPicture& picture, bool chunky, const PictureWriteOptions& options, Bytes& out,
               std::vector<std::string>& warnings, std::string& error);
bool EncodePng(const IndexedPicture& picture, Bytes& out, std::vector<std::string>& warnings,
               std::string& error);  // png_picture_writer.cpp
bool EncodeGif(const IndexedPicture& picture, Bytes& out, std::vector<std::string>& warnings,
               std::string& error);  // gif_picture_writer.cpp

// What every format needs of a picture before it is written, scenes too: "" when it has
// it, else what it lacks.
std::string PictureWriteProblem(const IndexedPicture& picture);

// The warning for a format that keeps no cycles, when the picture has some; nothing else.
void WarnCyclesLeftOut(const IndexedPicture& picture, const char* format, std::vector<std::string>& warnings);

// Puts an encoder's bytes at `path` in one step (a new file renamed into place), or the
// encoder's error; errors and warnings then name the file.
PictureWriteResult WriteEncoded(const std::string& path, PictureWriteResult encoded);

}  // namespace quorvel::formats
