// Palette files made on the fly for tests, in a directory of their own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

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

}  // namespace quorvel::testing
