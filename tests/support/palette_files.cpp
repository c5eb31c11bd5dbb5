#include "tests/support/palette_files.hpp"

#include <stdlib.h>

#include <fstream>
#include <stdexcept>
#include <system_error>

namespace quorvel::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quorvel-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string TempDir::Path(const std::string& name) const { return (dir_ / name).string(); }

std::string TempDir::Write(const std::string& name, const Bytes& bytes) const {
  const std::string path = Path(name);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return path;
}

Bytes FilePalBytes(const detail::ColorTable& table) {
  Bytes bytes;
  for (const detail::Rgb& c : table) {
    bytes.insert(bytes.end(), {uint8_t(c.r), uint8_t(c.g), uint8_t(c.b)});
  }
  return bytes;
}

Bytes PP256PalBytes(const detail::ColorTable& table) {
  Bytes bytes;
  for (const detail::Rgb& c : table) {
    const uint32_t v = static_cast<uint32_t>(detail::Pack(c));
    bytes.insert(bytes.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
  }
  return bytes;
}

}  // namespace quorvel::testing
