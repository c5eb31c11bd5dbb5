// GIF pictures written through giflib into memory: GIF89a, one image, its colours as the
// global table (giflib's tables come in powers of two: the registers past the picture's
// colours fill the rest), a graphic control extension for its transparent colour, and
// the pixel aspect in the screen descriptor.
#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "formats/picture_encoders.hpp"

namespace quorvel::formats {
namespace {

int WriteToBytes(GifFileType* gif, const GifByteType* data, int count) {
  Bytes& out = *static_cast<Bytes*>(gif->UserData);
  out.insert(out.end(), data, data + count);
  return count;
}

struct MapFree {
  void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

// The screen descriptor's aspect byte b for a pixel `pixelAspect` times as tall as wide:
// the nearest of (b + 15) / 64 for its width over its height, and 0 (none said) for a
// square pixel, so that square pictures are written as before.
uint8_t AspectByte(double pixelAspect) {
  if (!(pixelAspect > 0)) return 0;
  const double byte = std::clamp(std::round(64 / pixelAspect - 15), 1.0, 255.0);
  return byte == 49 ? 0 : uint8_t(byte);
}

std::string GifProblem(int code) {
  const char* what = GifErrorString(code);
  return std::string("giflib: ") + (what ? what : "cannot write the GIF");
}

}  // namespace

bool EncodeGif(const IndexedPicture& picture, Bytes& out, std::vector<std::string>& warnings, std::string& error) {
  WarnCyclesLeftOut(picture, "GIF", warnings);
  for (int32_t i = 0; i < picture.colourCount; ++i) {
    if (picture.alpha[size_t(i)] != 255 && i != picture.transparentIndex) {
      warnings.push_back("a GIF has one transparent colour and no partial opacity: other colours are written opaque");
      break;
    }
  }
  int bits = 1;
  while ((1 << bits) < picture.colourCount) ++bits;
  std::unique_ptr<ColorMapObject, MapFree> map(GifMakeMapObject(1 << bits, nullptr));
  if (!map) {
    error = "giflib cannot make a colour table (out of memory)";
    return false;
  }
  for (int i = 0; i < (1 << bits); ++i) {
    const Rgb8 c = picture.palette[size_t(i)];
    map->Colors[i] = {c.r, c.g, c.b};
  }
  out.clear();
  int code = 0;
  GifFileType* gif = EGifOpen(&out, WriteToBytes, &code);
  if (!gif) {
    error = GifProblem(code);
    return false;
  }
  EGifSetGifVersion(gif, true);
  gif->AspectByte = AspectByte(picture.pixelAspect);
  bool ok = EGifPutScreenDesc(gif, picture.width, picture.height, bits, 0, map.get()) == GIF_OK;
  if (ok && picture.transparentIndex >= 0) {
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSAL_UNSPECIFIED;
    control.TransparentColor = picture.transparentIndex;
    GifByteType block[4];
    EGifGCBToExtension(&control, block);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block) == GIF_OK;
  }
  ok = ok && EGifPutImageDesc(gif, 0, 0, picture.width, picture.height, false, nullptr) == GIF_OK;
  for (int32_t y = 0; ok && y < picture.height; ++y) {
    auto* row = const_cast<GifPixelType*>(picture.pixels.data() + size_t(y) * size_t(picture.width));
    ok = EGifPutLine(gif, row, picture.width) == GIF_OK;
  }
  if (!ok) code = gif->Error;
  int closeCode = 0;
  if (EGifCloseFile(gif, &closeCode) != GIF_OK && ok) {
    ok = false;
    code = closeCode;
  }
  if (!ok) {
    error = GifProblem(code);
    out.clear();
  }
  return ok;
}

}  // namespace quorvel::formats
