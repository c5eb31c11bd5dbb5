// Pictures read as true colour: the true-colour decoders where the kind has them, and
// any indexed picture through its palette, so every picture the readers take can be
// quantized or remapped.
#include <quorvel/quantize.hpp>

#include "formats/file_io.hpp"
#include "formats/picture_decoders.hpp"
#include "formats/picture_header.hpp"

namespace quorvel {

RgbaPicture ExpandIndexedPicture(const IndexedPicture& picture) {
  RgbaPicture out;
  out.width = picture.width;
  out.height = picture.height;
  out.pixels.reserve(picture.pixels.size());
  for (uint8_t index : picture.pixels) {
    const Rgb8 c = picture.palette[index];
    out.pixels.push_back({c.r, c.g, c.b, picture.alpha[index]});
  }
  return out;
}

RgbaReadResult ParseRgbaPicture(const std::vector<uint8_t>& bytes, const std::string& name) {
  RgbaReadResult out;
  const formats::PictureKind kind = formats::RecognisePicture(bytes);
  using formats::PictureKind;
  const bool trueColour = kind == PictureKind::Png || (kind == PictureKind::Bmp && formats::IsTrueColourBmp(bytes)) ||
                          (kind == PictureKind::Pcx && formats::IsTrueColourPcx(bytes));
  if (!trueColour) {
    IndexedPicture indexed;
    if (std::string error = formats::DecodePicture(bytes, indexed); !error.empty()) {
      out.error = name + ": " + error;
      return out;
    }
    out.picture = ExpandIndexedPicture(indexed);
    return out;
  }
  const std::string kindName = formats::PictureKindName(kind);
  std::string problem = formats::CheckPictureSize(bytes, kind);
  if (problem.empty()) {
    problem = kind == PictureKind::Png   ? formats::DecodePngRgba(bytes, out.picture)
              : kind == PictureKind::Bmp ? formats::DecodeBmpRgba(bytes, out.picture)
                                         : formats::DecodePcxRgba(bytes, out.picture);
  }
  if (!problem.empty()) {
    out.picture = {};
    out.error = name + ": cannot read this " + kindName + " picture: " + problem;
  }
  return out;
}

RgbaReadResult LoadRgbaPicture(const std::string& path) {
  formats::Bytes bytes;
  std::string error;
  if (!formats::ReadWholeFile(path, kMaxPictureFileBytes, bytes, error)) {
    RgbaReadResult out;
    out.error = path + ": " + error;
    return out;
  }
  return ParseRgbaPicture(bytes, path);
}

}  // namespace quorvel
