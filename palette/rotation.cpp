// Rotations of the source palette (one frame per call; callers animate by calling again
// with a new amount or level), its negative, and fades between the two.
#include "palette/tables.hpp"

namespace quorvel {
namespace {

using detail::ColorTable;

void PalRotateOp(const ColorTable& source, int32_t& first, int32_t& last,
                 const int32_t& amount) {
  ClampRange(first, last);
  detail::WriteTable(detail::Rotated(source, amount), first, last);
}

void PalRotateFCOp(const ColorTable& source, int32_t& first, int32_t& last,
                   const int32_t& amount, int32_t& level) {
  ClampRange(first, last);
  ClampComponent(level);
  detail::WritePass(ColorTable{}, detail::Rotated(source, amount), first, last, level);
}

void PalRotateFCXOp(const ColorTable& source, int32_t& first, int32_t& last, int32_t& r,
                    int32_t& g, int32_t& b, const int32_t& amount, int32_t& level) {
  detail::ClampColour(r, g, b);
  ClampRange(first, last);
  // Taken after the range clamp, so a colour variable shared with a bound shows its
  // final value; the amount is read only once the level is settled, for the same reason.
  const ColorTable solid = detail::SolidTable(r, g, b);
  ClampComponent(level);
  detail::WritePass(solid, detail::Rotated(source, amount), first, last, level);
}

void PalNegOp(const ColorTable& source, const int32_t& flag) {
  detail::WriteTable(detail::NegativeIf(source, flag), 0, 255);
}

// The flag is read once the range is settled.
void PalNegRangeOp(const ColorTable& source, int32_t& first, int32_t& last,
                   const int32_t& flag) {
  ClampRange(first, last);
  detail::WriteTable(detail::NegativeIf(source, flag), first, last);
}

void PalNegRotateOp(const ColorTable& source, int32_t& first, int32_t& last,
                    const int32_t& amount) {
  ClampRange(first, last);
  detail::WriteTable(detail::NegativeTable(detail::Rotated(source, amount)), first, last);
}

void PalFadeToNegaOp(const ColorTable& source, const int32_t& speed) {
  detail::Animate(source, detail::NegativeTable(source), 0, 255, speed);
}

void PalFadeFromNegaOp(const ColorTable& source, const int32_t& speed) {
  detail::Animate(detail::NegativeTable(source), source, 0, 255, speed);
}

void PalFadeRangeToNegaOp(const ColorTable& source, int32_t& first, int32_t& last,
                          const int32_t& speed) {
  ClampRange(first, last);
  detail::Animate(source, detail::NegativeTable(source), first, last, speed);
}

void PalFadeRangeFromNegaOp(const ColorTable& source, int32_t& first, int32_t& last,
                            const int32_t& speed) {
  ClampRange(first, last);
  detail::Animate(detail::NegativeTable(source), source, first, last, speed);
}

void PalNegaFadeCtrlOp(const ColorTable& source, int32_t& level) {
  ClampComponent(level);
  detail::WritePass(source, detail::NegativeTable(source), 0, 255, level);
}

void PalNegaRangeFadeCtrlOp(const ColorTable& source, int32_t& first, int32_t& last,
                            int32_t& level) {
  ClampRange(first, last);
  ClampComponent(level);
  detail::WritePass(source, detail::NegativeTable(source), first, last, level);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Default palette
// ---------------------------------------------------------------------------------------

void PalRotate::DefaultPal(int32_t& first, int32_t& last, const int32_t& amount) {
  PalRotateOp(detail::DefaultTable(), first, last, amount);
}
void PalRotateFC::DefaultPal(int32_t& first, int32_t& last, const int32_t& amount,
                             int32_t& level) {
  PalRotateFCOp(detail::DefaultTable(), first, last, amount, level);
}
void PalRotateFCX::DefaultPal(int32_t& first, int32_t& last, int32_t& r, int32_t& g,
                              int32_t& b, const int32_t& amount, int32_t& level) {
  PalRotateFCXOp(detail::DefaultTable(), first, last, r, g, b, amount, level);
}
void PalNeg::DefaultPal(const int32_t& flag) { PalNegOp(detail::DefaultTable(), flag); }
void PalNegRange::DefaultPal(int32_t& first, int32_t& last, const int32_t& flag) {
  PalNegRangeOp(detail::DefaultTable(), first, last, flag);
}
void PalNegRotate::DefaultPal(int32_t& first, int32_t& last, const int32_t& amount) {
  PalNegRotateOp(detail::DefaultTable(), first, last, amount);
}
void PalFadeToNega::DefaultPal(const int32_t& speed) {
  PalFadeToNegaOp(detail::DefaultTable(), speed);
}
void PalFadeFromNega::DefaultPal(const int32_t& speed) {
  PalFadeFromNegaOp(detail::DefaultTable(), speed);
}
void PalFadeRangeToNega::DefaultPal(int32_t& first, int32_t& last, const int32_t& speed) {
  PalFadeRangeToNegaOp(detail::DefaultTable(), first, last, speed);
}
void PalFadeRangeFromNega::DefaultPal(int32_t& first, int32_t& last, const int32_t& speed) {
  PalFadeRangeFromNegaOp(detail::DefaultTable(), first, last, speed);
}
void PalNegaFadeCtrl::DefaultPal(int32_t& level) {
  PalNegaFadeCtrlOp(detail::DefaultTable(), level);
}
void PalNegaRangeFadeCtrl::DefaultPal(int32_t& first, int32_t& last, int32_t& level) {
  PalNegaRangeFadeCtrlOp(detail::DefaultTable(), first, last, level);
}

// ---------------------------------------------------------------------------------------
// 768-byte palette file
// ---------------------------------------------------------------------------------------

void PalRotate::FilePal(const std::string& fileName, int32_t& first, int32_t& last,
                        const int32_t& amount) {
  PalRotateOp(detail::ReadFilePalTable(fileName), first, last, amount);
}
void PalRotateFC::FilePal(const std::string& fileName, int32_t& first, int32_t& last,
                          const int32_t& amount, int32_t& level) {
  PalRotateFCOp(detail::ReadFilePalTable(fileName), first, last, amount, level);
}
void PalRotateFCX::FilePal(const std::string& fileName, int32_t& first, int32_t& last,
                           int32_t& r, int32_t& g, int32_t& b, const int32_t& amount,
                           int32_t& level) {
  PalRotateFCXOp(detail::ReadFilePalTable(fileName), first, last, r, g, b, amount, level);
}
void PalNeg::FilePal(const std::string& fileName, const int32_t& flag) {
  PalNegOp(detail::ReadFilePalTable(fileName), flag);
}
void PalNegRange::FilePal(const std::string& fileName, int32_t& first, int32_t& last,
                          const int32_t& flag) {
  PalNegRangeOp(detail::ReadFilePalTable(fileName), first, last, flag);
}
void PalNegRotate::FilePal(const std::string& fileName, int32_t& first, int32_t& last,
                           const int32_t& amount) {
  PalNegRotateOp(detail::ReadFilePalTable(fileName), first, last, amount);
}
void PalFadeToNega::FilePal(const std::string& fileName, const int32_t& speed) {
  PalFadeToNegaOp(detail::ReadFilePalTable(fileName), speed);
}
void PalFadeFromNega::FilePal(const std::string& fileName, const int32_t& speed) {
  PalFadeFromNegaOp(detail::ReadFilePalTable(fileName), speed);
}
void PalFadeRangeToNega::FilePal(const std::string& fileName, int32_t& first, int32_t& last,
                                 const int32_t& speed) {
  PalFadeRangeToNegaOp(detail::ReadFilePalTable(fileName), first, last, speed);
}
void PalFadeRangeFromNega::FilePal(const std::string& fileName, int32_t& first,
                                   int32_t& last, const int32_t& speed) {
  PalFadeRangeFromNegaOp(detail::ReadFilePalTable(fileName), first, last, speed);
}
void PalNegaFadeCtrl::FilePal(const std::string& fileName, int32_t& level) {
  PalNegaFadeCtrlOp(detail::ReadFilePalTable(fileName), level);
}
void PalNegaRangeFadeCtrl::FilePal(const std::string& fileName, int32_t& first,
                                   int32_t& last, int32_t& level) {
  PalNegaRangeFadeCtrlOp(detail::ReadFilePalTable(fileName), first, last, level);
}

// ---------------------------------------------------------------------------------------
// PP256 palette file
// ---------------------------------------------------------------------------------------

void PalRotate::PP256Pal(const std::string& fileName, int32_t& first, int32_t& last,
                         const int32_t& amount) {
  PalRotateOp(detail::ReadPP256PalTable(fileName), first, last, amount);
}
void PalRotateFC::PP256Pal(const std::string& fileName, int32_t& first, int32_t& last,
                           const int32_t& amount, int32_t& level) {
  PalRotateFCOp(detail::ReadPP256PalTable(fileName), first, last, amount, level);
}
void PalRotateFCX::PP256Pal(const std::string& fileName, int32_t& first, int32_t& last,
                            int32_t& r, int32_t& g, int32_t& b, const int32_t& amount,
                            int32_t& level) {
  PalRotateFCXOp(detail::ReadPP256PalTable(fileName), first, last, r, g, b, amount, level);
}
void PalNeg::PP256Pal(const std::string& fileName, const int32_t& flag) {
  PalNegOp(detail::ReadPP256PalTable(fileName), flag);
}
void PalNegRange::PP256Pal(const std::string& fileName, int32_t& first, int32_t& last,
                           const int32_t& flag) {
  PalNegRangeOp(detail::ReadPP256PalTable(fileName), first, last, flag);
}
void PalNegRotate::PP256Pal(const std::string& fileName, int32_t& first, int32_t& last,
                            const int32_t& amount) {
  PalNegRotateOp(detail::ReadPP256PalTable(fileName), first, last, amount);
}
void PalFadeToNega::PP256Pal(const std::string& fileName, const int32_t& speed) {
  PalFadeToNegaOp(detail::ReadPP256PalTable(fileName), speed);
}
void PalFadeFromNega::PP256Pal(const std::string& fileName, const int32_t& speed) {
  PalFadeFromNegaOp(detail::ReadPP256PalTable(fileName), speed);
}
void PalFadeRangeToNega::PP256Pal(const std::string& fileName, int32_t& first,
                                  int32_t& last, const int32_t& speed) {
  PalFadeRangeToNegaOp(detail::ReadPP256PalTable(fileName), first, last, speed);
}
void PalFadeRangeFromNega::PP256Pal(const std::string& fileName, int32_t& first,
                                    int32_t& last, const int32_t& speed) {
  PalFadeRangeFromNegaOp(detail::ReadPP256PalTable(fileName), first, last, speed);
}
void PalNegaFadeCtrl::PP256Pal(const std::string& fileName, int32_t& level) {
  PalNegaFadeCtrlOp(detail::ReadPP256PalTable(fileName), level);
}
void PalNegaRangeFadeCtrl::PP256Pal(const std::string& fileName, int32_t& first,
                                    int32_t& last, int32_t& level) {
  PalNegaRangeFadeCtrlOp(detail::ReadPP256PalTable(fileName), first, last, level);
}

}  // namespace quorvel
