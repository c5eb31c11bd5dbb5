// Quorvel Animator: palette effects that never block. Start any number of effects (fades,
// cross-fades, colour cycles, negatives, greyscale), call Update(nowMs) once per frame
// with your own clock, and show Output() however you like: PresentToScreen() for
// Quorvel's screen, SDL_SetPaletteColors for a plain SDL INDEX8 surface, a texture of
// your engine.
//
//   quorvel::Animator anim(quorvel::Palette::Default());
//   anim.AddCycle({.low = 32, .high = 55, .stepsPerSecond = 8});
//   auto fade = anim.FadeFrom({0, 0, 0}, {.durationMs = 1500});
//   while (running) {
//     anim.Update(SDL_GetTicks64());
//     anim.PresentToScreen();
//   }
//
// The output is a function of the time: the same nowMs gives the same palette whatever
// the earlier calls were, so 30, 60 or 240 updates a second agree at the same instant.
// Time running backwards shows that earlier moment of every effect still running
// (effects started later show nothing yet). An effect that has ended, or that Cancel
// held or ended, is settled: a morph has gone into the base, a filter stays at its last
// amount, and either shows so at every instant, earlier ones too (its past is not kept:
// that keeps the memory constant).
//
// For every register the layers apply in this order: the base palette; base tweens (a
// range of the base morphing towards another palette) and timelines (a range of the base
// following palettes pinned to times), in the order they started; cycles (a range of
// that rotating); filters (a mix towards a colour, the negative, grey, or a brighter
// colour, by an amount 0..1). Everything is computed in floating point and rounded to 8
// bits once, at the end, in OKLab as in RGB (its curves are exact to a millionth of a
// level).
//
// An Animator is used from one thread. Arguments that cannot be a time, a rate or a scale
// (NaN, infinite, negative durations and delays, NaN or infinite rates) are refused with
// std::invalid_argument naming the argument, and so is what would make a time infinite:
// a tween whose end, delayMs + (repeat + 1) x durationMs, is; an Update whose time would
// put the animation clock or an effect's own clock there (a huge time scale, or two times
// 1e308 apart). A refused call changes nothing. Register ranges are clamped like the
// blocking routines clamp them: first to 0..255, then last to first..255.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <quorvel/colour.hpp>
#include <quorvel/display.hpp>

namespace quorvel {

// ---------------------------------------------------------------------------------------
// Tweens
// ---------------------------------------------------------------------------------------

enum class Easing {
  Linear,
  QuadIn, QuadOut, QuadInOut,
  CubicIn, CubicOut, CubicInOut,
  Smoothstep,
};
// The eased value of t in 0..1 (t outside is clamped first; a NaN counts as 0). Every
// curve gives exactly 0 at 0 and 1 at 1, and the in-out ones meet at (0.5, 0.5).
double Ease(Easing easing, double t);

constexpr int32_t kRepeatForever = -1;

// How a tween runs. A tween starts from what is shown when it is started, so starting a
// new effect over a running one never jumps. One that has ended is exactly at its end
// value, whatever its duration: 1, or 0 when its last play was a yoyo's backwards one.
struct Tween {
  double durationMs = 1000;
  double delayMs = 0;                  // waits this long, showing its start, first
  Easing easing = Easing::Linear;
  int32_t repeat = 0;                  // plays 1 + repeat times; kRepeatForever: forever
  // Every second play runs backwards, retracing the curve: x into it shows E(1 - x)
  // (the forward play in reverse), not 1 - E(x).
  bool yoyo = false;
  ColorSpace space = ColorSpace::Rgb;  // where colours are mixed
  std::function<void()> onComplete{};  // called from Update when it ends; never on cancel
};

// ---------------------------------------------------------------------------------------
// Cycles
// ---------------------------------------------------------------------------------------

// CycleMode and Cycle, the plain description of a cycle that picture files share, are in
// <quorvel/colour.hpp>.

// ---------------------------------------------------------------------------------------
// Filters
// ---------------------------------------------------------------------------------------

enum class FilterKind {
  Fade,        // towards `colour`: black gives fades out and in
  Negative,    // towards 255 - c
  Greyscale,   // towards the grey of equal mean, (r + g + b) / 3 rounded down
  NegativeGrey,  // towards the negative of that grey
  Brightness,  // towards c x `gain`, clamped to 255
};

// Mixes registers first..last towards what the kind makes of their colour, by `amount`
// (0: no change, 1: all the way).
struct Filter {
  FilterKind kind = FilterKind::Fade;
  int32_t first = 0;
  int32_t last = 255;
  double amount = 1;
  Rgb8 colour{};       // Fade only
  double gain = 1.5;   // Brightness only
  ColorSpace space = ColorSpace::Rgb;
};

// ---------------------------------------------------------------------------------------
// Palettes pinned to times
// ---------------------------------------------------------------------------------------

// The palette a timeline (<quorvel/colour.hpp>) shows at `timeMs` of its clock, taken
// modulo its period: between two keys each register goes from the one key's colour to
// the next's in proportion to the time, mixed in `space`; at a key's time exactly, that
// key. A timeline with no key, a period that is not a positive finite number, or keys out
// of order or outside 0 <= timeMs < periodMs are refused with std::invalid_argument
// naming the key. The Animator following the timeline shows the same palette at the same
// time of the timeline.
Palette TimelinePaletteAt(const PaletteTimeline& timeline, double timeMs,
                          ColorSpace space = ColorSpace::OkLab);

// How an Animator runs a timeline's clock: from `startMs` when it starts following it,
// `rate` timeline milliseconds for every millisecond of the animation clock (1 runs a day
// in a day, 1440 runs it in a minute; a negative rate runs it backwards).
struct TimelineClock {
  double startMs = 0;
  double rate = 1;
  ColorSpace space = ColorSpace::OkLab;  // where the keys are mixed
};

// ---------------------------------------------------------------------------------------
// The Animator
// ---------------------------------------------------------------------------------------

// Names one started effect; stays valid (and harmless) after the effect ends.
struct EffectHandle {
  uint64_t id = 0;  // 0 names nothing
  explicit operator bool() const { return id != 0; }
  bool operator==(const EffectHandle&) const = default;
};

// Cancelling settles an effect as ending does, without its callback: Hold settles it
// where it is, End at its end. A fade that so ends all the way on its colour replaces the
// settled fades beneath it, as one that ends by itself does.
enum class CancelHow {
  Hold,    // stop where it is and keep showing that (effects beneath carry on)
  End,     // jump to its end (a cycle, which has none, is removed as with Revert)
  Revert,  // remove it, as if it had never run
};

namespace detail {
class EffectList;
struct Rgbf;
}  // namespace detail

class Animator {
 public:
  explicit Animator(const Palette& base = Palette::Default());
  ~Animator();
  // An Animator moved from is empty and shows its base palette; it can be used again.
  Animator(Animator&&) noexcept;
  Animator& operator=(Animator&&) noexcept;

