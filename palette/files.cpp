// Reading palette files into tables of source colours.
#include "palette/tables.hpp"

namespace quorvel::detail {

// Placeholders until the palette file readers land: every entry black.
ColorTable ReadFilePalTable(const std::string& fileName) {
  (void)fileName;
  return ColorTable{};
}

ColorTable ReadPP256PalTable(const std::string& fileName) {
  (void)fileName;
  return ColorTable{};
}

}  // namespace quorvel::detail
