#include "tests/support/png.hpp"

#include <png.h>

namespace quorvel::testing {

bool WritePng(const std::string& path, const Picture& picture) {
  std::vector<uint8_t> rgb;
  rgb.reserve(picture.pixels.size() * 3);
  for (const uint32_t p : picture.pixels) {
    rgb.insert(rgb.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(picture.width);
  image.height = png_uint_32(picture.height);
  image.format = PNG_FORMAT_RGB;
  const bool ok = png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr);
  png_image_free(&image);
  return ok;
}

std::optional<Picture> ReadPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return std::nullopt;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
    png_image_free(&image);
    return std::nullopt;
  }
  Picture picture;
  picture.width = int32_t(image.width);
  picture.height = int32_t(image.height);
  picture.pixels.reserve(rgb.size() / 3);
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
    picture.pixels.push_back(uint32_t(rgb[i]) << 16 | uint32_t(rgb[i + 1]) << 8 | rgb[i + 2]);
  }
  return picture;
}

}  // namespace quorvel::testing
