#include "tests/support/png.hpp"

#include <png.h>
#include <zlib.h>

#include <algorithm>

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

namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int32_t shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

// The rows of a sub-image of the picture: every `dx`th sample from x0 of every `dy`th row
// from y0, each row led by filter type 0.
void PutRows(const PngSamples& png, int32_t x0, int32_t y0, int32_t dx, int32_t dy, std::vector<uint8_t>& out) {
  for (int32_t y = y0; y < png.height; y += dy) {
    if (x0 >= png.width) return;
    out.push_back(0);
    int32_t bits = 0;
    uint32_t pending = 0;
    for (int32_t x = x0; x < png.width; x += dx) {
      pending = pending << png.depth | png.samples[size_t(y) * size_t(png.width) + size_t(x)];
      bits += png.depth;
      if (bits == 8) out.push_back(uint8_t(pending)), bits = 0, pending = 0;
    }
    if (bits > 0) out.push_back(uint8_t(pending << (8 - bits)));
  }
}

}  // namespace

std::vector<uint8_t> PngChunk(std::string_view type, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> out(12 + body.size());
  const auto put = [&](size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (24 - 8 * i));
  };
  put(0, uint32_t(body.size()));
  std::copy(type.begin(), type.end(), out.begin() + 4);
  std::copy(body.begin(), body.end(), out.begin() + 8);
  put(8 + body.size(), uint32_t(crc32(0, out.data() + 4, uInt(4 + body.size()))));
  return out;
}

std::vector<uint8_t> PngFile(const PngSamples& png) {
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutU32(header, uint32_t(png.width));
  PutU32(header, uint32_t(png.height));
  header.insert(header.end(), {uint8_t(png.depth), uint8_t(png.colourType), 0, 0, uint8_t(png.interlaced)});
  const auto add = [&](const std::vector<uint8_t>& chunk) { out.insert(out.end(), chunk.begin(), chunk.end()); };
  add(PngChunk("IHDR", header));
  for (const std::vector<uint8_t>& chunk : png.chunks) add(chunk);
  std::vector<uint8_t> raw;
  if (png.interlaced) {
    constexpr int32_t kAdam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                      {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    for (const auto& pass : kAdam7) PutRows(png, pass[0], pass[1], pass[2], pass[3], raw);
  } else {
    PutRows(png, 0, 0, 1, 1, raw);
  }
  uLongf size = compressBound(uLong(raw.size()));
  std::vector<uint8_t> packed(size);
  compress(packed.data(), &size, raw.data(), uLong(raw.size()));
  packed.resize(size);
  add(PngChunk("IDAT", packed));
  add(PngChunk("IEND", {}));
  return out;
}

}  // namespace quorvel::testing
