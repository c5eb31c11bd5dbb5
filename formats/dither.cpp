// Pixels to palette registers: the nearest colour in OKLab, with ordered (Bayer) or
// error-diffusion (Floyd-Steinberg) dithering. Dithering works in OKLab too, so the mix a
// pattern makes is the mix the eye sees.
#include <algorithm>
#include <array>
#include <cmath>

#include "formats/quantize_common.hpp"
#include "palette/colour_space.hpp"

namespace quorvel::formats {
namespace {

// The Bayer index matrix of side n (a power of two): each doubling puts the four
// quadrants in the order 0, 2 / 3, 1 of the 2 x 2 matrix.
std::vector<int32_t> BayerMatrix(int32_t n) {
  std::vector<int32_t> m{0};
  for (int32_t side = 1; side < n; side *= 2) {
    std::vector<int32_t> next(size_t(side) * side * 4);
    constexpr int32_t kQuadrant[2][2] = {{0, 2}, {3, 1}};
    for (int32_t y = 0; y < side * 2; ++y) {
      for (int32_t x = 0; x < side * 2; ++x) {
        next[size_t(y) * side * 2 + x] = 4 * m[size_t(y % side) * side + x % side] + kQuadrant[y / side][x / side];
      }
    }
    m = std::move(next);
  }
  return m;
}

// How far each colour lies from its nearest neighbour (0 for a colour alone).
std::vector<float> NeighbourDistances(const std::vector<Labf>& colours) {
  std::vector<float> distances(colours.size(), 0);
  for (size_t i = 0; i < colours.size(); ++i) {
    float best = -1;
    for (size_t j = 0; j < colours.size(); ++j) {
      const float d = Distance2(colours[i], colours[j]);
      if (j != i && (best < 0 || d < best)) best = d;
    }
    distances[i] = best < 0 ? 0 : std::sqrt(best);
  }
  return distances;
}

// How far apart the colours lie: the mean distance from each to its nearest neighbour,
// the step an ordered pattern has to span.
float Spacing(const std::vector<Labf>& colours) {
  const std::vector<float> distances = NeighbourDistances(colours);
  double sum = 0;
  for (float d : distances) sum += d;
  return colours.empty() ? 0 : float(sum / double(colours.size()));
}

void MapNearest(const RgbaPicture& picture, const std::vector<Labf>& lab, const NearestColour& nearest,
                const std::vector<int32_t>& registers, const QuantizeOptions& options, int32_t transparent,
                std::vector<uint8_t>& out) {
  // Runs of one colour are common in drawings: the last answer serves again.
  Rgba8 last{0, 0, 0, 0};
  uint8_t lastIndex = 0;
  bool haveLast = false;
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    const Rgba8 p = picture.pixels[i];
    if (IsClear(p, options)) {
      out[i] = uint8_t(transparent);
      continue;
    }
    if (!haveLast || !(Rgb8{p.r, p.g, p.b} == Rgb8{last.r, last.g, last.b})) {
      lastIndex = uint8_t(registers[size_t(nearest.Find(lab[i]))]);
      last = p;
      haveLast = true;
    }
    out[i] = lastIndex;
  }
}

void MapOrdered(const RgbaPicture& picture, const std::vector<Labf>& lab, const NearestColour& nearest,
                const std::vector<Labf>& colours, const std::vector<int32_t>& registers,
                const QuantizeOptions& options, int32_t transparent, int32_t side, std::vector<uint8_t>& out) {
  const std::vector<int32_t> matrix = BayerMatrix(side);
  const float spacing = Spacing(colours), cells = float(side * side);
  // Thresholds centred on 0, one set per axis: lightness reads the matrix as it is, the
  // two colour axes read it shifted, so the three do not move in step.
  const auto threshold = [&](int32_t x, int32_t y) {
    return ((float(matrix[size_t(y % side) * side + x % side]) + 0.5f) / cells - 0.5f) * spacing;
  };
  const int32_t half = side / 2;
  for (int32_t y = 0; y < picture.height; ++y) {
    for (int32_t x = 0; x < picture.width; ++x) {
      const size_t i = size_t(y) * picture.width + x;
      if (IsClear(picture.pixels[i], options)) {
        out[i] = uint8_t(transparent);
        continue;
      }
      const Labf c{lab[i].l + threshold(x, y), lab[i].a + threshold(x + half, y),
                   lab[i].b + threshold(x, y + half)};
      out[i] = uint8_t(registers[size_t(nearest.Find(c))]);
    }
  }
}

// Floyd-Steinberg in OKLab, rows in alternate directions so the error does not drift one
// way. The colour a pixel asks for is held within the palette's own bounds: error piling
// up past what any colour can give would only smear.
void MapDiffused(const RgbaPicture& picture, const std::vector<Labf>& lab, const NearestColour& nearest,
                 const std::vector<Labf>& colours, const std::vector<int32_t>& registers,
                 const QuantizeOptions& options, int32_t transparent, std::vector<uint8_t>& out) {
  Labf low = colours[0], high = colours[0];
  for (const Labf& c : colours) {
    low = {std::min(low.l, c.l), std::min(low.a, c.a), std::min(low.b, c.b)};
    high = {std::max(high.l, c.l), std::max(high.a, c.a), std::max(high.b, c.b)};
  }
  // An error past half the step from the chosen colour to its nearest neighbour is not
  // the rounding between two of them but a colour the palette lacks (an edge, a lone
  // bright spot): spread whole, it would smear along the row, so it is spread at that size.
  std::vector<float> caps = NeighbourDistances(colours);
  for (float& cap : caps) cap /= 2;
  const size_t width = size_t(picture.width);
  // Errors for this row and the next, with a pixel to spare at either end.
  std::vector<Labf> here(width + 2), below(width + 2);
  const auto add = [](Labf& to, const Labf& e, float weight) {
    to.l += e.l * weight, to.a += e.a * weight, to.b += e.b * weight;
  };
  for (int32_t y = 0; y < picture.height; ++y) {
    const bool forward = y % 2 == 0;
    std::fill(below.begin(), below.end(), Labf{});
    for (size_t step = 0; step < width; ++step) {
      const size_t x = forward ? step : width - 1 - step;
      const size_t i = size_t(y) * width + x;
      const size_t at = x + 1;  // in the error rows
      if (IsClear(picture.pixels[i], options)) {
        out[i] = uint8_t(transparent);
        continue;
      }
      const Labf want{std::clamp(lab[i].l + here[at].l, low.l, high.l),
                      std::clamp(lab[i].a + here[at].a, low.a, high.a),
                      std::clamp(lab[i].b + here[at].b, low.b, high.b)};
      const int32_t k = nearest.Find(want);
      out[i] = uint8_t(registers[size_t(k)]);
      Labf e{want.l - colours[size_t(k)].l, want.a - colours[size_t(k)].a, want.b - colours[size_t(k)].b};
      const float size2 = e.l * e.l + e.a * e.a + e.b * e.b;
      const float cap = caps[size_t(k)];
      if (size2 > cap * cap) {
        const float f = cap / std::sqrt(size2);
        e = {e.l * f, e.a * f, e.b * f};
      }
      const size_t ahead = forward ? at + 1 : at - 1, behind = forward ? at - 1 : at + 1;
      add(here[ahead], e, 7.0f / 16);
      add(below[behind], e, 3.0f / 16);
      add(below[at], e, 5.0f / 16);
      add(below[ahead], e, 1.0f / 16);
    }
    std::swap(here, below);
  }
}

}  // namespace

