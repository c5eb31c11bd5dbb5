// Expected register writes of palette effects, computed straight from the colour rules
// (not through the library's own pass loops) so tests can compare whole sequences.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "palette/tables.hpp"
#include "tests/support/recorder.hpp"

namespace quorvel::testing {

using detail::ColorTable;
using detail::Rgb;

inline int32_t PackRgb(const Rgb& c) { return c.r + c.g * 256 + c.b * 65536; }
inline Rgb UnpackRgb(int32_t color) {
  return {color & 63, (color >> 8) & 63, (color >> 16) & 63};
}
inline int32_t Blend(int32_t from, int32_t to, int32_t t) {
  return ((63 - t) * from + t * to) / 63;
}

// A table whose entry i is make(i).
inline ColorTable MakeTable(const std::function<Rgb(int32_t)>& make) {
  ColorTable table;
  for (int32_t i = 0; i < 256; ++i) table[i] = make(i);
  return table;
}

// One pass: registers first..last ascending, each the blend of from and to at t.
inline void AppendPass(std::vector<Event>& events, const ColorTable& from,
                       const ColorTable& to, int32_t first, int32_t last, int32_t t) {
  for (int32_t i = first; i <= last; ++i) {
    const Rgb c{Blend(from[i].r, to[i].r, t), Blend(from[i].g, to[i].g, t),
                Blend(from[i].b, to[i].b, t)};
    events.push_back({Event::Entry, i, PackRgb(c)});
  }
}

inline std::vector<Event> PassEvents(const ColorTable& from, const ColorTable& to,
                                     int32_t first, int32_t last, int32_t t) {
  std::vector<Event> events;
  AppendPass(events, from, to, first, last, t);
  return events;
}

// Registers first..last written straight from the table.
inline std::vector<Event> TableEvents(const ColorTable& table, int32_t first, int32_t last) {
  return PassEvents(table, table, first, last, 0);
}

// 64 passes t = 0..63, each followed by a sleep of `speed`.
inline std::vector<Event> AnimatedEvents(const ColorTable& from, const ColorTable& to,
                                         int32_t first, int32_t last, int32_t speed) {
  std::vector<Event> events;
  for (int32_t t = 0; t <= 63; ++t) {
    AppendPass(events, from, to, first, last, t);
    events.push_back({Event::Sleep, speed, 0});
  }
  return events;
}

inline ColorTable Defaults() { return detail::DefaultTable(); }
inline ColorTable Solid(int32_t r, int32_t g, int32_t b) {
  return MakeTable([=](int32_t) { return Rgb{r, g, b}; });
}
inline ColorTable Negatives(const ColorTable& source) {
  return MakeTable([&](int32_t i) {
    return Rgb{63 - source[i].r, 63 - source[i].g, 63 - source[i].b};
  });
}
inline ColorTable Greys(const ColorTable& source) {
  return MakeTable([&](int32_t i) {
    const int32_t m = (source[i].r + source[i].g + source[i].b) / 3;
    return Rgb{m, m, m};
  });
}
// Entry j is source entry (j + k) mod 256, k in 0..255.
inline ColorTable RotatedBy(const ColorTable& source, int32_t k) {
  return MakeTable([&](int32_t j) { return source[(j + k) % 256]; });
}

}  // namespace quorvel::testing
