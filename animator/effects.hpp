// The Animator's running effects and how each layer computes its colours. Internal to
// the library; users include <quorvel/animator.hpp>.
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <quorvel/animator.hpp>

#include "palette/colour_space.hpp"

namespace quorvel::detail {

using Colours = std::vector<Rgbf>;  // 256 registers

// a mod n in 0 <= r < n, exactly, however large a is; a value that is not finite counts
// as 0.
double FloorMod(double a, double n);

// An effect's own clock, in milliseconds since it started; frozen while paused.
struct EffectClock {
  double anchorAnim = 0;   // animation time at the anchor
  double anchorLocal = 0;  // its local time then
  bool paused = false;

  double Local(double anim) const { return paused ? anchorLocal : anchorLocal + anim - anchorAnim; }
  // Local time starts again from 0 at `anim`; a paused clock stays paused, at 0.
  void Restart(double anim) { anchorAnim = anim, anchorLocal = 0; }
  void SetPaused(double anim, bool on);
};

// A timeline's keys in the colours effects mix, checked and ready to interpolate.
struct TimelineKeys {
  std::vector<double> times{};         // in order, within 0..period
  std::vector<Colours> colours{};      // one palette per key
  std::vector<std::vector<Lab>> labs{};  // the same in OKLab, when mixed there
  double period = 0;
  ColorSpace space = ColorSpace::OkLab;
};
// Throws std::invalid_argument naming what is wrong with the timeline.
TimelineKeys MakeTimelineKeys(const PaletteTimeline& timeline, ColorSpace space);
// The registers in `which` of the timeline's palette at `timeMs` (taken modulo its
// period), written into `out`.
void TimelineColours(const TimelineKeys& keys, double timeMs, const std::bitset<256>& which,
                     Colours& out);

// Morphs and timelines are the base's layers: they decide registers of the base, and one
// that settles takes its registers from the earlier ones.
enum class EffectKind { Morph, Timeline, Cycle, Filter };

struct Effect {
  uint64_t id = 0;  // 0 once held: a cycle cancelled with Hold that no handle reaches
  EffectKind kind = EffectKind::Morph;
  double startAnim = 0;  // before this instant it shows nothing (time may run backwards)
  EffectClock clock{};

  // A tween: the morph's progress, or a filter's amount going from `from` to `to`.
  bool tweening = false;
  Tween tween{};
  double from = 0;
  double to = 1;

  // Morph: the registers it still decides (a later morph that settles takes them over),
  // and its end colours for registers first..last (OKLab too when it mixes there).
  int32_t first = 0;
  std::bitset<256> owned{};
  std::vector<Rgbf> start{}, target{};
  std::vector<Lab> startLab{}, targetLab{};

  // Timeline: its keys, and its clock as a time of the timeline at local time 0 and a
  // rate; `first` and `owned` are its registers, as a morph's.
  std::shared_ptr<const TimelineKeys> timeline{};
  TimelineClock follow{};

  Cycle cycle{};
  bool backwards = false;  // the way a cycle last went; kept while its rate is 0
  Filter filter{};
};

// The tween that ends first, at or before the time asked about.
struct Ending {
  Effect* effect = nullptr;
  double anim = 0;
};

class EffectList {
 public:
  uint64_t AddMorph(uint64_t id, double anim, const Colours& below, const Palette& target,
                    const Tween& tween, int32_t first, int32_t last);
  uint64_t AddTimeline(uint64_t id, double anim, std::shared_ptr<const TimelineKeys> keys,
                       const TimelineClock& clock, int32_t first, int32_t last);
  uint64_t AddCycle(uint64_t id, double anim, const Cycle& cycle);
  uint64_t AddFilter(uint64_t id, double anim, const Filter& filter);

  void SetCycleRate(uint64_t id, double anim, double stepsPerSecond);
  void SetCycleBlend(uint64_t id, bool blend);
  void SetTimelineRate(uint64_t id, double anim, double rate);
  // The time a timeline's clock shows at `anim`, or NaN when `id` names no timeline.
  double TimelineTime(uint64_t id, double anim) const;
  void SetFilterAmount(uint64_t id, double amount);
  void TweenFilter(uint64_t id, double anim, double amount, const Tween& tween);
  // The newest Fade filter of exactly this colour, range and space, or 0.
  uint64_t FindFade(Rgb8 colour, int32_t first, int32_t last, ColorSpace space) const;

  Ending FirstEnding(double anim);
  // Settles a tween that has ended: a morph leaves its colours in the base, a filter keeps
  // its last amount (or goes, at 0). Returns its callback, for the caller to call.
  std::function<void()> Finish(Effect& effect, Colours& base);
  void Cancel(uint64_t id, CancelHow how, double anim, Colours& base);
  // The base changed from `was` to `now` in registers first..last: the morphs over them
  // mix from colours moved as far as the base moved.
  void MoveMorphStarts(const Colours& was, const Colours& now, int32_t first, int32_t last);
  // Whether every effect's own clock is finite at `anim`.
  bool ClocksFinite(double anim) const;
  void Pause(uint64_t id, double anim, bool on);

  bool Has(uint64_t id) const;
  size_t Count() const { return effects_.size(); }

  // The base with its morphs at `anim`.
  void ComputeBase(double anim, const Colours& base, Colours& out) const;
  // Every layer at `anim`.
  void Compute(double anim, const Colours& base, Colours& out) const;

 private:
  Effect* Find(uint64_t id);
  const Effect* Find(uint64_t id) const;
  void Erase(uint64_t id);
  // Writes the morph's colours at `weight` into the base and removes it.
  void SettleMorph(const Effect& morph, double weight, Colours& base);
  // Removes a base layer that has gone into the base: the earlier ones lose its registers.
  void TakeOverBase(const Effect& layer);
  // Leaves the filter at `amount` for good: removed at 0, covering older fades at 1.
  void SettleFilter(Effect& filter, double amount);
  void DropFadesCoveredBy(const Effect& full);
  void BakeHeldCycles(Colours& base);

  std::vector<Effect> effects_;  // in the order they started
  mutable Colours scratch_;      // reused by the cycles
};

}  // namespace quorvel::detail