Labf LabOf(Rgb8 colour) {
  const detail::Lab lab = detail::ToOkLab(detail::ToRgbf(colour));
  return {float(lab.l), float(lab.a), float(lab.b)};
}

std::vector<Labf> LabOfPixels(const RgbaPicture& picture) {
  std::vector<Labf> lab(picture.pixels.size());
  Rgb8 last{};
  Labf lastLab = LabOf(last);
  for (size_t i = 0; i < lab.size(); ++i) {
    const Rgb8 c{picture.pixels[i].r, picture.pixels[i].g, picture.pixels[i].b};
    if (!(c == last)) last = c, lastLab = LabOf(c);
    lab[i] = lastLab;
  }
  return lab;
}

NearestColour::NearestColour(const std::vector<Labf>& colours) {
  position_.resize(colours.size());
  for (size_t i = 0; i < colours.size(); ++i) position_[i] = int32_t(i);
  std::stable_sort(position_.begin(), position_.end(),
                   [&](int32_t p, int32_t q) { return colours[size_t(p)].l < colours[size_t(q)].l; });
  for (int32_t p : position_) sorted_.push_back(colours[size_t(p)]);
}

int32_t NearestColour::Find(const Labf& colour) const {
  const size_t n = sorted_.size();
  size_t start = size_t(std::lower_bound(sorted_.begin(), sorted_.end(), colour.l,
                                         [](const Labf& c, float l) { return c.l < l; }) -
                        sorted_.begin());
  if (start == n) start = n - 1;
  size_t best = start;
  float bestDistance = Distance2(sorted_[start], colour);
  const auto consider = [&](size_t j) {
    const float d = Distance2(sorted_[j], colour);
    if (d < bestDistance || (d == bestDistance && position_[j] < position_[best])) best = j, bestDistance = d;
  };
  for (size_t j = start + 1; j < n; ++j) {
    const float dl = sorted_[j].l - colour.l;
    if (dl * dl > bestDistance) break;
    consider(j);
  }
  for (size_t j = start; j-- > 0;) {
    const float dl = colour.l - sorted_[j].l;
    if (dl * dl > bestDistance) break;
    consider(j);
  }
  return position_[best];
}

