// The five primitives: registers set directly to black or to one colour.
#include <quorvel/display.hpp>
#include "palette/tables.hpp"

namespace quorvel {
namespace {

void FillRegisters(int32_t first, int32_t last, int32_t r, int32_t g, int32_t b) {
  const int32_t color = detail::Pack({r, g, b});
  for (int32_t i = first; i <= last; ++i) SetPaletteEntry(i, color);
}

}  // namespace

void PalBlackout() { FillRegisters(0, 255, 0, 0, 0); }

void PalBlackoutRange(int32_t& first, int32_t& last) {
  ClampRange(first, last);
  FillRegisters(first, last, 0, 0, 0);
}

void PalFill(int32_t& r, int32_t& g, int32_t& b) {
  detail::ClampColour(r, g, b);
  FillRegisters(0, 255, r, g, b);
}

void PalFillRange(int32_t& first, int32_t& last, int32_t& r, int32_t& g, int32_t& b) {
  detail::ClampColour(r, g, b);
  ClampRange(first, last);
  FillRegisters(first, last, r, g, b);
}

void PalSetColor(int32_t& index, int32_t& r, int32_t& g, int32_t& b) {
  detail::ClampColour(r, g, b);
  ClampIndex(index);
  SetPaletteEntry(index, detail::Pack({r, g, b}));
}

}  // namespace quorvel
