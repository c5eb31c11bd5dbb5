// Picture kinds a web page cannot decode or write: the browser build has neither giflib
// nor libpng. IFF pictures, the files that carry colour cycles, PCX and BMP are decoded
// as natively, and IFF pictures and scenes written. (The page itself turns true-colour
// pictures the browser decodes into BMPs for the quantizer.)
// Compiled only by Emscripten.
#ifdef __EMSCRIPTEN__

#include "formats/picture_decoders.hpp"
#include "formats/picture_encoders.hpp"

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

bool EncodePng(const IndexedPicture&, Bytes&, std::vector<std::string>&, std::string& error) {
  error = "a web page cannot write PNG pictures; write an ILBM, a PBM or a scene";
  return false;
}
bool EncodeGif(const IndexedPicture&, Bytes&, std::vector<std::string>&, std::string& error) {
  error = "a web page cannot write GIF pictures; write an ILBM, a PBM or a scene";
  return false;
}

}  // namespace quorvel::formats

#endif  // __EMSCRIPTEN__