  // ---- time
  // Moves to nowMs (any monotonic clock, milliseconds) and computes the output. Ended
  // tweens call their onComplete here; effects started from such a callback begin at the
  // instant the tween ended, not at nowMs, so chains keep their timing at any frame rate.
  // A callback may move this Animator elsewhere (or another into it): Update then stops,
  // and the Animator moved to carries on from its own next Update.
  void Update(double nowMs);
  double Now() const { return now_; }
  // Scales how fast every effect runs from now on (1 normal, 0 frozen).
  void SetTimeScale(double scale);
  double TimeScale() const { return scale_; }

  // ---- output
  const Palette& Output() const { return output_; }
  // Writes the registers of Quorvel's screen that differ from the output, at 8-bit
  // precision (SetPaletteEntryRgb). Returns how many were written.
  int32_t PresentToScreen();

  // ---- the base palette and base tweens
  // Replaces the base palette; running effects carry on over the new one. A morph over
  // replaced registers mixes from its start colours moved as far as the base moved: one
  // begun on the base mixes from the new base from now on (a yoyo ends on it), and
  // setting the colours the base already holds changes nothing.
  void SetBase(const Palette& base);
  // Replaces registers first..last of the base palette only.
  void SetBaseRange(const Palette& colours, int32_t first, int32_t last);
  Palette Base() const;
  // Morphs registers first..last of the base towards `target` (cycles keep running on
  // top, so a day can turn into night while the water still flows). When it ends, the
  // base holds the colours it ended on.
  EffectHandle MorphBase(const Palette& target, const Tween& tween, int32_t first = 0,
                         int32_t last = 255);

  // ---- palettes pinned to times
  // Registers first..last of the base follow the timeline by its clock, for good: the
  // timeline's palette at each instant takes the place of the base there, under the
  // cycles and filters (the water flows on through dusk). A base morph started later
  // starts from what the timeline shows and covers it; when it settles, it takes its
  // registers from the timeline as it would from an earlier morph. Pause stops the
  // timeline's clock; Cancel with Hold leaves its palette of the moment in the base, End
  // and Revert remove it (it has no end), showing the base beneath again.
  EffectHandle FollowTimeline(const PaletteTimeline& timeline, const TimelineClock& clock,
                              int32_t first = 0, int32_t last = 255);
  // Changes how fast the timeline's clock runs from now on; its time carries on from
  // where it stands, without a jump.
  void SetTimelineRate(EffectHandle timeline, double rate);
  // Where the timeline's clock stands at the last Update (for a day, milliseconds since
  // midnight, 0 <= time < periodMs); NaN for a handle that names no timeline.
  double TimelineTime(EffectHandle timeline) const;

  // ---- cycles
  EffectHandle AddCycle(const Cycle& cycle);
  // Changes a cycle's rate from now on; its position carries on without a jump. (A
  // stepped cycle turned round between two steps shows the step it now comes from; a
  // stopped one keeps the step it showed.)
  void SetCycleRate(EffectHandle cycle, double stepsPerSecond);
  void SetCycleBlend(EffectHandle cycle, bool blend);

