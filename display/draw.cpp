// Drawing on the work page: lines, boxes, ellipses and captured images. Everything is
// clipped to the page.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "display/screen.hpp"

namespace quorvel {
namespace {

// Coordinates round half away from zero. Far-off and non-finite values land well off the
// page instead of overflowing.
int32_t Round(double v) {
  constexpr double kFar = 1 << 24;
  if (!(v > -kFar)) return -(1 << 24);  // also catches NaN
  if (v > kFar) return 1 << 24;
  return static_cast<int32_t>(std::lround(v));
}

// A corner that is no number or infinite says nowhere to draw, as for an ellipse's centre;
// rounded, it would pull a line or a box out to the page's edge.
bool Finite(double x1, double y1, double x2, double y2) {
  return std::isfinite(x1) && std::isfinite(y1) && std::isfinite(x2) && std::isfinite(y2);
}

// The work page's pixels and size; null pixels when no screen is open.
struct Page {
  uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;

  bool Has(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  uint8_t* Row(int32_t y) const { return pixels + size_t(y) * size_t(width); }
};

// The work page. Callers hold the pixel lock.
Page WorkPage(detail::Screen& s) {
  if (!detail::ValidPage(s, s.work)) return {};
  return {s.pages[s.work].data(), s.width, s.height};
}

void Plot(const Page& page, int32_t x, int32_t y, uint8_t colour) {
  if (page.Has(x, y)) page.Row(y)[x] = colour;
}

void Span(const Page& page, int32_t x1, int32_t x2, int32_t y, uint8_t colour) {
  if (y < 0 || y >= page.height) return;
  x1 = std::max(x1, 0);
  x2 = std::min(x2, page.width - 1);
  if (x1 <= x2) std::fill(page.Row(y) + x1, page.Row(y) + x2 + 1, colour);
}

// Bresenham's line, both ends included; the style mask repeats bit 15 first.
void Line(const Page& page, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t colour,
          uint16_t style) {
  const int64_t dx = std::abs(int64_t(x2) - x1), dy = -std::abs(int64_t(y2) - y1);
  const int32_t sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
  int64_t err = dx + dy;
  for (int32_t bit = 15;; bit = (bit + 15) % 16) {
    if (style >> bit & 1) Plot(page, x1, y1, colour);
    if (x1 == x2 && y1 == y2) break;
    const int64_t e2 = 2 * err;
    if (e2 >= dy) err += dy, x1 += sx;
    if (e2 <= dx) err += dx, y1 += sy;
  }
}

// Draws on the work page with the indices in `drawn` (or fewer).
template <typename Draw>
void OnWorkPage(const detail::IndexSet& drawn, Draw draw) {
  detail::Screen& s = detail::TheScreen();
  {
    std::lock_guard lock(s.pixels);
    const Page page = WorkPage(s);
    if (!page.pixels) return;
    draw(page);
  }
  detail::PageChanged(s.work, drawn);
}

// Whether the angle of (dx, dy) from the centre, counter-clockwise with y up, lies in the
// arc from start to end (radians, start <= end after normalising).
bool InArc(double dx, double dy, double start, double end) {
  double a = std::atan2(-dy, dx);
  if (a < start) a += 2 * std::numbers::pi * std::ceil((start - a) / (2 * std::numbers::pi));
  return a <= end;
}

}  // namespace

void DrawLine(double x1, double y1, double x2, double y2, int32_t colour, int32_t styleMask) {
  if (!Finite(x1, y1, x2, y2)) return;
  OnWorkPage(detail::IndexSet::Of(static_cast<uint8_t>(colour)), [&](const Page& page) {
    const int32_t ax = Round(x1), ay = Round(y1), bx = Round(x2), by = Round(y2);
    Line(page, ax, ay, bx, by, static_cast<uint8_t>(colour), static_cast<uint16_t>(styleMask));
  });
}

void DrawBox(double x1, double y1, double x2, double y2, int32_t colour, bool filled) {
  if (!Finite(x1, y1, x2, y2)) return;
  OnWorkPage(detail::IndexSet::Of(static_cast<uint8_t>(colour)), [&](const Page& page) {
    int32_t left = Round(x1), top = Round(y1), right = Round(x2), bottom = Round(y2);
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    const uint8_t c = static_cast<uint8_t>(colour);
    if (filled) {
      for (int32_t y = std::max(top, 0); y <= std::min(bottom, page.height - 1); ++y) {
        Span(page, left, right, y, c);
      }
      return;
    }
    Span(page, left, right, top, c);
    Span(page, left, right, bottom, c);
    for (int32_t y = std::max(top, 0); y <= std::min(bottom, page.height - 1); ++y) {
      Plot(page, left, y, c);
      Plot(page, right, y, c);
    }
  });
}

void DrawEllipse(double x, double y, double radius, int32_t colour, double aspect,
                 double startAngle, double endAngle, bool filled) {
  if (!(radius >= 0) || radius > 1e6) return;
  // A position or a size that is no number or infinite says nowhere to draw.
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(aspect)) return;
  // Round on the display: a pixel shown taller than wide needs fewer of them vertically.
  if (aspect == 0) aspect = 1.0 / detail::TheScreen().pixelAspect;
  aspect = std::abs(aspect);
  const double rx = aspect > 1 ? radius / aspect : radius;
  const double ry = aspect > 1 ? radius : radius * aspect;
  if (startAngle > endAngle) std::swap(startAngle, endAngle);
  const bool whole = endAngle - startAngle >= 2 * std::numbers::pi - 1e-6;
  const int32_t cx = Round(x), cy = Round(y);
  const uint8_t c = static_cast<uint8_t>(colour);

