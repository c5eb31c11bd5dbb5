// Quantizing a true-colour picture in OKLab. Xiaolin Wu's quantizer ("Efficient
// Statistical Computations for Optimal Color Quantization", Graphics Gems II, 1991)
// cuts a histogram of the picture's colours into boxes, each cut the one that lowers
// the summed squared error most, found from cumulative moments in constant time a box.
// Its boxes' means then seed a few passes of k-means (Lloyd's algorithm) over the
// distinct colours, which moves the colours off the histogram's grid to the pixels' own
// means, and swaps between colours that serve few pixels and large areas left without a
// colour of their own (as in k-medoids' swap step).
#include <algorithm>
#include <array>
#include <cmath>

#include "formats/quantize_common.hpp"
#include "palette/colour_space.hpp"

namespace quorvel::formats {
namespace {

// The histogram: lightness matters most to the eye and spans the widest range, so it
// gets the most cells. Each axis covers the picture's own range of that axis.
constexpr int32_t kCellsL = 128, kCellsA = 64, kCellsB = 64;
constexpr int32_t kSideL = kCellsL + 1, kSideA = kCellsA + 1, kSideB = kCellsB + 1;  // plane 0 stays empty

// Sums over a set of pixels: their count, their colours, and the squares of their colours.
struct Moments {
  double w = 0, l = 0, a = 0, b = 0, q = 0;
  Moments& operator+=(const Moments& m) {
    w += m.w, l += m.l, a += m.a, b += m.b, q += m.q;
    return *this;
  }
  Moments& operator-=(const Moments& m) {
    w -= m.w, l -= m.l, a -= m.a, b -= m.b, q -= m.q;
    return *this;
  }
  double Spread() const { return (l * l + a * a + b * b) / w; }  // w > 0
};

// One of the picture's distinct colours and how many pixels have it.
struct WeightedColour {
  Labf lab;
  uint32_t count = 0;
  Rgb8 rgb;
};

// A box of cells: r0 exclusive, r1 inclusive on each axis (0 lightness, 1 a, 2 b).
struct Box {
  std::array<int32_t, 3> r0{}, r1{};
  int32_t Cells() const { return (r1[0] - r0[0]) * (r1[1] - r0[1]) * (r1[2] - r0[2]); }
};

class Histogram {
 public:
  explicit Histogram(const std::vector<WeightedColour>& colours) : cells_(size_t(kSideL) * kSideA * kSideB) {
    low_ = high_ = colours[0].lab;
    for (const WeightedColour& wc : colours) {
      const Labf& c = wc.lab;
      low_ = {std::min(low_.l, c.l), std::min(low_.a, c.a), std::min(low_.b, c.b)};
      high_ = {std::max(high_.l, c.l), std::max(high_.a, c.a), std::max(high_.b, c.b)};
    }
    for (const WeightedColour& wc : colours) {
      const Labf& c = wc.lab;
      const double w = wc.count;
      Moments& m = cells_[Index(Cell(c.l, low_.l, high_.l, kCellsL) + 1, Cell(c.a, low_.a, high_.a, kCellsA) + 1,
                                Cell(c.b, low_.b, high_.b, kCellsB) + 1)];
      m.w += w, m.l += w * c.l, m.a += w * c.a, m.b += w * c.b;
      m.q += w * (double(c.l) * c.l + double(c.a) * c.a + double(c.b) * c.b);
    }
    // Cumulative along each axis in turn: a cell then holds the sums of every cell at or
    // below it on all three.
    for (int32_t x = 1; x < kSideL; ++x)
      for (int32_t y = 1; y < kSideA; ++y)
        for (int32_t z = 1; z < kSideB; ++z) cells_[Index(x, y, z)] += cells_[Index(x, y, z - 1)];
    for (int32_t x = 1; x < kSideL; ++x)
      for (int32_t y = 1; y < kSideA; ++y)
        for (int32_t z = 1; z < kSideB; ++z) cells_[Index(x, y, z)] += cells_[Index(x, y - 1, z)];
    for (int32_t x = 1; x < kSideL; ++x)
      for (int32_t y = 1; y < kSideA; ++y)
        for (int32_t z = 1; z < kSideB; ++z) cells_[Index(x, y, z)] += cells_[Index(x - 1, y, z)];
  }

  Box Whole() const { return {{0, 0, 0}, {kCellsL, kCellsA, kCellsB}}; }

