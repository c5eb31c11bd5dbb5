// Indexed pictures in a web page, where SDL2_image is not there to decode them: the IFF
// pictures of DeluxePaint (FORM ILBM, bit planes, and FORM PBM, a byte a pixel), the
// files that carry colour cycles, decoded by iff_chunks.cpp. Other picture files are
// refused with a message that says so. Compiled only by Emscripten; natively
// sdl_picture.cpp loads pictures.
#ifdef __EMSCRIPTEN__

#include <quorvel/formats.hpp>

#include "formats/file_io.hpp"
#include "formats/iff.hpp"
#include "formats/picture_header.hpp"

namespace quorvel {

PictureReadResult LoadIndexedPicture(const std::string& path, const CycleReadOptions& options) {
  PictureReadResult out;
  formats::Bytes bytes;
  std::string error;
  if (!formats::ReadWholeFile(path, kMaxPictureFileBytes, bytes, error)) {
    out.error = path + ": " + error;
    return out;
  }
  const formats::PictureKind kind = formats::RecognisePicture(bytes);
  if (kind != formats::PictureKind::Iff) {
    out.error = path + ": in a web page only IFF ILBM and PBM pictures can be read (the files that "
                       "carry colour cycles); the native player reads PNG, GIF, PCX and BMP too";
    return out;
  }
  if (std::string problem = formats::CheckPictureSize(bytes, kind); !problem.empty()) {
    out.error = path + ": cannot read this IFF picture: " + problem;
    return out;
  }
  if (!formats::DecodeIffPicture(bytes, out.picture, error)) {
    out.error = path + ": cannot read this IFF picture (" + error + ")";
    return out;
  }

  CycleReadResult cycles = ReadCycleChunks(bytes, options);
  out.picture.cycles = std::move(cycles.cycles);
  for (const std::string& warning : cycles.warnings) out.warnings.push_back(path + ": " + warning);
  return out;
}

}  // namespace quorvel

#endif  // __EMSCRIPTEN__