  // ---- filters
  EffectHandle AddFilter(const Filter& filter);
  void SetFilterAmount(EffectHandle filter, double amount);
  // Tweens a filter's amount from what it is now to `amount`. A filter whose amount ends
  // at 0 is removed.
  void TweenFilter(EffectHandle filter, double amount, const Tween& tween);
  // A Fade filter towards `colour` tweened from 0 to 1 (FadeTo) or from 1 to 0, then
  // removed (FadeFrom). When a Fade filter with the same colour, range and space is
  // already there, that one is tweened from its present amount instead, so fading back
  // out of a colour faded into never jumps and never piles filters up. A fade that ends
  // all the way on its colour replaces the settled fades within its range: fading from
  // that colour afterwards shows the palette beneath, not an older fade.
  EffectHandle FadeTo(Rgb8 colour, const Tween& tween, int32_t first = 0, int32_t last = 255);
  EffectHandle FadeFrom(Rgb8 colour, const Tween& tween, int32_t first = 0,
                        int32_t last = 255);

  // ---- any effect
  void Cancel(EffectHandle effect, CancelHow how);
  void Pause(EffectHandle effect);
  void Resume(EffectHandle effect);
  // True from start until the effect is gone (paused effects are active). A morph or a
  // cycle goes when it ends or is cancelled. A filter stays while it is in place: after
  // its tween has ended (a FadeTo's), and after Cancel with Hold or End leaves it at an
  // amount above 0, its handle still steering it; an amount tweened or cancelled to 0,
  // or Revert, removes it.
  bool IsActive(EffectHandle effect) const;
  // How many effects are held (running, paused, or filters in place).
  size_t EffectCount() const;

 private:
  EffectHandle FadeTowards(Rgb8 colour, double from, double to, const Tween& tween,
                           int32_t first, int32_t last);
  // The effects; made afresh, over the base it shows, for an Animator moved from.
  detail::EffectList& Effects();
  double AnimTime(double nowMs) const;

  std::unique_ptr<detail::EffectList> effects_;
  std::vector<detail::Rgbf> base_;  // the base palette, between the 8-bit steps
  std::vector<detail::Rgbf> work_;  // reused by Update
  Palette output_;
  double now_ = 0;  // the caller's time at the last Update
  bool started_ = false;
  // The animation clock: the caller's clock scaled, anchored where the scale last changed.
  double scale_ = 1;
  double scaleAnchorNow_ = 0;
  double scaleAnchorAnim_ = 0;
  double startAnim_ = 0;  // when effects started now begin, on the animation clock
  uint64_t nextId_ = 1;
};


// ---------------------------------------------------------------------------------------
// Palettes per line: what the Animator gives the screen's LinePalettes
// ---------------------------------------------------------------------------------------

// A colour as the display's palettes per line take it: 0xRRGGBB.
constexpr uint32_t PackedColor(Rgb8 c) { return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b; }

// Registers first..last hold `palette`'s colours from `line` on: an Animator's Output()
// for the lower part of a split screen, which so keeps its own palette and effects.
void AddPaletteLines(LinePalettes& lines, int32_t line, const Palette& palette,
                     int32_t first = 0, int32_t last = 255);

// Register `index` goes from `top` at line topLine to `bottom` at line bottomLine (one
// colour per line, mixed in `space`, rounded once) and keeps `bottom` below it.
void AddGradient(LinePalettes& lines, int32_t index, int32_t topLine, int32_t bottomLine,
                 Rgb8 top, Rgb8 bottom, ColorSpace space = ColorSpace::Rgb);

// A bar of colours that moves down the lines top..bottom (both included) over register
// `index`, like a copper bar behind what other registers draw.
struct LineBar {
  int32_t index = 0;
  std::vector<Rgb8> colours;  // the bar, one colour per line, top to bottom
  int32_t top = 0;
  int32_t bottom = 479;
  // Wrap: the bar leaves at the bottom and comes back at the top; PingPong: it turns at
  // both ends; Sine: it turns too, easing in and out. The position, in lines from top,
  // is phase + linesPerSecond x seconds along that path, fractions blending two lines.
  double linesPerSecond = 60;
  CycleMode mode = CycleMode::Wrap;
  double phase = 0;
  double opacity = 1;  // how much of the bar shows over the colour beneath, 0..1
};

// The bars at `timeMs`, over the registers' colours in `palette` (an Animator's Output):
// each line a bar crosses mixes its colour into what is beneath, bars later in the list
// on top; below the lowest bar's band a register holds its colour of `palette` again.
// Bars that name a register past 0..255 are left out. A function of the time alone.
void AddBars(LinePalettes& lines, const std::vector<LineBar>& bars, const Palette& palette,
             double timeMs);

}  // namespace quorvel
