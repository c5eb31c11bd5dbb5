// Indexed pictures from files or their bytes: the kind by its signature, the size its
// header gives, the picture from the decoder of its kind, then the colour cycles of an IFF
// file.
#include <quorvel/formats.hpp>

#include <algorithm>

#include "formats/file_io.hpp"
#include "formats/picture_decoders.hpp"
#include "formats/picture_header.hpp"

namespace quorvel {

std::string formats::TrueColourPicture(const std::string& what) {
  return "a true-colour picture (" + what + "), not an indexed one: only pictures of at most 256 palette "
         "colours can be shown through the palette";
}

std::string formats::DecodePicture(const Bytes& bytes, IndexedPicture& picture) {
  picture = {};
  const PictureKind kind = RecognisePicture(bytes);
  if (kind == PictureKind::Unknown) {
    const std::string told = PictureKindOf(bytes);  // a JPEG, say, is named as one
    return (told.empty() ? std::string("not a picture that can be read")
                         : "a picture of a kind that is not read (" + told + ")") +
           ": only IFF ILBM and PBM, PCX, GIF, PNG and BMP pictures are";
  }
  const std::string kindName = PictureKindName(kind);
  if (std::string problem = CheckPictureSize(bytes, kind); !problem.empty()) {
    return "cannot read this " + kindName + " picture: " + problem;
  }
  std::string problem;
  switch (kind) {
    case PictureKind::Iff: problem = DecodeIff(bytes, picture); break;
    case PictureKind::Pcx: problem = DecodePcx(bytes, picture); break;
    case PictureKind::Gif: problem = DecodeGif(bytes, picture); break;
    case PictureKind::Png: problem = DecodePng(bytes, picture); break;
    case PictureKind::Bmp: problem = DecodeBmp(bytes, picture); break;
    case PictureKind::Unknown: break;
  }
  if (problem.empty()) return "";
  picture = {};
  return "cannot read this " + kindName + " picture: " + problem;
}

std::string formats::CheckPixelColours(const IndexedPicture& picture, const std::string& table) {
  const auto outside = std::find_if(picture.pixels.begin(), picture.pixels.end(),
                                    [&](uint8_t index) { return index >= picture.colourCount; });
  if (outside == picture.pixels.end()) return "";
  const size_t at = size_t(outside - picture.pixels.begin()), width = size_t(std::max(picture.width, 1));
  return "pixel (" + std::to_string(at % width) + ", " + std::to_string(at / width) + ") is colour " +
         std::to_string(*outside) + "; " + table + " holds " + std::to_string(picture.colourCount);
}

PictureReadResult ParsePicture(const std::vector<uint8_t>& bytes, const std::string& name,
                               const CycleReadOptions& options) {
  PictureReadResult out;
  if (std::string error = formats::DecodePicture(bytes, out.picture); !error.empty()) {
    out.error = name + ": " + error;
    return out;
  }
  CycleReadResult cycles = ReadCycleChunks(bytes, options);
  out.picture.cycles = std::move(cycles.cycles);
  for (const std::string& warning : cycles.warnings) out.warnings.push_back(name + ": " + warning);
  return out;
}

PictureReadResult LoadIndexedPicture(const std::string& path, const CycleReadOptions& options) {
  formats::Bytes bytes;
  std::string error;
  if (!formats::ReadWholeFile(path, kMaxPictureFileBytes, bytes, error)) {
    PictureReadResult out;
    out.error = path + ": " + error;
    return out;
  }
  return ParsePicture(bytes, path, options);
}

}  // namespace quorvel