  // The sums over a box, from the cumulative sums at its eight corners.
  Moments Sum(const Box& box) const {
    Moments m = At(box.r1[0], box.r1[1], box.r1[2]);
    m -= At(box.r1[0], box.r1[1], box.r0[2]);
    m -= At(box.r1[0], box.r0[1], box.r1[2]);
    m += At(box.r1[0], box.r0[1], box.r0[2]);
    m -= At(box.r0[0], box.r1[1], box.r1[2]);
    m += At(box.r0[0], box.r1[1], box.r0[2]);
    m += At(box.r0[0], box.r0[1], box.r1[2]);
    m -= At(box.r0[0], box.r0[1], box.r0[2]);
    return m;
  }

 private:
  static int32_t Cell(float v, float low, float high, int32_t cells) {
    if (!(high > low)) return 0;
    const int32_t cell = int32_t((v - low) / (high - low) * float(cells));
    return std::clamp(cell, 0, cells - 1);
  }
  static size_t Index(int32_t x, int32_t y, int32_t z) { return (size_t(x) * kSideA + size_t(y)) * kSideB + size_t(z); }
  const Moments& At(int32_t x, int32_t y, int32_t z) const { return cells_[Index(x, y, z)]; }

  std::vector<Moments> cells_;
  Labf low_, high_;
};

// How much a box's pixels lose to their mean, the order in which boxes are cut: the
// summed distance rather than its square, as sqrt(count x summed squares), so a box of
// two large flat areas of near colours goes before a few scattered pixels of far ones.
double Loss(const Histogram& h, const Box& box) {
  const Moments m = h.Sum(box);
  return m.w > 0 ? std::sqrt(std::max(0.0, m.q - m.Spread()) * m.w) : 0;
}

// Cuts the box in two where the halves' error drops most; false when it cannot be cut.
bool Cut(const Histogram& h, Box& box, Box& other) {
  const Moments whole = h.Sum(box);
  double best = -1;
  int32_t bestAxis = -1, bestAt = 0;
  for (int32_t axis = 0; axis < 3; ++axis) {
    for (int32_t at = box.r0[size_t(axis)] + 1; at < box.r1[size_t(axis)]; ++at) {
      Box lower = box;
      lower.r1[size_t(axis)] = at;
      const Moments half = h.Sum(lower);
      Moments rest = whole;
      rest -= half;
      if (half.w <= 0 || rest.w <= 0) continue;
      // The error of the two halves is the total squares less this: the larger, the better.
      const double score = half.Spread() + rest.Spread();
      if (score > best) best = score, bestAxis = axis, bestAt = at;
    }
  }
  if (bestAxis < 0) return false;
  other = box;
  box.r1[size_t(bestAxis)] = bestAt;
  other.r0[size_t(bestAxis)] = bestAt;
  return true;
}

// Up to `count` boxes' means: fewer where the picture has fewer cells to split.
std::vector<Labf> WuColours(const std::vector<WeightedColour>& colours, size_t count) {
  const Histogram h(colours);
  std::vector<Box> boxes{h.Whole()};
  std::vector<double> error{0};
  size_t next = 0;
  while (boxes.size() < count) {
    Box other;
    if (Cut(h, boxes[next], other)) {
      boxes.push_back(other);
      error[next] = boxes[next].Cells() > 1 ? Loss(h, boxes[next]) : 0;
      error.push_back(other.Cells() > 1 ? Loss(h, other) : 0);
    } else {
      error[next] = 0;
    }
    next = size_t(std::max_element(error.begin(), error.end()) - error.begin());
    if (error[next] <= 0) break;
  }
  std::vector<Labf> means;
  for (const Box& box : boxes) {
    const Moments m = h.Sum(box);
    if (m.w > 0) means.push_back({float(m.l / m.w), float(m.a / m.w), float(m.b / m.w)});
  }
  return means;
}

// Lloyd's passes: every pixel to its nearest colour, then each chosen colour to the mean
// of its pixels. The fixed colours draw pixels but do not move. With `median` a pass is a
// step of Weiszfeld's towards the geometric median instead, each pixel weighed by the
// inverse of its distance: the summed distance, which is what the eye sees, falls, and a
// colour whose pixels are mostly one flat area lands on that area's colour.
void Refine(const std::vector<WeightedColour>& colours, const std::vector<Labf>& fixed, std::vector<Labf>& chosen,
            int32_t passes, bool median) {
  for (int32_t pass = 0; pass < passes; ++pass) {
    std::vector<Labf> all = chosen;
    all.insert(all.end(), fixed.begin(), fixed.end());
    const NearestColour nearest(all);
    std::vector<Moments> sums(chosen.size());
    for (const WeightedColour& wc : colours) {
      const size_t k = size_t(nearest.Find(wc.lab));
      if (k >= chosen.size()) continue;
      double w = wc.count;
      if (median) w /= std::max(1e-4, std::sqrt(double(Distance2(wc.lab, chosen[k]))));
      sums[k].w += w, sums[k].l += w * wc.lab.l, sums[k].a += w * wc.lab.a, sums[k].b += w * wc.lab.b;
    }
    for (size_t k = 0; k < chosen.size(); ++k) {
      const Moments& m = sums[k];
      if (m.w > 0) chosen[k] = {float(m.l / m.w), float(m.a / m.w), float(m.b / m.w)};
    }
  }
}

// The register colours of the chosen ones. A mean rounded to 8 bits is a colour no pixel
// has: where a flat area dominates a colour's pixels, a pixel's own colour is nearer to
// them all, so each colour becomes whichever of its rounded mean and its most common
// pixel colour is nearer, summed over its pixels.
std::vector<Rgb8> RegisterColours(const std::vector<WeightedColour>& colours, const std::vector<Labf>& fixed,
                                  const std::vector<Labf>& chosen) {
  std::vector<Rgb8> rounded;
  for (const Labf& c : chosen) rounded.push_back(detail::ToRgb8(detail::FromOkLab({c.l, c.a, c.b})));
  std::vector<Labf> all = chosen;
  all.insert(all.end(), fixed.begin(), fixed.end());
  const NearestColour nearest(all);
  std::vector<int32_t> owner(colours.size());
  std::vector<int32_t> common(chosen.size(), -1);  // the most common colour of each
  for (size_t i = 0; i < colours.size(); ++i) {
    owner[i] = nearest.Find(colours[i].lab);
    if (size_t(owner[i]) >= chosen.size()) continue;
    int32_t& best = common[size_t(owner[i])];
    if (best < 0 || colours[i].count > colours[size_t(best)].count) best = int32_t(i);
  }
  std::vector<Labf> roundedLab;
  for (Rgb8 c : rounded) roundedLab.push_back(LabOf(c));
  std::vector<double> meanError(chosen.size()), commonError(chosen.size());
  for (size_t i = 0; i < colours.size(); ++i) {
    const size_t k = size_t(owner[i]);
    if (k >= chosen.size()) continue;
    meanError[k] += colours[i].count * std::sqrt(double(Distance2(colours[i].lab, roundedLab[k])));
    commonError[k] += colours[i].count * std::sqrt(double(Distance2(colours[i].lab, colours[size_t(common[k])].lab)));
  }
  for (size_t k = 0; k < chosen.size(); ++k) {
    if (common[k] >= 0 && commonError[k] < meanError[k]) rounded[k] = colours[size_t(common[k])].rgb;
  }
  return rounded;
}

// Swaps that k-means cannot make. A colour of many pixels may share its nearest chosen
// colour with another large flat area, where no pass separates them; some other chosen
// colour may serve so few pixels that its neighbours would do nearly as well. Where
// giving a colour of its own to the first gains more than dropping the second loses (its
// pixels going to their next nearest), the second moves there.
void SwapForLargeAreas(const std::vector<WeightedColour>& colours, const std::vector<Labf>& fixed,
                       std::vector<Labf>& chosen) {
  if (chosen.size() + fixed.size() < 2) return;
  std::vector<Labf> all = chosen;
  all.insert(all.end(), fixed.begin(), fixed.end());
  const NearestColour nearest(all);
  std::vector<double> dropCost(chosen.size(), 0);
  std::vector<std::pair<double, size_t>> gains;  // (pixels x distance, colour)
  std::vector<int32_t> owner(colours.size());
  for (size_t i = 0; i < colours.size(); ++i) {
    int32_t first = 0, second = 0;
    float d1 = 0, d2 = 0;
    nearest.FindTwo(colours[i].lab, first, d1, second, d2);
    owner[i] = first;
    const double w = colours[i].count;
    if (size_t(first) < chosen.size()) dropCost[size_t(first)] += w * (std::sqrt(double(d2)) - std::sqrt(double(d1)));
    if (d1 > 0) gains.push_back({w * std::sqrt(double(d1)), i});
  }
  // Largest gain first, ties by colour. The loop below usually stops after a few, so the
  // gains are taken off a heap instead of being sorted whole.
  const auto smaller = [](const auto& p, const auto& q) {
    return p.first != q.first ? p.first < q.first : p.second > q.second;
  };
  std::make_heap(gains.begin(), gains.end(), smaller);
  std::vector<size_t> cheapest(chosen.size());
  for (size_t k = 0; k < cheapest.size(); ++k) cheapest[k] = k;
  std::stable_sort(cheapest.begin(), cheapest.end(), [&](size_t p, size_t q) { return dropCost[p] < dropCost[q]; });
  std::vector<bool> touched(all.size(), false);
  size_t drop = 0;
  for (auto end = gains.end(); end != gains.begin(); --end) {
    std::pop_heap(gains.begin(), end, smaller);
    const auto [gain, i] = end[-1];
    while (drop < cheapest.size() && touched[cheapest[drop]]) ++drop;
    if (drop == cheapest.size() || gain <= dropCost[cheapest[drop]]) break;
    if (touched[size_t(owner[i])]) continue;  // its neighbourhood has changed already
    const size_t k = cheapest[drop];
    chosen[k] = colours[i].lab;
    touched[k] = touched[size_t(owner[i])] = true;
  }
}

uint32_t Packed(const Rgba8& p) { return uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b; }
Rgb8 Unpacked(uint32_t c) { return {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)}; }

// The picture's distinct opaque colours in order of first appearance, when there are at
// most `limit` of them; false when there are more.
bool FewColours(const RgbaPicture& picture, const QuantizeOptions& options, size_t limit,
                std::vector<uint32_t>& inOrder) {
  std::vector<uint32_t> sorted;
  uint32_t last = 0xFFFFFFFF;
  for (const Rgba8& p : picture.pixels) {
    if (IsClear(p, options)) continue;
    const uint32_t c = Packed(p);
    if (c == last) continue;
    last = c;
    const auto at = std::lower_bound(sorted.begin(), sorted.end(), c);
    if (at != sorted.end() && *at == c) continue;
    if (sorted.size() == limit) return false;
    sorted.insert(at, c);
    inOrder.push_back(c);
  }
  return true;
}

// The distinct opaque colours of the picture, in order of their packed values.
std::vector<WeightedColour> DistinctColours(const RgbaPicture& picture, const QuantizeOptions& options) {
  std::vector<uint32_t> packed;
  packed.reserve(picture.pixels.size());
  for (const Rgba8& p : picture.pixels) {
    if (!IsClear(p, options)) packed.push_back(Packed(p));
  }
  std::sort(packed.begin(), packed.end());
  std::vector<WeightedColour> distinct;
  for (size_t i = 0; i < packed.size();) {
    size_t j = i + 1;
    while (j < packed.size() && packed[j] == packed[i]) ++j;
    distinct.push_back({LabOf(Unpacked(packed[i])), uint32_t(j - i), Unpacked(packed[i])});
    i = j;
  }
  return distinct;
}

// A picture of few colours: each its own register, the fixed registers serving the colours
// they hold.
QuantizeResult Exact(const RgbaPicture& picture, const QuantizeOptions& options, RegisterPlan& plan,
                     const std::vector<uint32_t>& colours) {
  std::vector<std::pair<uint32_t, int32_t>> registerOf;  // sorted by colour
  size_t nextFree = 0;
  for (uint32_t c : colours) {
    int32_t reg = -1;
    for (int32_t f : plan.fixed) {
      if (plan.palette[size_t(f)] == Unpacked(c)) { reg = f; break; }
    }
    if (reg < 0) {
      reg = plan.free[nextFree++];
      plan.palette[size_t(reg)] = Unpacked(c);
    }
    registerOf.push_back({c, reg});
  }
  std::sort(registerOf.begin(), registerOf.end());
  QuantizeResult result;
  result.picture = PictureOfPlan(picture, plan);
  result.picture.pixels.resize(picture.pixels.size());
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    const Rgba8& p = picture.pixels[i];
    if (IsClear(p, options)) {
      result.picture.pixels[i] = uint8_t(plan.transparent);
      continue;
    }
    const auto at = std::lower_bound(registerOf.begin(), registerOf.end(), std::pair<uint32_t, int32_t>{Packed(p), -1});
    result.picture.pixels[i] = uint8_t(at->second);
  }
  return result;
}

}  // namespace

