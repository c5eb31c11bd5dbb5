#include "tests/support/palette_files.hpp"

#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>

namespace quorvel::testing {

// A folder no one else has: create_directory makes it only where nothing was, on every
// system (mkdtemp is POSIX only).
TempDir::TempDir() {
  std::random_device seed;
  std::mt19937_64 random(seed());
  const std::filesystem::path temp = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate = temp / ("quorvel-" + std::to_string(random() % 1000000000));
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) {
      dir_ = candidate;
      return;
    }
  }
  throw std::runtime_error("no temporary folder could be made");
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

Bytes TextBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

PaletteFile SamplePalette(int32_t count) {
  PaletteFile file;
  file.count = count;
  file.name = "Sample";
  for (int32_t i = 0; i < count; ++i) {
    file.colours[size_t(i)] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)};
    file.entryNames.push_back(i % 3 ? "colour " + std::to_string(i) : "");
  }
  return file;
}

}  // namespace quorvel::testing
