// Palettes per line from the Animator's colours: a palette for a band of lines, a
// gradient of one register, and bars that move over a register, all functions of time.
#include <quorvel/animator.hpp>
#include <quorvel/palette.hpp>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

#include "palette/colour_space.hpp"

namespace quorvel {

using detail::Rgbf;

void AddPaletteLines(LinePalettes& lines, int32_t line, const Palette& palette, int32_t first,
                     int32_t last) {
  ClampRange(first, last);
  uint32_t colours[256];
  for (int32_t i = first; i <= last; ++i) colours[i - first] = PackedColor(palette[size_t(i)]);
  lines.Add(line, first, colours, last - first + 1);
}

void AddGradient(LinePalettes& lines, int32_t index, int32_t topLine, int32_t bottomLine,
                 Rgb8 top, Rgb8 bottom, ColorSpace space) {
  if (index < 0 || index > 255) return;
  const int32_t span = bottomLine - topLine;
  for (int32_t y = topLine; y <= bottomLine; ++y) {
    const double t = span > 0 ? double(y - topLine) / span : 1.0;
    const Rgb8 c = detail::ToRgb8(detail::Mix(detail::ToRgbf(top), detail::ToRgbf(bottom), t, space));
    lines.Add(y, index, PackedColor(c));
  }
}

namespace {

// Where a bar's top is, in lines below the band's top, at `seconds`.
double BarPosition(const LineBar& bar, double seconds) {
  const double height = bar.bottom - bar.top + 1;
  const double along = bar.phase + bar.linesPerSecond * seconds;
  if (bar.mode == CycleMode::Wrap) return along - height * std::floor(along / height);
  // Turning at both ends: the bar stays inside the band.
  const double travel = std::max(height - double(bar.colours.size()), 0.0);
  if (travel == 0) return 0;
  const double u = along - 2 * travel * std::floor(along / (2 * travel));
  const double x = (u <= travel ? u : 2 * travel - u) / travel;  // 0..1 and back
  return travel * (bar.mode == CycleMode::Sine ? (1 - std::cos(std::numbers::pi * x)) / 2 : x);
}

// Mixes the bar into `beneath` at line y of its band (its top at `position`): the two
// colours of the bar the line falls between, each by its share, by the bar's opacity.
Rgbf OverBar(const LineBar& bar, double position, int32_t y, Rgbf beneath) {
  const double height = bar.bottom - bar.top + 1;
  Rgbf sum{};
  double weight = 0;
  // A wrapping bar that leaves at the bottom shows the rest of itself at the top.
  for (double at : {position, position - height}) {
    const double s = (y - bar.top) - at;
    const double whole = std::floor(s);
    const double f = s - whole;
    const auto add = [&](double entry, double share) {
      if (share <= 0 || entry < 0 || entry >= double(bar.colours.size())) return;
      const Rgbf c = detail::ToRgbf(bar.colours[size_t(entry)]);
      sum = {sum.r + c.r * share, sum.g + c.g * share, sum.b + c.b * share};
      weight += share;
    };
    add(whole, 1 - f);
    add(whole + 1, f);
    if (bar.mode != CycleMode::Wrap) break;
  }
  if (weight <= 0) return beneath;
  const Rgbf colour{sum.r / weight, sum.g / weight, sum.b / weight};
  return detail::Lerp(beneath, colour, std::min(weight, 1.0) * std::clamp(bar.opacity, 0.0, 1.0));
}

}  // namespace

void AddBars(LinePalettes& lines, const std::vector<LineBar>& bars, const Palette& palette,
             double timeMs) {
  // The bars of each register, in the order given.
  std::map<int32_t, std::vector<const LineBar*>> byRegister;
  for (const LineBar& bar : bars) {
    if (bar.index >= 0 && bar.index <= 255 && bar.bottom >= bar.top && !bar.colours.empty()) {
      byRegister[bar.index].push_back(&bar);
    }
  }
  const double seconds = timeMs / 1000;
  for (const auto& [index, its] : byRegister) {
    int32_t top = its.front()->top, bottom = its.front()->bottom;
    std::vector<double> positions;
    for (const LineBar* bar : its) {
      top = std::min(top, bar->top);
      bottom = std::max(bottom, bar->bottom);
      positions.push_back(BarPosition(*bar, seconds));
    }
    const Rgb8 own = palette[size_t(index)];
    uint32_t shown = PackedColor(own);  // what the register shows above the bars
    for (int32_t y = std::max(top, 0); y <= bottom + 1; ++y) {
      Rgbf c = detail::ToRgbf(own);
      for (size_t k = 0; k < its.size() && y <= bottom; ++k) {
        if (y >= its[k]->top && y <= its[k]->bottom) c = OverBar(*its[k], positions[k], y, c);
      }
      const uint32_t packed = PackedColor(detail::ToRgb8(c));
      if (packed != shown) lines.Add(y, index, packed);
      shown = packed;
    }
  }
}

}  // namespace quorvel
