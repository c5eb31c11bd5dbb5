// The Animator: effects as functions of time, evaluated layer by layer on demand.
//
// Every effect keeps its own clock (frozen while paused) measured from the animation
// clock, which is the caller's clock scaled by the time scale. Nothing is accumulated
// frame by frame: each Update evaluates every effect at its local time, which is why the
// output at an instant does not depend on how many frames led up to it.
#include <quorvel/animator.hpp>
#include <quorvel/display.hpp>
#include <quorvel/palette.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "animator/effects.hpp"

namespace quorvel {

using detail::Rgbf;

namespace {

void RequireFinite(double value, const char* name) {
  if (!std::isfinite(value)) {
    throw std::invalid_argument(std::string(name) + " must be a finite number, not " +
                                std::to_string(value));
  }
}

void RequireTime(double value, const char* name) {
  RequireFinite(value, name);
  if (value < 0) {
    throw std::invalid_argument(std::string(name) + " must not be negative, not " +
                                std::to_string(value));
  }
}

void CheckTween(const Tween& tween) {
  RequireTime(tween.durationMs, "durationMs");
  RequireTime(tween.delayMs, "delayMs");
  if (tween.repeat < kRepeatForever) {
    throw std::invalid_argument("repeat must be 0 or more, or kRepeatForever, not " +
                                std::to_string(tween.repeat));
  }
  if (tween.repeat != kRepeatForever &&
      !std::isfinite(tween.delayMs + (double(tween.repeat) + 1) * tween.durationMs)) {
    throw std::invalid_argument(
        "delayMs + (repeat + 1) x durationMs, the time the tween ends, must be finite, not " +
        std::to_string(tween.delayMs) + " + " + std::to_string(int64_t(tween.repeat) + 1) +
        " x " + std::to_string(tween.durationMs));
  }
}

}  // namespace

double Ease(Easing easing, double t) {
  t = t > 0 ? std::min(t, 1.0) : 0.0;  // a NaN too is the start
  switch (easing) {
    case Easing::Linear: return t;
    case Easing::QuadIn: return t * t;
    case Easing::QuadOut: return t * (2 - t);
    case Easing::QuadInOut: return t < 0.5 ? 2 * t * t : 1 - 2 * (1 - t) * (1 - t);
    case Easing::CubicIn: return t * t * t;
    case Easing::CubicOut: return 1 - (1 - t) * (1 - t) * (1 - t);
    case Easing::CubicInOut:
      return t < 0.5 ? 4 * t * t * t : 1 - 4 * (1 - t) * (1 - t) * (1 - t);
    case Easing::Smoothstep: return t * t * (3 - 2 * t);
  }
  return t;
}

Animator::Animator(const Palette& base) : effects_(std::make_unique<detail::EffectList>()) {
  SetBase(base);
  output_ = base;
}

Animator::~Animator() = default;

Animator::Animator(Animator&& other) noexcept { *this = std::move(other); }

Animator& Animator::operator=(Animator&& other) noexcept {
  if (this == &other) return *this;
  // The one moved from is left empty, showing its base: no effects and no colours of
  // its own until it is used again (Effects() makes them then).
  const Palette otherBase = other.Base();
  effects_ = std::move(other.effects_);
  base_ = std::move(other.base_);
  work_ = std::move(other.work_);
  other.base_.clear();
  other.work_.clear();
  output_ = other.output_;
  other.output_ = otherBase;
  now_ = other.now_;
  started_ = other.started_;
  scale_ = other.scale_;
  scaleAnchorNow_ = other.scaleAnchorNow_;
  scaleAnchorAnim_ = other.scaleAnchorAnim_;
  startAnim_ = other.startAnim_;
  nextId_ = other.nextId_;
  return *this;
}

detail::EffectList& Animator::Effects() {
  if (!effects_) {  // moved from: it starts again over the base it was left showing
    effects_ = std::make_unique<detail::EffectList>();
    base_.resize(256);
    for (size_t i = 0; i < 256; ++i) base_[i] = detail::ToRgbf(output_[i]);
  }
  return *effects_;
}

double Animator::AnimTime(double nowMs) const {
  if (scale_ == 0) return scaleAnchorAnim_;  // frozen, however far nowMs is
  return scaleAnchorAnim_ + (nowMs - scaleAnchorNow_) * scale_;
}

void Animator::Update(double nowMs) {
  RequireFinite(nowMs, "nowMs");
  detail::EffectList& effects = Effects();
  // Effects started before the first Update begin at its time.
  const double anchorNow = started_ ? scaleAnchorNow_ : nowMs;
  const double anchorAnim = started_ ? scaleAnchorAnim_ : 0;
  const double anim = scale_ == 0 ? anchorAnim : anchorAnim + (nowMs - anchorNow) * scale_;
  // An infinite time would leave every effect at a NaN for good; such a time is refused
  // and nothing changes.
  if (!std::isfinite(anim) || !effects.ClocksFinite(anim)) {
    throw std::invalid_argument("nowMs " + std::to_string(nowMs) +
                                " would put the animation clock or an effect's own clock "
                                "past the largest time a double holds");
  }
  started_ = true;
  scaleAnchorNow_ = anchorNow;
  scaleAnchorAnim_ = anchorAnim;
  now_ = nowMs;
  // Tweens that ended by now finish in the order they ended; a callback may start new
  // effects, which begin at the instant its tween ended.
  constexpr int kMaxEndingsPerUpdate = 100000;  // a chain of instant tweens must end
  for (int n = 0; n < kMaxEndingsPerUpdate; ++n) {
    detail::Ending ending = effects.FirstEnding(anim);
    if (!ending.effect) break;
    startAnim_ = ending.anim;
    std::function<void()> callback = effects.Finish(*ending.effect, base_);
    if (!callback) continue;
    callback();
    // A callback may move this Animator away, or another into it: what is here now
    // carries on from its own next Update.
    if (effects_.get() != &effects) return;
  }
  startAnim_ = anim;
  effects.Compute(anim, base_, work_);
  detail::ToRgb8(work_.data(), output_.colors.data(), 256);
}

void Animator::SetTimeScale(double scale) {
  RequireTime(scale, "scale");
  scaleAnchorAnim_ = AnimTime(now_);
  scaleAnchorNow_ = now_;
  scale_ = scale;
}

int32_t Animator::PresentToScreen() {
  if (!ScreenIsOpen()) return 0;
  int32_t written = 0;
  for (int32_t i = 0; i < 256; ++i) {
    const Rgb8 c = output_[i];
    const uint32_t shown = GetPaletteEntry(i);  // red in the low byte
    if (shown == (c.r | uint32_t(c.g) << 8 | uint32_t(c.b) << 16)) continue;
    SetPaletteEntryRgb(i, c.r, c.g, c.b);
    ++written;
  }
  return written;
}

void Animator::SetBase(const Palette& base) { SetBaseRange(base, 0, 255); }

void Animator::SetBaseRange(const Palette& colours, int32_t first, int32_t last) {
  ClampRange(first, last);
  detail::EffectList& effects = Effects();
  base_.resize(256);
  const std::vector<Rgbf> was = base_;
  for (int32_t i = first; i <= last; ++i) base_[i] = detail::ToRgbf(colours[i]);
  effects.MoveMorphStarts(was, base_, first, last);
}

Palette Animator::Base() const {
  if (base_.empty()) return output_;  // moved from
  Palette p;
  for (size_t i = 0; i < 256; ++i) p[i] = detail::ToRgb8(base_[i]);
  return p;
}

EffectHandle Animator::MorphBase(const Palette& target, const Tween& tween, int32_t first,
                                 int32_t last) {
  CheckTween(tween);
  ClampRange(first, last);
  // It starts from the base as shown now, whatever earlier morphs have made of it.
  std::vector<Rgbf> below;
  Effects().ComputeBase(startAnim_, base_, below);
  return {Effects().AddMorph(nextId_++, startAnim_, below, target, tween, first, last)};
}

EffectHandle Animator::FollowTimeline(const PaletteTimeline& timeline, const TimelineClock& clock,
                                      int32_t first, int32_t last) {
  RequireFinite(clock.startMs, "startMs");
  RequireFinite(clock.rate, "rate");
  auto keys = std::make_shared<const detail::TimelineKeys>(
      detail::MakeTimelineKeys(timeline, clock.space));
  ClampRange(first, last);
  return {Effects().AddTimeline(nextId_++, startAnim_, std::move(keys), clock, first, last)};
}

void Animator::SetTimelineRate(EffectHandle timeline, double rate) {
  RequireFinite(rate, "rate");
  Effects().SetTimelineRate(timeline.id, startAnim_, rate);
}

double Animator::TimelineTime(EffectHandle timeline) const {
  if (!effects_) return std::numeric_limits<double>::quiet_NaN();
  return effects_->TimelineTime(timeline.id, startAnim_);
}

EffectHandle Animator::AddCycle(const Cycle& cycle) {
  RequireFinite(cycle.stepsPerSecond, "stepsPerSecond");
  RequireFinite(cycle.phase, "phase");
  Cycle c = cycle;
  ClampRange(c.low, c.high);
  return {Effects().AddCycle(nextId_++, startAnim_, c)};
}

void Animator::SetCycleRate(EffectHandle cycle, double stepsPerSecond) {
  RequireFinite(stepsPerSecond, "stepsPerSecond");
  Effects().SetCycleRate(cycle.id, startAnim_, stepsPerSecond);
}

void Animator::SetCycleBlend(EffectHandle cycle, bool blend) {
  Effects().SetCycleBlend(cycle.id, blend);
}

EffectHandle Animator::AddFilter(const Filter& filter) {
  RequireFinite(filter.amount, "amount");
  RequireTime(filter.gain, "gain");
  Filter f = filter;
  ClampRange(f.first, f.last);
  f.amount = std::clamp(f.amount, 0.0, 1.0);
  return {Effects().AddFilter(nextId_++, startAnim_, f)};
}

void Animator::SetFilterAmount(EffectHandle filter, double amount) {
  RequireFinite(amount, "amount");
  Effects().SetFilterAmount(filter.id, std::clamp(amount, 0.0, 1.0));
}

void Animator::TweenFilter(EffectHandle filter, double amount, const Tween& tween) {
  RequireFinite(amount, "amount");
  CheckTween(tween);
  Effects().TweenFilter(filter.id, startAnim_, std::clamp(amount, 0.0, 1.0), tween);
}

EffectHandle Animator::FadeTowards(Rgb8 colour, double from, double to, const Tween& tween,
                                   int32_t first, int32_t last) {
  CheckTween(tween);
  ClampRange(first, last);
  uint64_t id = Effects().FindFade(colour, first, last, tween.space);
  if (id == 0) {
    Filter f{.kind = FilterKind::Fade, .first = first, .last = last, .amount = from,
             .colour = colour, .space = tween.space};
    id = Effects().AddFilter(nextId_++, startAnim_, f);
  }
  // A new fade runs even where the filter it takes over was paused.
  Effects().Pause(id, startAnim_, false);
  Effects().TweenFilter(id, startAnim_, to, tween);
  return {id};
}

EffectHandle Animator::FadeTo(Rgb8 colour, const Tween& tween, int32_t first, int32_t last) {
  return FadeTowards(colour, 0, 1, tween, first, last);
}

EffectHandle Animator::FadeFrom(Rgb8 colour, const Tween& tween, int32_t first, int32_t last) {
  return FadeTowards(colour, 1, 0, tween, first, last);
}

void Animator::Cancel(EffectHandle effect, CancelHow how) {
  Effects().Cancel(effect.id, how, startAnim_, base_);
}

void Animator::Pause(EffectHandle effect) { Effects().Pause(effect.id, startAnim_, true); }
void Animator::Resume(EffectHandle effect) { Effects().Pause(effect.id, startAnim_, false); }
bool Animator::IsActive(EffectHandle effect) const {
  return effects_ && effects_->Has(effect.id);
}
size_t Animator::EffectCount() const { return effects_ ? effects_->Count() : 0; }

}  // namespace quorvel
