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
}

}  // namespace

double Ease(Easing easing, double t) {
  t = std::clamp(t, 0.0, 1.0);
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
Animator::Animator(Animator&&) noexcept = default;
Animator& Animator::operator=(Animator&&) noexcept = default;

double Animator::AnimTime(double nowMs) const {
  return scaleAnchorAnim_ + (nowMs - scaleAnchorNow_) * scale_;
}

void Animator::Update(double nowMs) {
  RequireFinite(nowMs, "nowMs");
  if (!started_) {
    // Effects started before the first Update begin at its time.
    started_ = true;
    scaleAnchorNow_ = nowMs;
    scaleAnchorAnim_ = 0;
  }
  now_ = nowMs;
  const double anim = AnimTime(nowMs);
  // Tweens that ended by now finish in the order they ended; a callback may start new
  // effects, which begin at the instant its tween ended.
  constexpr int kMaxEndingsPerUpdate = 100000;  // a chain of instant tweens must end
  for (int n = 0; n < kMaxEndingsPerUpdate; ++n) {
    detail::Ending ending = effects_->FirstEnding(anim);
    if (!ending.effect) break;
    startAnim_ = ending.anim;
    std::function<void()> callback = effects_->Finish(*ending.effect, base_);
    if (callback) callback();
  }
  startAnim_ = anim;
  effects_->Compute(anim, base_, work_);
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
  base_.resize(256);
  for (int32_t i = first; i <= last; ++i) base_[i] = detail::ToRgbf(colours[i]);
}

Palette Animator::Base() const {
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
  effects_->ComputeBase(startAnim_, base_, below);
  return {effects_->AddMorph(nextId_++, startAnim_, below, target, tween, first, last)};
}

EffectHandle Animator::AddCycle(const Cycle& cycle) {
  RequireFinite(cycle.stepsPerSecond, "stepsPerSecond");
  RequireFinite(cycle.phase, "phase");
  Cycle c = cycle;
  ClampRange(c.low, c.high);
  return {effects_->AddCycle(nextId_++, startAnim_, c)};
}

void Animator::SetCycleRate(EffectHandle cycle, double stepsPerSecond) {
  RequireFinite(stepsPerSecond, "stepsPerSecond");
  effects_->SetCycleRate(cycle.id, startAnim_, stepsPerSecond);
}

void Animator::SetCycleBlend(EffectHandle cycle, bool blend) {
  effects_->SetCycleBlend(cycle.id, blend);
}

EffectHandle Animator::AddFilter(const Filter& filter) {
  RequireFinite(filter.amount, "amount");
  RequireTime(filter.gain, "gain");
  Filter f = filter;
  ClampRange(f.first, f.last);
  f.amount = std::clamp(f.amount, 0.0, 1.0);
  return {effects_->AddFilter(nextId_++, startAnim_, f)};
}

void Animator::SetFilterAmount(EffectHandle filter, double amount) {
  RequireFinite(amount, "amount");
  effects_->SetFilterAmount(filter.id, std::clamp(amount, 0.0, 1.0));
}

void Animator::TweenFilter(EffectHandle filter, double amount, const Tween& tween) {
  RequireFinite(amount, "amount");
  CheckTween(tween);
  effects_->TweenFilter(filter.id, startAnim_, std::clamp(amount, 0.0, 1.0), tween);
}

EffectHandle Animator::FadeTowards(Rgb8 colour, double from, double to, const Tween& tween,
                                   int32_t first, int32_t last) {
  CheckTween(tween);
  ClampRange(first, last);
  uint64_t id = effects_->FindFade(colour, first, last, tween.space);
  if (id == 0) {
    Filter f{.kind = FilterKind::Fade, .first = first, .last = last, .amount = from,
             .colour = colour, .space = tween.space};
    id = effects_->AddFilter(nextId_++, startAnim_, f);
  }
  // A new fade runs even where the filter it takes over was paused.
  effects_->Pause(id, startAnim_, false);
  effects_->TweenFilter(id, startAnim_, to, tween);
  return {id};
}

EffectHandle Animator::FadeTo(Rgb8 colour, const Tween& tween, int32_t first, int32_t last) {
  return FadeTowards(colour, 0, 1, tween, first, last);
}

EffectHandle Animator::FadeFrom(Rgb8 colour, const Tween& tween, int32_t first, int32_t last) {
  return FadeTowards(colour, 1, 0, tween, first, last);
}

void Animator::Cancel(EffectHandle effect, CancelHow how) {
  effects_->Cancel(effect.id, how, startAnim_, base_);
}

void Animator::Pause(EffectHandle effect) { effects_->Pause(effect.id, startAnim_, true); }
void Animator::Resume(EffectHandle effect) { effects_->Pause(effect.id, startAnim_, false); }
bool Animator::IsActive(EffectHandle effect) const { return effects_->Has(effect.id); }
size_t Animator::EffectCount() const { return effects_->Count(); }

}  // namespace quorvel
