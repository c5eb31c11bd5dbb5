// A recorded frame with palettes per line made into one GIF colour table: the colours it
// shows, exactly when there are at most 256 of them, else the nearest of 256 chosen by
// median cut over the colours weighted by how many pixels show them.
#include <algorithm>
#include <climits>
#include <unordered_map>

#include "display/gif_writer.hpp"

namespace quorvel::detail {
namespace {

struct Weighted {
  uint32_t colour;
  uint32_t pixels;
};

int32_t Component(uint32_t colour, int c) { return int32_t(colour >> (8 * c) & 0xFF); }

// Up to 256 colours for `all`: the box of colours with the widest spread of one component
// is cut at its pixel-weighted median, until there are 256 boxes; each gives its mean.
std::vector<uint32_t> MedianCut(std::vector<Weighted> all) {
  struct Box {
    size_t begin, end;
  };
  std::vector<Box> boxes = {{0, all.size()}};
  const auto spread = [&](const Box& box, int& widest) {
    int32_t best = -1;
    for (int c = 0; c < 3; ++c) {
      int32_t low = 255, high = 0;
      for (size_t i = box.begin; i < box.end; ++i) {
        low = std::min(low, Component(all[i].colour, c));
        high = std::max(high, Component(all[i].colour, c));
      }
      if (high - low > best) best = high - low, widest = c;
    }
    return best;
  };
  while (boxes.size() < 256) {
    size_t chosen = boxes.size();
    int32_t widestSpread = 0;
    int component = 0;
    for (size_t b = 0; b < boxes.size(); ++b) {
      int c = 0;
      const int32_t s = boxes[b].end - boxes[b].begin > 1 ? spread(boxes[b], c) : 0;
      if (s > widestSpread) widestSpread = s, chosen = b, component = c;
    }
    if (chosen == boxes.size()) break;  // every box is one colour
    Box& box = boxes[chosen];
    std::sort(all.begin() + long(box.begin), all.begin() + long(box.end),
              [&](const Weighted& a, const Weighted& b) {
                return Component(a.colour, component) < Component(b.colour, component);
              });
    uint64_t total = 0, half = 0;
    for (size_t i = box.begin; i < box.end; ++i) total += all[i].pixels;
    size_t cut = box.begin + 1;
    for (size_t i = box.begin; i + 1 < box.end; ++i) {
      half += all[i].pixels;
      cut = i + 1;
      if (2 * half >= total) break;
    }
    const Box lower{box.begin, cut}, upper{cut, box.end};
    box = lower;
    boxes.push_back(upper);
  }
  std::vector<uint32_t> colours;
  for (const Box& box : boxes) {
    uint64_t sum[3] = {}, weight = 0;
    for (size_t i = box.begin; i < box.end; ++i) {
      for (int c = 0; c < 3; ++c) sum[c] += uint64_t(Component(all[i].colour, c)) * all[i].pixels;
      weight += all[i].pixels;
    }
    uint32_t mean = 0;
    for (int c = 0; c < 3; ++c) mean |= uint32_t((sum[c] + weight / 2) / std::max<uint64_t>(weight, 1)) << (8 * c);
    colours.push_back(mean);
  }
  return colours;
}

uint8_t Nearest(const std::vector<uint32_t>& table, uint32_t colour) {
  size_t best = 0;
  int32_t bestDistance = INT32_MAX;
  for (size_t i = 0; i < table.size(); ++i) {
    int32_t d = 0;
    for (int c = 0; c < 3; ++c) {
      const int32_t e = Component(table[i], c) - Component(colour, c);
      d += e * e;
    }
    if (d < bestDistance) bestDistance = d, best = i;
  }
  return uint8_t(best);
}

// Calls row(r, the pixels of row r, the 256 colours it shows) for every row of the frame.
template <typename Row>
void EachRow(const GifFrame& frame, int32_t width, int32_t height, Row&& row) {
  std::array<uint32_t, 256> colours = frame.colours;
  BandWalker walker(frame.lines.get());
  for (int32_t r = 0; r < height; ++r) {
    walker.ApplyUpTo(frame.firstLine + r * frame.lineStep,
                     [&](int32_t first, const uint32_t* from, int32_t count) {
                       for (int32_t i = 0; i < count; ++i) colours[size_t(first + i)] = from[i] & 0xFFFFFFu;
                     });
    row(r, frame.pixels.data() + size_t(r) * size_t(width), colours);
  }
}

}  // namespace

bool FlattenLines(GifFrame& frame, int32_t width, int32_t height) {
  for (uint32_t& c : frame.colours) c &= 0xFFFFFFu;
  // The colours shown, in the order first seen, and how many pixels show each.
  std::unordered_map<uint32_t, uint32_t> count;
  std::vector<uint32_t> order;
  EachRow(frame, width, height, [&](int32_t, const uint8_t* pixels, const std::array<uint32_t, 256>& colours) {
    for (int32_t x = 0; x < width; ++x) {
      const auto [at, added] = count.try_emplace(colours[pixels[x]], 0);
      if (added) order.push_back(at->first);
      ++at->second;
    }
  });
  const bool exact = order.size() <= 256;
  std::vector<uint32_t> table = order;
  if (!exact) {
    std::vector<Weighted> all;
    for (uint32_t c : order) all.push_back({c, count[c]});
    table = MedianCut(std::move(all));
  }
  std::unordered_map<uint32_t, uint8_t> slot;
  for (size_t i = 0; i < order.size(); ++i) {
    slot[order[i]] = exact ? uint8_t(i) : Nearest(table, order[i]);
  }
  EachRow(frame, width, height, [&](int32_t r, const uint8_t*, const std::array<uint32_t, 256>& colours) {
    uint8_t* pixels = frame.pixels.data() + size_t(r) * size_t(width);
    for (int32_t x = 0; x < width; ++x) pixels[x] = slot[colours[pixels[x]]];
  });
  frame.colours.fill(0);
  std::copy(table.begin(), table.end(), frame.colours.begin());
  frame.lines = nullptr;
  return exact;
}

}  // namespace quorvel::detail
