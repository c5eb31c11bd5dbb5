#include "tests/support/png.hpp"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace quorvel::testing {
namespace {

constexpr std::array<uint8_t, 8> kSignature = {137, 'P', 'N', 'G', '\r', '\n', 26, '\n'};

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

uint32_t GetU32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  PutU32(out, uint32_t(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutU32(out, uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
}

// The Paeth predictor of the PNG filters.
uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return uint8_t(a);
  return uint8_t(pb <= pc ? b : c);
}

// Undoes the per-row filters in place; false on an unknown filter type.
bool Unfilter(std::vector<uint8_t>& raw, size_t rowBytes, int32_t height) {
  constexpr size_t kPixelBytes = 3;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = raw.data() + size_t(y) * (rowBytes + 1);
    const uint8_t filter = row[0];
    uint8_t* cur = row + 1;
    const uint8_t* up = y > 0 ? cur - (rowBytes + 1) : nullptr;
    for (size_t i = 0; i < rowBytes; ++i) {
      const int a = i >= kPixelBytes ? cur[i - kPixelBytes] : 0;
      const int b = up ? up[i] : 0;
      const int c = up && i >= kPixelBytes ? up[i - kPixelBytes] : 0;
      switch (filter) {
        case 0: break;
        case 1: cur[i] = uint8_t(cur[i] + a); break;
        case 2: cur[i] = uint8_t(cur[i] + b); break;
        case 3: cur[i] = uint8_t(cur[i] + (a + b) / 2); break;
        case 4: cur[i] = uint8_t(cur[i] + Paeth(a, b, c)); break;
        default: return false;
      }
    }
  }
  return true;
}

}  // namespace

bool WritePng(const std::string& path, const Picture& picture) {
  const size_t rowBytes = size_t(picture.width) * 3;
  std::vector<uint8_t> raw;
  raw.reserve((rowBytes + 1) * size_t(picture.height));
  for (int32_t y = 0; y < picture.height; ++y) {
    raw.push_back(0);  // no filter
    for (int32_t x = 0; x < picture.width; ++x) {
      const uint32_t p = picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)];
      raw.push_back(uint8_t(p >> 16));
      raw.push_back(uint8_t(p >> 8));
      raw.push_back(uint8_t(p));
    }
  }
  uLongf packedSize = compressBound(uLong(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 9) != Z_OK) {
    return false;
  }
  packed.resize(packedSize);

  std::vector<uint8_t> header;
  PutU32(header, uint32_t(picture.width));
  PutU32(header, uint32_t(picture.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, no interlace

  std::vector<uint8_t> file(kSignature.begin(), kSignature.end());
  PutChunk(file, "IHDR", header);
  PutChunk(file, "IDAT", packed);
  PutChunk(file, "IEND", {});
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  return bool(out);
}

std::optional<Picture> ReadPng(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), {}};
  if (file.size() < kSignature.size() ||
      !std::equal(kSignature.begin(), kSignature.end(), file.begin())) {
    return std::nullopt;
  }
  Picture picture;
  std::vector<uint8_t> packed;
  for (size_t at = kSignature.size(); at + 12 <= file.size();) {
    const uint32_t length = GetU32(&file[at]);
    if (length > file.size() - at - 12) return std::nullopt;
    const std::string type(file.begin() + long(at) + 4, file.begin() + long(at) + 8);
    const uint8_t* data = &file[at + 8];
    if (type == "IHDR") {
      if (length != 13 || data[8] != 8 || data[9] != 2 || data[12] != 0) return std::nullopt;
      picture.width = int32_t(GetU32(data));
      picture.height = int32_t(GetU32(data + 4));
    } else if (type == "IDAT") {
      packed.insert(packed.end(), data, data + length);
    } else if (type == "IEND") {
      break;
    }
    at += 12 + length;
  }
  if (picture.width <= 0 || picture.height <= 0 || picture.width > 1 << 14 ||
      picture.height > 1 << 14) {
    return std::nullopt;
  }
  const size_t rowBytes = size_t(picture.width) * 3;
  std::vector<uint8_t> raw((rowBytes + 1) * size_t(picture.height));
  uLongf rawSize = uLongf(raw.size());
  if (uncompress(raw.data(), &rawSize, packed.data(), uLong(packed.size())) != Z_OK ||
      rawSize != raw.size() || !Unfilter(raw, rowBytes, picture.height)) {
    return std::nullopt;
  }
  picture.pixels.reserve(size_t(picture.width) * size_t(picture.height));
  for (int32_t y = 0; y < picture.height; ++y) {
    const uint8_t* row = raw.data() + size_t(y) * (rowBytes + 1) + 1;
    for (int32_t x = 0; x < picture.width; ++x, row += 3) {
      picture.pixels.push_back(uint32_t(row[0]) << 16 | uint32_t(row[1]) << 8 | row[2]);
    }
  }
  return picture;
}

}  // namespace quorvel::testing