std::string CheckPictureShape(const RgbaPicture& picture) {
  if (picture.width < 0 || picture.height < 0 ||
      picture.pixels.size() != size_t(picture.width) * size_t(picture.height)) {
    return "the picture holds " + std::to_string(picture.pixels.size()) + " pixels, not " +
           std::to_string(picture.width) + " x " + std::to_string(picture.height);
  }
  return "";
}

}  // namespace quorvel::formats

namespace quorvel {

std::string_view DitherName(Dither dither) {
  switch (dither) {
    case Dither::None: return "none";
    case Dither::Bayer4: return "bayer4";
    case Dither::Bayer8: return "bayer8";
    case Dither::FloydSteinberg: return "floyd-steinberg";
  }
  return "";
}

bool DitherFromName(std::string_view name, Dither& dither) {
  for (Dither d : {Dither::None, Dither::Bayer4, Dither::Bayer8, Dither::FloydSteinberg}) {
    if (name == DitherName(d)) {
      dither = d;
      return true;
    }
  }
  if (name == "fs") {
    dither = Dither::FloydSteinberg;
    return true;
  }
  return false;
}

QuantizeResult Quantize(const RgbaPicture& picture, const QuantizeOptions& options) {
  using namespace formats;
  QuantizeResult result;
  if (result.error = CheckPictureShape(picture); !result.error.empty()) return result;
  if (options.refinePasses < 0) {
    result.error = "refine passes " + std::to_string(options.refinePasses) + ": give 0 or more";
    return result;
  }
  size_t opaque = 0;
  for (const Rgba8& p : picture.pixels) opaque += IsClear(p, options) ? 0 : 1;
  const bool needTransparent = opaque < picture.pixels.size();
  RegisterPlan plan;
  if (result.error = PlanRegisters(options, options.colours, true, -1, needTransparent, plan); !result.error.empty()) {
    return result;
  }
  if (opaque > 0 && plan.free.empty() && plan.fixed.empty()) {
    result.error = "no register is left for the picture's colours";
    return result;
  }

  std::vector<uint32_t> few;
  if (FewColours(picture, options, plan.free.size(), few)) return Exact(picture, options, plan, few);

  const std::vector<Labf> lab = LabOfPixels(picture);
  std::vector<Labf> fixed;
  for (int32_t f : plan.fixed) fixed.push_back(LabOf(plan.palette[size_t(f)]));
  const std::vector<WeightedColour> distinct = DistinctColours(picture, options);
  std::vector<Labf> chosen;
  if (!plan.free.empty()) chosen = WuColours(distinct, plan.free.size());
  Refine(distinct, fixed, chosen, options.refinePasses, false);
  // Two rounds catch most of what the swaps find; each pass after them settles the moved
  // colours on their flat areas' own colours.
  for (int32_t round = 0; round < 2 && options.refinePasses > 0; ++round) {
    SwapForLargeAreas(distinct, fixed, chosen);
    Refine(distinct, fixed, chosen, 1, true);
  }

  // The chosen colours as the registers will hold them, darkest first.
  const std::vector<Rgb8> rounded = RegisterColours(distinct, fixed, chosen);
  std::vector<Labf> roundedLab;
  for (Rgb8 c : rounded) roundedLab.push_back(LabOf(c));
  std::vector<size_t> order(rounded.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::stable_sort(order.begin(), order.end(), [&](size_t p, size_t q) { return roundedLab[p].l < roundedLab[q].l; });

  std::vector<Labf> colours;
  std::vector<int32_t> registers;
  for (size_t k = 0; k < order.size(); ++k) {
    plan.palette[size_t(plan.free[k])] = rounded[order[k]];
    colours.push_back(roundedLab[order[k]]);
    registers.push_back(plan.free[k]);
  }
  for (size_t f = 0; f < plan.fixed.size(); ++f) {
    colours.push_back(fixed[f]);
    registers.push_back(plan.fixed[f]);
  }
  result.picture = PictureOfPlan(picture, plan);
  MapPixels(picture, lab, colours, registers, options, plan.transparent, result.picture.pixels);
  return result;
}

}  // namespace quorvel
