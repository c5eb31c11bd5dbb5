// Picture kinds a web page cannot decode: the browser build has neither giflib nor
// libpng. IFF pictures, the files that carry colour cycles, PCX and BMP are decoded as
// natively.
// Compiled only by Emscripten.
#ifdef __EMSCRIPTEN__

#include "formats/picture_decoders.hpp"

namespace quorvel::formats {
namespace {

std::string NotInTheBrowser() {
  return "in a web page only IFF ILBM and PBM (the files that carry colour cycles), PCX and BMP "
         "pictures can be read; the native player reads PNG and GIF too";
}

}  // namespace

std::string DecodeGif(const Bytes&, IndexedPicture&) { return NotInTheBrowser(); }
std::string DecodePng(const Bytes&, IndexedPicture&) { return NotInTheBrowser(); }
std::string DecodePngRgba(const Bytes&, RgbaPicture&) { return NotInTheBrowser(); }

}  // namespace quorvel::formats

#endif  // __EMSCRIPTEN__
