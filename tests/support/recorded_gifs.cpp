#include "tests/support/recorded_gifs.hpp"

#include <gtest/gtest.h>

#include <gif_lib.h>

#include <algorithm>
#include <fstream>
#include <memory>

#include <quorvel/display.hpp>

namespace quorvel::testing {
namespace {

// True when the extensions before the first image hold NETSCAPE2.0 with a loop count of 0.
bool LoopsForEver(const SavedImage& first) {
  for (int i = 0; i + 1 < first.ExtensionBlockCount; ++i) {
    const ExtensionBlock& app = first.ExtensionBlocks[i];
    const ExtensionBlock& data = first.ExtensionBlocks[i + 1];
    if (app.Function == APPLICATION_EXT_FUNC_CODE && app.ByteCount == 11 &&
        std::equal(app.Bytes, app.Bytes + 11, "NETSCAPE2.0") && data.ByteCount == 3) {
      return data.Bytes[0] == 1 && data.Bytes[1] == 0 && data.Bytes[2] == 0;
    }
  }
  return false;
}

}  // namespace

std::vector<uint32_t> GifFrame::Pixels() const {
  std::vector<uint32_t> pixels;
  for (const uint8_t index : indices) pixels.push_back(colours[index]);
  return pixels;
}

std::vector<GifFrame> ReadGif(const std::string& path) {
  char version[7] = {};
  std::ifstream(path, std::ios::binary).read(version, 6);
  EXPECT_STREQ(version, "GIF89a") << path;
  int error = 0;
  std::unique_ptr<GifFileType, void (*)(GifFileType*)> gif(
      DGifOpenFileName(path.c_str(), &error), [](GifFileType* g) { DGifCloseFile(g, nullptr); });
  if (!gif || DGifSlurp(gif.get()) != GIF_OK) {
    ADD_FAILURE() << path << " is not a GIF that giflib reads";
    return {};
  }
  EXPECT_TRUE(gif->ImageCount > 0 && LoopsForEver(gif->SavedImages[0])) << path;
  std::vector<GifFrame> frames;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    EXPECT_EQ(image.ImageDesc.Width, gif->SWidth) << "frame " << i;
    EXPECT_EQ(image.ImageDesc.Height, gif->SHeight) << "frame " << i;
    GifFrame frame{image.ImageDesc.Width, image.ImageDesc.Height, 0, {}, {}};
    GraphicsControlBlock control{};
    EXPECT_EQ(DGifSavedExtensionToGCB(gif.get(), i, &control), GIF_OK);
    frame.delayCs = control.DelayTime;
    const ColorMapObject* map = image.ImageDesc.ColorMap;
    EXPECT_NE(map, nullptr) << "frame " << i << " has no colour table of its own";
    if (!map) return {};
    EXPECT_EQ(map->ColorCount, 256);
    for (int c = 0; c < map->ColorCount && c < 256; ++c) {
      const GifColorType rgb = map->Colors[c];
      frame.colours[c] = uint32_t(rgb.Red) << 16 | uint32_t(rgb.Green) << 8 | rgb.Blue;
    }
    frame.indices.assign(image.RasterBits, image.RasterBits + frame.width * frame.height);
    frames.push_back(std::move(frame));
  }
  return frames;
}

void DrawAllIndices() {
  for (int32_t y = 0; y < kScreenHeight; y += 2) {
    DrawLine(0, y, kScreenWidth - 1, y, (y / 2) & 255, 0x5A5A);
  }
}

}  // namespace quorvel::testing
