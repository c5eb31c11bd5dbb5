// The source palette in grey: shown at once, rotated, or faded between colours and greys.
// The static forms negate everything they show when `neg` is on; the fades and levels
// negate only their grey end, so the colours they start or end on stay true.
#include "palette/tables.hpp"

namespace quorvel {
namespace {

using detail::ColorTable;

// The grey end of the fades and levels; `neg` is read here, before any clamp.
ColorTable GreyEnd(const ColorTable& source, const int32_t& neg) {
  return detail::NegativeIf(detail::GreyTable(source), neg);
}

// What the static forms show before `neg`: greys or the colours themselves.
ColorTable GreysIf(const ColorTable& source, const int32_t& grey) {
  return detail::FlagOn(grey) ? detail::GreyTable(source) : source;
}

void PalGreySclOp(const ColorTable& source, const int32_t& grey, const int32_t& neg) {
  detail::WriteTable(detail::NegativeIf(GreysIf(source, grey), neg), 0, 255);
}

// `grey` is read before the range clamp and `neg` after it.
void PalGreySclRangeOp(const ColorTable& source, int32_t& first, int32_t& last,
                       const int32_t& grey, const int32_t& neg) {
  const ColorTable shown = GreysIf(source, grey);
  ClampRange(first, last);
  detail::WriteTable(detail::NegativeIf(shown, neg), first, last);
}

void PalGreySclRotateOp(const ColorTable& source, int32_t& first, int32_t& last,
                        const int32_t& amount, const int32_t& neg) {
  ClampRange(first, last);
  const ColorTable rotated = detail::Rotated(detail::GreyTable(source), amount);
  detail::WriteTable(detail::NegativeIf(rotated, neg), first, last);
}

void PalFadeToGreySclOp(const ColorTable& source, const int32_t& speed, const int32_t& neg) {
  detail::Animate(source, GreyEnd(source, neg), 0, 255, speed);
}

void PalFadeFromGreySclOp(const ColorTable& source, const int32_t& speed,
                          const int32_t& neg) {
  detail::Animate(GreyEnd(source, neg), source, 0, 255, speed);
}

void PalFadeRangeToGreySclOp(const ColorTable& source, int32_t& first, int32_t& last,
                             const int32_t& speed, const int32_t& neg) {
  const ColorTable greys = GreyEnd(source, neg);
  ClampRange(first, last);
  detail::Animate(source, greys, first, last, speed);
}

void PalFadeRangeFromGreySclOp(const ColorTable& source, int32_t& first, int32_t& last,
                               const int32_t& speed, const int32_t& neg) {
  const ColorTable greys = GreyEnd(source, neg);
  ClampRange(first, last);
  detail::Animate(greys, source, first, last, speed);
}

void PalGreyFadeCtrlOp(const ColorTable& source, int32_t& level, const int32_t& neg) {
  const ColorTable greys = GreyEnd(source, neg);
  ClampComponent(level);
  detail::WritePass(source, greys, 0, 255, level);
}

void PalGreyRangeFadeCtrlOp(const ColorTable& source, int32_t& first, int32_t& last,
                            int32_t& level, const int32_t& neg) {
  const ColorTable greys = GreyEnd(source, neg);
  ClampRange(first, last);
  ClampComponent(level);
  detail::WritePass(source, greys, first, last, level);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Default palette
// ---------------------------------------------------------------------------------------

void PalGreyScl::DefaultPal(const int32_t& grey, const int32_t& neg) {
  PalGreySclOp(detail::DefaultTable(), grey, neg);
}
void PalGreySclRange::DefaultPal(int32_t& first, int32_t& last, const int32_t& grey,
                                 const int32_t& neg) {
  PalGreySclRangeOp(detail::DefaultTable(), first, last, grey, neg);
}
void PalGreySclRotate::DefaultPal(int32_t& first, int32_t& last, const int32_t& amount,
                                  const int32_t& neg) {
  PalGreySclRotateOp(detail::DefaultTable(), first, last, amount, neg);
}
void PalFadeToGreyScl::DefaultPal(const int32_t& speed, const int32_t& neg) {
  PalFadeToGreySclOp(detail::DefaultTable(), speed, neg);
}
void PalFadeFromGreyScl::DefaultPal(const int32_t& speed, const int32_t& neg) {
  PalFadeFromGreySclOp(detail::DefaultTable(), speed, neg);
}
void PalFadeRangeToGreyScl::DefaultPal(int32_t& first, int32_t& last, const int32_t& speed,
                                       const int32_t& neg) {
  PalFadeRangeToGreySclOp(detail::DefaultTable(), first, last, speed, neg);
}
void PalFadeRangeFromGreyScl::DefaultPal(int32_t& first, int32_t& last,
                                         const int32_t& speed, const int32_t& neg) {
  PalFadeRangeFromGreySclOp(detail::DefaultTable(), first, last, speed, neg);
}
void PalGreyFadeCtrl::DefaultPal(int32_t& level, const int32_t& neg) {
  PalGreyFadeCtrlOp(detail::DefaultTable(), level, neg);
}
void PalGreyRangeFadeCtrl::DefaultPal(int32_t& first, int32_t& last, int32_t& level,
                                      const int32_t& neg) {
  PalGreyRangeFadeCtrlOp(detail::DefaultTable(), first, last, level, neg);
}

// ---------------------------------------------------------------------------------------
// 768-byte palette file
// ---------------------------------------------------------------------------------------

void PalGreyScl::FilePal(const std::string& fileName, const int32_t& grey,
                         const int32_t& neg) {
  PalGreySclOp(detail::ReadFilePalTable(fileName), grey, neg);
}
void PalGreySclRange::FilePal(const std::string& fileName, int32_t& first, int32_t& last,
                              const int32_t& grey, const int32_t& neg) {
  PalGreySclRangeOp(detail::ReadFilePalTable(fileName), first, last, grey, neg);
}
void PalGreySclRotate::FilePal(const std::string& fileName, int32_t& first, int32_t& last,
                               const int32_t& amount, const int32_t& neg) {
  PalGreySclRotateOp(detail::ReadFilePalTable(fileName), first, last, amount, neg);
}
void PalFadeToGreyScl::FilePal(const std::string& fileName, const int32_t& speed,
                               const int32_t& neg) {
  PalFadeToGreySclOp(detail::ReadFilePalTable(fileName), speed, neg);
}
void PalFadeFromGreyScl::FilePal(const std::string& fileName, const int32_t& speed,
                                 const int32_t& neg) {
  PalFadeFromGreySclOp(detail::ReadFilePalTable(fileName), speed, neg);
}
void PalFadeRangeToGreyScl::FilePal(const std::string& fileName, int32_t& first,
                                    int32_t& last, const int32_t& speed, const int32_t& neg) {
  PalFadeRangeToGreySclOp(detail::ReadFilePalTable(fileName), first, last, speed, neg);
}
void PalFadeRangeFromGreyScl::FilePal(const std::string& fileName, int32_t& first,
                                      int32_t& last, const int32_t& speed,
                                      const int32_t& neg) {
  PalFadeRangeFromGreySclOp(detail::ReadFilePalTable(fileName), first, last, speed, neg);
}
void PalGreyFadeCtrl::FilePal(const std::string& fileName, int32_t& level,
                              const int32_t& neg) {
  PalGreyFadeCtrlOp(detail::ReadFilePalTable(fileName), level, neg);
}
void PalGreyRangeFadeCtrl::FilePal(const std::string& fileName, int32_t& first,
                                   int32_t& last, int32_t& level, const int32_t& neg) {
  PalGreyRangeFadeCtrlOp(detail::ReadFilePalTable(fileName), first, last, level, neg);
}

// ---------------------------------------------------------------------------------------
// PP256 palette file
// ---------------------------------------------------------------------------------------

void PalGreyScl::PP256Pal(const std::string& fileName, const int32_t& grey,
                          const int32_t& neg) {
  PalGreySclOp(detail::ReadPP256PalTable(fileName), grey, neg);
}
void PalGreySclRange::PP256Pal(const std::string& fileName, int32_t& first, int32_t& last,
                               const int32_t& grey, const int32_t& neg) {
  PalGreySclRangeOp(detail::ReadPP256PalTable(fileName), first, last, grey, neg);
}
void PalGreySclRotate::PP256Pal(const std::string& fileName, int32_t& first, int32_t& last,
                                const int32_t& amount, const int32_t& neg) {
  PalGreySclRotateOp(detail::ReadPP256PalTable(fileName), first, last, amount, neg);
}
void PalFadeToGreyScl::PP256Pal(const std::string& fileName, const int32_t& speed,
                                const int32_t& neg) {
  PalFadeToGreySclOp(detail::ReadPP256PalTable(fileName), speed, neg);
}
void PalFadeFromGreyScl::PP256Pal(const std::string& fileName, const int32_t& speed,
                                  const int32_t& neg) {
  PalFadeFromGreySclOp(detail::ReadPP256PalTable(fileName), speed, neg);
}
void PalFadeRangeToGreyScl::PP256Pal(const std::string& fileName, int32_t& first,
                                     int32_t& last, const int32_t& speed,
                                     const int32_t& neg) {
  PalFadeRangeToGreySclOp(detail::ReadPP256PalTable(fileName), first, last, speed, neg);
}
void PalFadeRangeFromGreyScl::PP256Pal(const std::string& fileName, int32_t& first,
                                       int32_t& last, const int32_t& speed,
                                       const int32_t& neg) {
  PalFadeRangeFromGreySclOp(detail::ReadPP256PalTable(fileName), first, last, speed, neg);
}
void PalGreyFadeCtrl::PP256Pal(const std::string& fileName, int32_t& level,
                               const int32_t& neg) {
  PalGreyFadeCtrlOp(detail::ReadPP256PalTable(fileName), level, neg);
}
void PalGreyRangeFadeCtrl::PP256Pal(const std::string& fileName, int32_t& first,
                                    int32_t& last, int32_t& level, const int32_t& neg) {
  PalGreyRangeFadeCtrlOp(detail::ReadPP256PalTable(fileName), first, last, level, neg);
}

}  // namespace quorvel
