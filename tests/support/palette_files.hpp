// Palette files made on the fly for tests, in a directory of their own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <quorvel/formats.hpp>
#include "palette/tables.hpp"

namespace quorvel::testing {

using Bytes = std::vector<uint8_t>;

// A fresh directory, removed with everything in it when the test ends.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The full name of an entry in the directory (nothing is created).
  std::string Path(const std::string& name) const;
  // Writes the file and returns its full name.
  std::string Write(const std::string& name, const Bytes& bytes) const;

 private:
  std::filesystem::path dir_;
};

// The file images of a table: 768 bytes of r, g, b (each taken modulo 256), or 1024 bytes
// of little-endian 32-bit Pack values.
Bytes FilePalBytes(const detail::ColorTable& table);
Bytes PP256PalBytes(const detail::ColorTable& table);

// The bytes of a text, as a file holds them.
Bytes TextBytes(std::string_view text);

// A palette of `count` distinct colours, named entries (every third unnamed), and colours
// 6 bits cannot hold, named "Sample".
PaletteFile SamplePalette(int32_t count);

}  // namespace quorvel::testing
