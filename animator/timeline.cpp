// Palettes pinned to times: which two keys a time falls between, and the palette there.
// The Animator and TimelinePaletteAt share this, so both show the same colours at the
// same time of the timeline.
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "animator/effects.hpp"

namespace quorvel {
namespace detail {
namespace {

[[noreturn]] void Refuse(const std::string& what) {
  throw std::invalid_argument("palette timeline: " + what);
}

}  // namespace

TimelineKeys MakeTimelineKeys(const PaletteTimeline& timeline, ColorSpace space) {
  if (!(std::isfinite(timeline.periodMs) && timeline.periodMs > 0)) {
    Refuse("periodMs must be a positive finite number, not " + std::to_string(timeline.periodMs));
  }
  if (timeline.keys.empty()) Refuse("it has no key");
  TimelineKeys keys{.period = timeline.periodMs, .space = space};
  for (size_t k = 0; k < timeline.keys.size(); ++k) {
    const TimedPalette& key = timeline.keys[k];
    const std::string name = "key " + std::to_string(k) + "'s timeMs " + std::to_string(key.timeMs);
    if (!(key.timeMs >= 0 && key.timeMs < timeline.periodMs)) {
      Refuse(name + " is not within 0 <= timeMs < periodMs (" +
             std::to_string(timeline.periodMs) + ")");
    }
    if (k > 0 && key.timeMs < keys.times.back()) Refuse(name + " comes before the key ahead of it");
    keys.times.push_back(key.timeMs);
    Colours colours(256);
    for (size_t i = 0; i < 256; ++i) colours[i] = ToRgbf(key.palette[i]);
    if (space == ColorSpace::OkLab) {
      std::vector<Lab> labs(256);
      for (size_t i = 0; i < 256; ++i) labs[i] = ToOkLab(colours[i]);
      keys.labs.push_back(std::move(labs));
    }
    keys.colours.push_back(std::move(colours));
  }
  return keys;
}

void TimelineColours(const TimelineKeys& keys, double timeMs, const std::bitset<256>& which,
                     Colours& out) {
  const double t = FloorMod(timeMs, keys.period);
  // The last key at or before t; before the first, the last one of the period before.
  // Keys at the same time make a cut: the later one is shown from that time on.
  const auto after = std::upper_bound(keys.times.begin(), keys.times.end(), t);
  const size_t count = keys.times.size();
  const size_t from = after == keys.times.begin() ? count - 1 : size_t(after - keys.times.begin()) - 1;
  const size_t to = (from + 1) % count;
  double fromTime = keys.times[from];
  double toTime = keys.times[to];
  if (fromTime > t) fromTime -= keys.period;
  if (toTime <= fromTime) toTime += keys.period;
  const double w = count == 1 ? 0 : (t - fromTime) / (toTime - fromTime);
  const bool lab = keys.space == ColorSpace::OkLab && w > 0;
  // Runs of registers at a time, so a whole range mixes in OKLab in one pass.
  for (size_t i = 0; i < 256;) {
    if (!which[i]) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < 256 && which[end]) ++end;
    if (lab) {
      LerpOkLab(keys.labs[from].data() + i, keys.labs[to].data() + i, w, out.data() + i, end - i);
    } else {
      for (size_t r = i; r < end; ++r) out[r] = Lerp(keys.colours[from][r], keys.colours[to][r], w);
    }
    i = end;
  }
}

}  // namespace detail

Palette TimelinePaletteAt(const PaletteTimeline& timeline, double timeMs, ColorSpace space) {
  if (!std::isfinite(timeMs)) {
    throw std::invalid_argument("timeMs must be a finite number, not " + std::to_string(timeMs));
  }
  const detail::TimelineKeys keys = detail::MakeTimelineKeys(timeline, space);
  detail::Colours colours(256);
  detail::TimelineColours(keys, timeMs, std::bitset<256>().set(), colours);
  Palette p;
  detail::ToRgb8(colours.data(), p.colors.data(), 256);
  return p;
}

}  // namespace quorvel
