// The layers of the Animator: base morphs, cycles and filters, each a function of its
// effect's local time.
#include "animator/effects.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

namespace quorvel::detail {
namespace {

constexpr double kNever = std::numeric_limits<double>::infinity();

int64_t Plays(const Tween& t) { return t.repeat == kRepeatForever ? -1 : int64_t(t.repeat) + 1; }

// Local time at which the tween ends (infinite when it repeats forever).
double TweenEndLocal(const Tween& t) {
  const int64_t plays = Plays(t);
  return plays < 0 ? kNever : t.delayMs + double(plays) * t.durationMs;
}

// Where a tween is left when it ends: every easing runs from exactly 0 to exactly 1, so
// its last play ends on 1, or on 0 when it is a yoyo's backwards play. One that repeats
// forever ends on its target.
double FinalValue(const Tween& t) {
  const int64_t plays = Plays(t);
  return t.yoyo && plays > 0 && plays % 2 == 0 ? 0 : 1;
}

// Where a tween stands at local time `local`: 0 before it begins (it shows its start),
// the eased progress while it plays, and exactly its final value from its end on. A
// yoyo's every second play retraces the curve backwards: x into it, it shows E(1 - x).
double TweenValue(const Tween& t, double local) {
  if (!(local >= t.delayMs)) return 0;
  // Compared with the end itself, so that a tween whose length is not a whole number of
  // milliseconds is not left a rounding error short of its end.
  if (local >= TweenEndLocal(t) || t.durationMs <= 0) return FinalValue(t);
  const double u = local - t.delayMs;
  const double done = u / t.durationMs;
  const int64_t plays = Plays(t);
  if (plays > 0 && done >= double(plays)) return FinalValue(t);
  // fmod is exact, so the progress stays within 0..1 even where `done` is too large for
  // its fraction to mean anything (a tiny duration repeated forever).
  double progress = std::fmod(u, t.durationMs) / t.durationMs;
  const double play = std::floor(done);
  if (t.yoyo && std::isfinite(play) && std::fmod(play, 2) == 1) progress = 1 - progress;
  return Ease(t.easing, progress);
}

// Steps a second, signed: `reverse` turns the rate round.
double Velocity(const Cycle& c) { return c.reverse ? -c.stepsPerSecond : c.stepsPerSecond; }

// The cycle's position in steps at local time `local`, before its mode shapes it.
double RawPosition(const Cycle& c, double local) {
  return c.phase + Velocity(c) * local / 1000;
}

// Where the colours stand, in steps, and which way that goes as the raw position grows
// (+1 up, -1 down). Wrap runs on (period n); ping-pong and sine run one whole cycle up
// and one back down (period 2n). A negative position mirrors the positive one, so a
// ping-pong or sine running backwards from its start takes its first leg down.
struct Stand {
  double position;
  double slope;
};
Stand Position(const Cycle& c, double raw) {
  const double n = c.high - c.low + 1;
  if (c.mode == CycleMode::Wrap) return {FloorMod(raw, n), 1};
  const double a = FloorMod(std::abs(raw), 2 * n);
  double leg = a < n ? a : 2 * n - a;
  if (c.mode == CycleMode::Sine) leg = n * (1 - std::cos(std::numbers::pi * a / n)) / 2;
  return {raw < 0 ? -leg : leg, a < n ? 1.0 : -1.0};
}

double MorphWeight(const Effect& e, double anim) {
  return TweenValue(e.tween, e.clock.Local(anim));
}

// The morph's registers at weight w between its start (0) and its target (1). Registers
// it no longer owns are left as they are.
void ApplyMorph(const Effect& e, double w, Colours& out) {
  const size_t n = e.start.size();
  if (e.tween.space == ColorSpace::OkLab && w > 0 && w < 1) {
    if (e.owned.count() == n) {  // the usual case: the whole range, in one pass
      LerpOkLab(e.startLab.data(), e.targetLab.data(), w, out.data() + e.first, n);
      return;
    }
    for (size_t k = 0; k < n; ++k) {
      if (e.owned[e.first + k]) out[e.first + k] = FromOkLab(Lerp(e.startLab[k], e.targetLab[k], w));
    }
    return;
  }
  for (size_t k = 0; k < n; ++k) {
    if (e.owned[e.first + k]) out[e.first + k] = Mix(e.start[k], e.target[k], w, ColorSpace::Rgb);
  }
}

// `was` is scratch space for the range's colours before the turn.
void ApplyCycle(const Effect& e, double anim, Colours& out, Colours& was) {
  const Cycle& c = e.cycle;
  const int32_t n = c.high - c.low + 1;
  if (n < 2) return;
  const Stand at = Position(c, RawPosition(c, e.clock.Local(anim)));
  double p = at.position;
  // The sine's whole steps come out a rounding error short; they are whole steps.
  if (std::abs(p - std::round(p)) < 1e-9) p = std::round(p);
  // Without blending a cycle shows the last whole step it reached, so it waits a whole
  // step before its first either way: rounded down while its position grows, up while it
  // shrinks. A stopped cycle keeps the rounding of the way it last went.
  const double velocity = Velocity(c) != 0 ? Velocity(c) : e.backwards ? -1 : 1;
  const double whole = c.blend || at.slope * velocity > 0 ? std::floor(p) : std::ceil(p);
  const double f = c.blend ? p - whole : 0;
  const int32_t k = std::clamp(static_cast<int32_t>(FloorMod(whole, n)), 0, n - 1);
  was.assign(out.begin() + c.low, out.begin() + c.high + 1);
  for (int32_t i = 0; i < n; ++i) {
    // Register i shows the colour k steps behind it, mixed with the one k + 1 behind.
    const Rgbf& behind = was[(i - k + n) % n];
    out[c.low + i] = f > 0 ? Lerp(behind, was[(i - k - 1 + 2 * n) % n], f) : behind;
  }
}

double AmountAt(const Effect& e, double value) { return e.from + (e.to - e.from) * value; }

double FilterAmount(const Effect& e, double anim) {
  if (!e.tweening) return e.filter.amount;
  return AmountAt(e, TweenValue(e.tween, e.clock.Local(anim)));
}

void ApplyFilter(const Effect& e, double anim, Colours& out) {
  const Filter& f = e.filter;
  const double amount = FilterAmount(e, anim);
  if (amount <= 0) return;
  const Rgbf colour = ToRgbf(f.colour);
  if (f.kind == FilterKind::Fade && f.space == ColorSpace::OkLab && amount < 1) {
    const Lab towards = ToOkLab(colour);  // the same for every register
    for (int32_t i = f.first; i <= f.last; ++i) {
      out[i] = FromOkLab(Lerp(ToOkLab(out[i]), towards, amount));
    }
    return;
  }
  for (int32_t i = f.first; i <= f.last; ++i) {
    const Rgbf c = out[i];
    Rgbf towards = colour;
    switch (f.kind) {
      case FilterKind::Fade: break;
      case FilterKind::Negative: towards = NegativeOf(c); break;
      case FilterKind::Greyscale: towards = GreyOf(c); break;
      case FilterKind::NegativeGrey: towards = NegativeOf(GreyOf(c)); break;
      case FilterKind::Brightness:
        towards = {std::min(c.r * f.gain, 255.0), std::min(c.g * f.gain, 255.0),
                   std::min(c.b * f.gain, 255.0)};
        break;
    }
    out[i] = Mix(c, towards, amount, f.space);
  }
}

// The timeline's registers at `anim`, where they are still its own.
void ApplyTimeline(const Effect& e, double anim, Colours& out) {
  TimelineColours(*e.timeline, e.follow.startMs + e.follow.rate * e.clock.Local(anim), e.owned,
                  out);
}

bool IsBaseLayer(const Effect& e) {
  return e.kind == EffectKind::Morph || e.kind == EffectKind::Timeline;
}

}  // namespace

// fmod is exact, so this holds however large `a` is; a value that is not finite (a rate
// and a time whose product overflows) counts as 0.
double FloorMod(double a, double n) {
  if (!std::isfinite(a)) return 0;
  const double r = std::fmod(a, n);
  if (r >= 0) return r;
  return r + n < n ? r + n : 0;  // a tiny negative r rounds r + n up to n
}

void EffectClock::SetPaused(double anim, bool on) {
  if (paused == on) return;
  anchorLocal = Local(anim);
  anchorAnim = anim;
  paused = on;
}

Effect* EffectList::Find(uint64_t id) {
  if (id == 0) return nullptr;  // held cycles carry 0: no handle names them
  for (Effect& e : effects_) {
    if (e.id == id) return &e;
  }
  return nullptr;
}

const Effect* EffectList::Find(uint64_t id) const {
  return const_cast<EffectList*>(this)->Find(id);
}

bool EffectList::Has(uint64_t id) const { return Find(id) != nullptr; }

bool EffectList::ClocksFinite(double anim) const {
  return std::all_of(effects_.begin(), effects_.end(),
                     [anim](const Effect& e) { return std::isfinite(e.clock.Local(anim)); });
}

void EffectList::Erase(uint64_t id) {
  std::erase_if(effects_, [id](const Effect& e) { return e.id == id; });
}

uint64_t EffectList::AddMorph(uint64_t id, double anim, const Colours& below,
                              const Palette& target, const Tween& tween, int32_t first,
                              int32_t last) {
  Effect e{.id = id, .kind = EffectKind::Morph, .startAnim = anim, .tween = tween, .first = first};
  e.clock.Restart(anim);
  e.tweening = true;
  for (int32_t i = first; i <= last; ++i) {
    e.owned.set(i);
    e.start.push_back(below[i]);
    e.target.push_back(ToRgbf(target[i]));
    if (tween.space == ColorSpace::OkLab) {
      e.startLab.push_back(ToOkLab(e.start.back()));
      e.targetLab.push_back(ToOkLab(e.target.back()));
    }
  }
  // Earlier morphs keep running underneath: this one starts from what they show now and
  // covers them until it settles, so reverting it shows them again.
  effects_.push_back(std::move(e));
  return id;
}

uint64_t EffectList::AddTimeline(uint64_t id, double anim,
                                 std::shared_ptr<const TimelineKeys> keys,
                                 const TimelineClock& clock, int32_t first, int32_t last) {
  Effect e{.id = id, .kind = EffectKind::Timeline, .startAnim = anim, .first = first,
           .timeline = std::move(keys), .follow = clock};
  e.clock.Restart(anim);
  for (int32_t i = first; i <= last; ++i) e.owned.set(i);
  effects_.push_back(std::move(e));
  return id;
}

uint64_t EffectList::AddCycle(uint64_t id, double anim, const Cycle& cycle) {
  Effect e{.id = id, .kind = EffectKind::Cycle, .startAnim = anim, .cycle = cycle};
  e.backwards = Velocity(cycle) < 0;
  e.clock.Restart(anim);
  effects_.push_back(std::move(e));
  return id;
}

uint64_t EffectList::AddFilter(uint64_t id, double anim, const Filter& filter) {
  Effect e{.id = id, .kind = EffectKind::Filter, .startAnim = anim, .filter = filter};
  e.clock.Restart(anim);
  effects_.push_back(std::move(e));
  return id;
}

void EffectList::SetCycleRate(uint64_t id, double anim, double stepsPerSecond) {
  Effect* e = Find(id);
  if (!e || e->kind != EffectKind::Cycle) return;
  // Carry on from where it stands: the position now becomes the new phase.
  e->cycle.phase = RawPosition(e->cycle, e->clock.Local(anim));
  e->cycle.stepsPerSecond = stepsPerSecond;
  if (stepsPerSecond != 0) e->backwards = Velocity(e->cycle) < 0;
  e->clock.Restart(anim);  // a paused cycle stays paused
}

void EffectList::SetCycleBlend(uint64_t id, bool blend) {
  Effect* e = Find(id);
  if (e && e->kind == EffectKind::Cycle) e->cycle.blend = blend;
}

void EffectList::SetTimelineRate(uint64_t id, double anim, double rate) {
  Effect* e = Find(id);
  if (!e || e->kind != EffectKind::Timeline) return;
  e->follow.startMs = TimelineTime(id, anim);
  e->follow.rate = rate;
  e->clock.Restart(anim);  // a paused timeline stays paused
}

double EffectList::TimelineTime(uint64_t id, double anim) const {
  const Effect* e = Find(id);
  if (!e || e->kind != EffectKind::Timeline) return std::numeric_limits<double>::quiet_NaN();
  return FloorMod(e->follow.startMs + e->follow.rate * e->clock.Local(anim), e->timeline->period);
}

void EffectList::SetFilterAmount(uint64_t id, double amount) {
  Effect* e = Find(id);
  if (!e || e->kind != EffectKind::Filter) return;
  e->tweening = false;
  e->filter.amount = amount;
}

void EffectList::TweenFilter(uint64_t id, double anim, double amount, const Tween& tween) {
  Effect* e = Find(id);
  if (!e || e->kind != EffectKind::Filter) return;
  // From what it shows now, so a new tween over a running one never jumps.
  e->filter.amount = FilterAmount(*e, anim);
  e->from = e->filter.amount;
  e->to = amount;
  e->tween = tween;
  e->tweening = true;
  e->clock.Restart(anim);  // a paused filter stays paused
}

uint64_t EffectList::FindFade(Rgb8 colour, int32_t first, int32_t last, ColorSpace space) const {
  for (auto e = effects_.rbegin(); e != effects_.rend(); ++e) {
    const Filter& f = e->filter;
    if (e->kind == EffectKind::Filter && f.kind == FilterKind::Fade && f.colour == colour &&
        f.first == first && f.last == last && f.space == space) {
      return e->id;
    }
  }
  return 0;
}

Ending EffectList::FirstEnding(double anim) {
  Ending first;
  double earliest = kNever;
  for (Effect& e : effects_) {
    if (!e.tweening || e.clock.paused) continue;
    const double end = e.clock.anchorAnim + TweenEndLocal(e.tween) - e.clock.anchorLocal;
    if (end <= anim && end < earliest) {
      earliest = end;
      first = {&e, end};
    }
  }
  return first;
}

std::function<void()> EffectList::Finish(Effect& effect, Colours& base) {
  std::function<void()> callback = std::move(effect.tween.onComplete);
  if (effect.kind == EffectKind::Morph) {
    SettleMorph(effect, FinalValue(effect.tween), base);
  } else {
    SettleFilter(effect, AmountAt(effect, FinalValue(effect.tween)));
  }
  BakeHeldCycles(base);
  return callback;
}

void EffectList::SettleFilter(Effect& filter, double amount) {
  filter.filter.amount = amount;
  filter.tweening = false;
  // It no longer changes with time, so it shows at every instant, earlier ones too.
  filter.startAnim = -kNever;
  if (amount <= 0) {
    Erase(filter.id);
  } else if (filter.filter.kind == FilterKind::Fade && amount >= 1) {
    DropFadesCoveredBy(filter);
  }
}

void EffectList::MoveMorphStarts(const Colours& was, const Colours& now, int32_t first,
                                 int32_t last) {
  for (Effect& e : effects_) {
    if (e.kind != EffectKind::Morph) continue;
    const int32_t end = std::min(last, e.first + static_cast<int32_t>(e.start.size()) - 1);
    for (int32_t i = std::max(first, e.first); i <= end; ++i) {
      if (!e.owned[i]) continue;
      Rgbf& start = e.start[i - e.first];
      const auto moved = [](double c, double from, double to) {
        return std::clamp(c + to - from, 0.0, 255.0);
      };
      start = {moved(start.r, was[i].r, now[i].r), moved(start.g, was[i].g, now[i].g),
               moved(start.b, was[i].b, now[i].b)};
      if (e.tween.space == ColorSpace::OkLab) e.startLab[i - e.first] = ToOkLab(start);
    }
  }
}

void EffectList::SettleMorph(const Effect& morph, double weight, Colours& base) {
  ApplyMorph(morph, weight, base);
  TakeOverBase(morph);
}

void EffectList::TakeOverBase(const Effect& layer) {
  // Morphs and timelines started before it lie under it for good now; those started
  // after it still cover it. One that decides nothing any more is gone.
  const uint64_t id = layer.id;
  const std::bitset<256> registers = layer.owned;
  for (Effect& e : effects_) {
    if (e.id == id) break;
    if (IsBaseLayer(e)) e.owned &= ~registers;
  }
  std::erase_if(effects_,
                [id](const Effect& e) { return e.id == id || (IsBaseLayer(e) && e.owned.none()); });
}

void EffectList::DropFadesCoveredBy(const Effect& full) {
  // A Fade all the way to its colour hides every settled fade started before it within
  // its range; fading back from that colour then shows the picture, and fades to ever
  // new colours do not pile up.
  const Filter& top = full.filter;
  std::vector<uint64_t> covered;
  for (const Effect& e : effects_) {
    if (e.id == full.id) break;
    const Filter& f = e.filter;
    if (e.kind == EffectKind::Filter && f.kind == FilterKind::Fade && !e.tweening &&
        f.first >= top.first && f.last <= top.last) {
      covered.push_back(e.id);
    }
  }
  for (uint64_t id : covered) Erase(id);
}

void EffectList::BakeHeldCycles(Colours& base) {
  // A held cycle goes into the base once nothing beneath it moves: no morph decides its
  // registers and no cycle started before it turns them.
  for (size_t h = 0; h < effects_.size(); ++h) {
    const Effect& held = effects_[h];
    if (held.kind != EffectKind::Cycle || held.id != 0) continue;
    const Cycle& c = held.cycle;
    const auto touches = [&](const Effect& e) {
      if (IsBaseLayer(e)) {
        for (int32_t i = c.low; i <= c.high; ++i) {
          if (e.owned[i]) return true;
        }
      }
      return e.kind == EffectKind::Cycle && &e < &held && e.cycle.low <= c.high &&
             c.low <= e.cycle.high;
    };
    if (std::any_of(effects_.begin(), effects_.end(), touches)) continue;
    ApplyCycle(held, held.clock.anchorAnim, base, scratch_);
    effects_.erase(effects_.begin() + static_cast<ptrdiff_t>(h));
    --h;
  }
}

void EffectList::Cancel(uint64_t id, CancelHow how, double anim, Colours& base) {
  Effect* e = Find(id);
  if (!e) return;
  switch (e->kind) {
    case EffectKind::Morph:
      if (how != CancelHow::Revert) {
        SettleMorph(*e, how == CancelHow::End ? FinalValue(e->tween) : MorphWeight(*e, anim),
                    base);
        BakeHeldCycles(base);
        return;
      }
      break;
    case EffectKind::Timeline:
      if (how == CancelHow::Hold) {
        ApplyTimeline(*e, anim, base);
        TakeOverBase(*e);
        BakeHeldCycles(base);
        return;
      }
      break;
    case EffectKind::Cycle:
      if (how == CancelHow::Hold) {
        // It stays where it stands, nameless (no handle reaches it any more), turning
        // whatever still moves beneath it, until it can go into the base.
        e->clock.SetPaused(anim, true);
        e->id = 0;
        e->startAnim = -kNever;
        BakeHeldCycles(base);
        return;
      }
      break;
    case EffectKind::Filter:
      if (how == CancelHow::Revert) break;
      // Held or ended, it settles as an ended tween does, and stays in place, reached by
      // its handle, while its amount is above 0.
      SettleFilter(*e, !e->tweening            ? e->filter.amount
                       : how == CancelHow::Hold ? FilterAmount(*e, anim)
                                                : AmountAt(*e, FinalValue(e->tween)));
      BakeHeldCycles(base);
      return;
  }
  Erase(id);
  BakeHeldCycles(base);
}

void EffectList::Pause(uint64_t id, double anim, bool on) {
  if (Effect* e = Find(id)) e->clock.SetPaused(anim, on);
}

void EffectList::ComputeBase(double anim, const Colours& base, Colours& out) const {
  out = base;
  for (const Effect& e : effects_) {
    if (anim < e.startAnim) continue;
    if (e.kind == EffectKind::Morph) ApplyMorph(e, MorphWeight(e, anim), out);
    if (e.kind == EffectKind::Timeline) ApplyTimeline(e, anim, out);
  }
}

void EffectList::Compute(double anim, const Colours& base, Colours& out) const {
  ComputeBase(anim, base, out);
  Colours& was = scratch_;
  for (EffectKind kind : {EffectKind::Cycle, EffectKind::Filter}) {
    for (const Effect& e : effects_) {
      if (e.kind != kind || anim < e.startAnim) continue;
      if (kind == EffectKind::Cycle) ApplyCycle(e, anim, out, was);
      if (kind == EffectKind::Filter) ApplyFilter(e, anim, out);
    }
  }
}

}  // namespace quorvel::detail