void NearestColour::FindTwo(const Labf& colour, int32_t& first, float& firstDistance, int32_t& second,
                            float& secondDistance) const {
  const size_t n = sorted_.size();
  size_t start = size_t(std::lower_bound(sorted_.begin(), sorted_.end(), colour.l,
                                         [](const Labf& c, float l) { return c.l < l; }) -
                        sorted_.begin());
  if (start == n) start = n - 1;
  size_t best = n, next = n;
  float d1 = 0, d2 = 0;
  const auto consider = [&](size_t j) {
    const float d = Distance2(sorted_[j], colour);
    if (best == n || d < d1) {
      next = best, d2 = d1, best = j, d1 = d;
    } else if (next == n || d < d2) {
      next = j, d2 = d;
    }
  };
  for (size_t j = start; j < n; ++j) {
    const float dl = sorted_[j].l - colour.l;
    if (next != n && dl * dl > d2) break;
    consider(j);
  }
  for (size_t j = start; j-- > 0;) {
    const float dl = colour.l - sorted_[j].l;
    if (next != n && dl * dl > d2) break;
    consider(j);
  }
  first = position_[best], firstDistance = d1, second = position_[next], secondDistance = d2;
}

void MapPixels(const RgbaPicture& picture, const std::vector<Labf>& pixelLab,
               const std::vector<Labf>& colours, const std::vector<int32_t>& registers,
               const QuantizeOptions& options, int32_t transparent, std::vector<uint8_t>& out) {
  out.assign(picture.pixels.size(), uint8_t(std::max(transparent, 0)));
  if (colours.empty()) return;  // every pixel see-through
  const NearestColour nearest(colours);
  switch (options.dither) {
    case Dither::None: MapNearest(picture, pixelLab, nearest, registers, options, transparent, out); break;
    case Dither::Bayer4:
      MapOrdered(picture, pixelLab, nearest, colours, registers, options, transparent, 4, out);
      break;
    case Dither::Bayer8:
      MapOrdered(picture, pixelLab, nearest, colours, registers, options, transparent, 8, out);
      break;
    case Dither::FloydSteinberg:
      MapDiffused(picture, pixelLab, nearest, colours, registers, options, transparent, out);
      break;
  }
}

}  // namespace quorvel::formats
