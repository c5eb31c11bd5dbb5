// Indexed pictures in a web page, where SDL2_image is not there to decode them: the IFF
// pictures of DeluxePaint (FORM ILBM, bit planes, and FORM PBM, a byte a pixel), the
// files that carry colour cycles, decoded by iff_chunks.cpp. Other picture files are
// refused with a message that says so. Compiled only by Emscripten; natively
// sdl_picture.cpp decodes pictures.
#ifdef __EMSCRIPTEN__

#include "formats/iff.hpp"
#include "formats/picture_header.hpp"

namespace quorvel::formats {

std::string DecodePicture(const Bytes& bytes, IndexedPicture& picture) {
  const PictureKind kind = RecognisePicture(bytes);
  if (kind != PictureKind::Iff) {
    return "in a web page only IFF ILBM and PBM pictures can be read (the files that carry "
           "colour cycles); the native player reads PNG, GIF, PCX and BMP too";
  }
  if (std::string problem = CheckPictureSize(bytes, kind); !problem.empty()) {
    return "cannot read this IFF picture: " + problem;
  }
  std::string error;
  if (!DecodeIffPicture(bytes, picture, error)) return "cannot read this IFF picture (" + error + ")";
  return "";
}

}  // namespace quorvel::formats

#endif  // __EMSCRIPTEN__