  OnWorkPage(detail::IndexSet::Of(c), [&](const Page& page) {
    if (filled) {
      // One span per pixel row, each half as wide as the ellipse at that height.
      const int32_t half = static_cast<int32_t>(std::floor(ry + 0.5));
      for (int32_t dy = -half; dy <= half; ++dy) {
        if (cy + dy < 0 || cy + dy >= page.height) continue;
        const double t = ry > 0 ? dy / ry : 0.0;
        const double w = rx * std::sqrt(std::max(0.0, 1.0 - t * t));
        const int32_t x1 = Round(cx - w), x2 = Round(cx + w);
        if (whole) {
          Span(page, x1, x2, cy + dy, c);
        } else {
          for (int32_t px = std::max(x1, 0); px <= std::min(x2, page.width - 1); ++px) {
            if (InArc(px - cx, dy, startAngle, endAngle)) Plot(page, px, cy + dy, c);
          }
        }
      }
      return;
    }
    // The rim, sampled finely enough to leave no gaps.
    const int32_t steps = std::max(16, static_cast<int32_t>(8 * std::max(rx, ry)));
    for (int32_t i = 0; i <= steps; ++i) {
      const double a = startAngle + (whole ? 2 * std::numbers::pi : endAngle - startAngle) * i / steps;
      Plot(page, Round(cx + rx * std::cos(a)), Round(cy - ry * std::sin(a)), c);
    }
  });
}

ImageBuffer MakeImageBuffer(int32_t words) {
  return ImageBuffer(size_t(std::max(words, 0)) * 4, 0);
}

namespace {

void WriteImageHeader(ImageBuffer& buffer, size_t width, size_t height) {
  const uint16_t widthBits = static_cast<uint16_t>(width * 8);
  buffer[0] = widthBits & 0xFF;
  buffer[1] = widthBits >> 8;
  buffer[2] = height & 0xFF;
  buffer[3] = static_cast<uint8_t>(height >> 8);
}

}  // namespace

ImageBuffer MakeImage(int32_t width, int32_t height) {
  // The header holds width x 8 in 16 bits.
  width = std::clamp(width, 0, 8191);
  height = std::clamp(height, 0, 65535);
  ImageBuffer image(4 + size_t(width) * size_t(height), 0);
  WriteImageHeader(image, size_t(width), size_t(height));
  return image;
}

void GetImage(double x1, double y1, double x2, double y2, ImageBuffer& buffer) {
  int32_t left = Round(x1), top = Round(y1), right = Round(x2), bottom = Round(y2);
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  detail::Screen& s = detail::TheScreen();
  std::lock_guard lock(s.pixels);
  const Page page = WorkPage(s);
  if (!page.pixels || !page.Has(left, top) || !page.Has(right, bottom)) return;
  const size_t width = size_t(right - left + 1), height = size_t(bottom - top + 1);
  if (buffer.size() < 4 + width * height) return;
  WriteImageHeader(buffer, width, height);
  for (size_t row = 0; row < height; ++row) {
    const uint8_t* from = page.Row(top + int32_t(row)) + left;
    std::copy(from, from + width, buffer.data() + 4 + row * width);
  }
}

void PutImage(double x, double y, const ImageBuffer& buffer, int32_t mode) {
  PutImage(x, y, buffer, mode, IdentityIndexMap());
}

void PutImage(double x, double y, const ImageBuffer& buffer, int32_t mode, const IndexMap& map) {
  if (buffer.size() < 4) return;
  const int32_t width = (buffer[0] | buffer[1] << 8) / 8;
  const int32_t height = buffer[2] | buffer[3] << 8;
  if (buffer.size() < 4 + size_t(width) * height) return;  // a header that lies
  const int32_t left = Round(x), top = Round(y);
  // The part of the image that lies on the page.
  const detail::Screen& s = detail::TheScreen();
  const int32_t x0 = std::max(0, -left), x1 = std::min(width, s.width - left);
  const int32_t y0 = std::max(0, -top), y1 = std::min(height, s.height - top);
  if (x0 >= x1 || y0 >= y1) return;

  // OR-ing makes indices the image does not hold.
  detail::IndexSet drawn = detail::IndexSet::Every();
  if (mode != kPutOr) {
    const detail::IndexSet held = detail::IndicesIn(buffer.data() + 4, size_t(width) * height);
    drawn = {};
    for (int32_t i = 0; i < 256; ++i) {
      if (held.Has(uint8_t(i))) drawn.Add(map[size_t(i)]);
    }
  }
  OnWorkPage(drawn, [&](const Page& page) {
    for (int32_t row = y0; row < y1; ++row) {
      const uint8_t* from = buffer.data() + 4 + size_t(row) * width;
      uint8_t* to = page.Row(top + row) + left;
      for (int32_t col = x0; col < x1; ++col) {
        if (mode == kPutOr) {
          to[col] |= map[from[col]];
        } else if (mode != kPutTransparent || from[col] != 0) {
          to[col] = map[from[col]];
        }
      }
    }
  });
}

IndexMap IdentityIndexMap() {
  IndexMap map{};
  for (size_t i = 0; i < map.size(); ++i) map[i] = uint8_t(i);
  return map;
}

void MapIndices(const IndexMap& map, uint8_t* indices, size_t count) {
  for (size_t i = 0; i < count; ++i) indices[i] = map[indices[i]];
}

}  // namespace quorvel
