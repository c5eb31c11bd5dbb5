// A palette drawn as a PNG swatch: 16 x 16 cells of 8-bit RGB, written with libpng into
// memory and put in place in one step.
#include <png.h>

#include <algorithm>

#include <quorvel/formats.hpp>

#include "formats/file_io.hpp"

namespace quorvel {
namespace {

constexpr int32_t kCell = 16;  // pixels a colour
constexpr int32_t kGap = 1;    // pixels of grid between cells
constexpr int32_t kSide = 16 * (kCell + kGap) + kGap;
constexpr uint8_t kGrid = 0x40;  // the grid and empty cells: dark grey

}  // namespace

std::string WriteSwatchPng(const std::string& path, const PaletteFile& file) {
  std::vector<uint8_t> rgb(size_t(kSide) * kSide * 3, kGrid);
  for (int32_t i = 0; i < std::min(file.count, 256); ++i) {
    const Rgb8 c = file.colours[size_t(i)];
    const int32_t left = kGap + (i % 16) * (kCell + kGap), top = kGap + (i / 16) * (kCell + kGap);
    for (int32_t y = top; y < top + kCell; ++y) {
      for (int32_t x = left; x < left + kCell; ++x) {
        uint8_t* pixel = &rgb[(size_t(y) * kSide + size_t(x)) * 3];
        pixel[0] = c.r, pixel[1] = c.g, pixel[2] = c.b;
      }
    }
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = kSide;
  image.height = kSide;
  image.format = PNG_FORMAT_RGB;
  formats::Bytes png(PNG_IMAGE_PNG_SIZE_MAX(image));
  png_alloc_size_t size = png.size();
  const bool written = png_image_write_to_memory(&image, png.data(), &size, 0, rgb.data(), 0, nullptr);
  const std::string why = written ? "" : image.message;
  png_image_free(&image);
  if (!written) return path + ": " + why;
  png.resize(size);
  const std::string error = formats::ReplaceFile(path, png);
  return error.empty() ? "" : path + ": " + error;
}

}  // namespace quorvel
