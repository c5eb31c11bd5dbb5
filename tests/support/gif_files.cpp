#include "tests/support/gif_files.hpp"

#include <gif_lib.h>

#include <stdexcept>

namespace quorvel::testing {
namespace {

int Append(GifFileType* gif, const GifByteType* bytes, int count) {
  auto& out = *static_cast<std::vector<uint8_t>*>(gif->UserData);
  out.insert(out.end(), bytes, bytes + count);
  return count;
}

ColorMapObject* ColourMap(const std::vector<Rgb8>& colours) {
  if (colours.empty()) return nullptr;
  std::vector<GifColorType> entries;
  for (const Rgb8& c : colours) entries.push_back({c.r, c.g, c.b});
  return GifMakeMapObject(int(colours.size()), entries.data());
}

void Expect(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("giflib could not write the test GIF: ") + what);
}

}  // namespace

std::vector<uint8_t> GifFile(const std::vector<Rgb8>& colours, const std::vector<GifImage>& images) {
  std::vector<uint8_t> out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, Append, &error);
  Expect(gif != nullptr, "open");
  EGifSetGifVersion(gif, true);
  int32_t width = 0, height = 0;
  for (const GifImage& image : images) width = std::max(width, image.width), height = std::max(height, image.height);
  ColorMapObject* global = ColourMap(colours);
  Expect(EGifPutScreenDesc(gif, width, height, 8, 0, global) == GIF_OK, "screen");
  GifFreeMapObject(global);
  for (const GifImage& image : images) {
    if (image.transparent >= 0) {
      GraphicsControlBlock control{};
      control.TransparentColor = image.transparent;
      GifByteType block[4];
      EGifGCBToExtension(&control, block);
      Expect(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block) == GIF_OK, "control");
    }
    ColorMapObject* local = ColourMap(image.localColours);
    // giflib keeps a copy of the last local table and drops it unfreed when an image
    // without one follows: free it first.
    if (!local && gif->Image.ColorMap) {
      GifFreeMapObject(gif->Image.ColorMap);
      gif->Image.ColorMap = nullptr;
    }
    Expect(EGifPutImageDesc(gif, 0, 0, image.width, image.height, image.interlaced, local) == GIF_OK, "image");
    GifFreeMapObject(local);
    std::vector<uint8_t> pixels = image.pixels;
    const auto put = [&](int32_t y) {
      Expect(EGifPutLine(gif, pixels.data() + size_t(y) * size_t(image.width), image.width) == GIF_OK, "line");
    };
    if (image.interlaced) {
      for (const auto& [first, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
        for (int32_t y = first; y < image.height; y += step) put(y);
      }
    } else {
      for (int32_t y = 0; y < image.height; ++y) put(y);
    }
  }
  Expect(EGifCloseFile(gif, &error) == GIF_OK, "close");
  return out;
}

}  // namespace quorvel::testing
