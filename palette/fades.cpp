// The eleven fades between a source palette and black or one solid colour, animated or
// shown at a single level. Each is written once over a source table; the default palette
// and the two file formats only differ in how that table is filled.
#include "palette/tables.hpp"

namespace quorvel {
namespace {

using detail::ColorTable;

const ColorTable kBlack{};

// The solid colour is taken right after its own clamps, before any range is clamped, so
// a caller passing one variable as both a component and a bound sees that order.
ColorTable ClampedSolid(int32_t& r, int32_t& g, int32_t& b) {
  detail::ClampColour(r, g, b);
  return detail::SolidTable(r, g, b);
}

void FadeInOp(const ColorTable& source, const int32_t& speed) {
  detail::Animate(kBlack, source, 0, 255, speed);
}

void FadeOutOp(const ColorTable& source, const int32_t& speed) {
  detail::Animate(source, kBlack, 0, 255, speed);
}

void FadeInXOp(const ColorTable& source, int32_t& r, int32_t& g, int32_t& b,
               const int32_t& speed) {
  detail::Animate(ClampedSolid(r, g, b), source, 0, 255, speed);
}

void FadeOutXOp(const ColorTable& source, int32_t& r, int32_t& g, int32_t& b,
                const int32_t& speed) {
  detail::Animate(source, ClampedSolid(r, g, b), 0, 255, speed);
}

void FadeInRangeOp(const ColorTable& source, int32_t& first, int32_t& last,
                   const int32_t& speed) {
  ClampRange(first, last);
  detail::Animate(kBlack, source, first, last, speed);
}

void FadeOutRangeOp(const ColorTable& source, int32_t& first, int32_t& last,
                    const int32_t& speed) {
  ClampRange(first, last);
  detail::Animate(source, kBlack, first, last, speed);
}

void FadeInRangeXOp(const ColorTable& source, int32_t& first, int32_t& last, int32_t& r,
                    int32_t& g, int32_t& b, const int32_t& speed) {
  const ColorTable solid = ClampedSolid(r, g, b);
  ClampRange(first, last);
  detail::Animate(solid, source, first, last, speed);
}

void FadeOutRangeXOp(const ColorTable& source, int32_t& first, int32_t& last, int32_t& r,
                     int32_t& g, int32_t& b, const int32_t& speed) {
  const ColorTable solid = ClampedSolid(r, g, b);
  ClampRange(first, last);
  detail::Animate(source, solid, first, last, speed);
}

void FadeCtrlOp(const ColorTable& source, int32_t& level) {
  ClampComponent(level);
  detail::WritePass(kBlack, source, 0, 255, level);
}

void FadeCtrlXOp(const ColorTable& source, int32_t& r, int32_t& g, int32_t& b,
                 int32_t& level) {
  const ColorTable solid = ClampedSolid(r, g, b);
  ClampComponent(level);
  detail::WritePass(solid, source, 0, 255, level);
}

void FadeCtrlRangeXOp(const ColorTable& source, int32_t& first, int32_t& last, int32_t& r,
                      int32_t& g, int32_t& b, int32_t& level) {
  const ColorTable solid = ClampedSolid(r, g, b);
  ClampRange(first, last);
  ClampComponent(level);
  detail::WritePass(solid, source, first, last, level);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Default palette
// ---------------------------------------------------------------------------------------

void FadeIn::DefaultPal(const int32_t& speed) { FadeInOp(detail::DefaultTable(), speed); }
void FadeOut::DefaultPal(const int32_t& speed) { FadeOutOp(detail::DefaultTable(), speed); }
void FadeInX::DefaultPal(int32_t& r, int32_t& g, int32_t& b, const int32_t& speed) {
  FadeInXOp(detail::DefaultTable(), r, g, b, speed);
}
void FadeOutX::DefaultPal(int32_t& r, int32_t& g, int32_t& b, const int32_t& speed) {
  FadeOutXOp(detail::DefaultTable(), r, g, b, speed);
}
void FadeInRange::DefaultPal(int32_t& first, int32_t& last, const int32_t& speed) {
  FadeInRangeOp(detail::DefaultTable(), first, last, speed);
}
void FadeOutRange::DefaultPal(int32_t& first, int32_t& last, const int32_t& speed) {
  FadeOutRangeOp(detail::DefaultTable(), first, last, speed);
}
void FadeInRangeX::DefaultPal(int32_t& first, int32_t& last, int32_t& r, int32_t& g,
                              int32_t& b, const int32_t& speed) {
  FadeInRangeXOp(detail::DefaultTable(), first, last, r, g, b, speed);
}
void FadeOutRangeX::DefaultPal(int32_t& first, int32_t& last, int32_t& r, int32_t& g,
                               int32_t& b, const int32_t& speed) {
  FadeOutRangeXOp(detail::DefaultTable(), first, last, r, g, b, speed);
}
void FadeCtrl::DefaultPal(int32_t& level) { FadeCtrlOp(detail::DefaultTable(), level); }
void FadeCtrlX::DefaultPal(int32_t& r, int32_t& g, int32_t& b, int32_t& level) {
  FadeCtrlXOp(detail::DefaultTable(), r, g, b, level);
}
void FadeCtrlRangeX::DefaultPal(int32_t& first, int32_t& last, int32_t& r, int32_t& g,
                                int32_t& b, int32_t& level) {
  FadeCtrlRangeXOp(detail::DefaultTable(), first, last, r, g, b, level);
}

// ---------------------------------------------------------------------------------------
// 768-byte palette file
// ---------------------------------------------------------------------------------------

void FadeIn::FilePal(const std::string& fileName, const int32_t& speed) {
  FadeInOp(detail::ReadFilePalTable(fileName), speed);
}
void FadeOut::FilePal(const std::string& fileName, const int32_t& speed) {
  FadeOutOp(detail::ReadFilePalTable(fileName), speed);
}
void FadeInX::FilePal(const std::string& fileName, int32_t& r, int32_t& g, int32_t& b,
                      const int32_t& speed) {
  FadeInXOp(detail::ReadFilePalTable(fileName), r, g, b, speed);
}
void FadeOutX::FilePal(const std::string& fileName, int32_t& r, int32_t& g, int32_t& b,
                       const int32_t& speed) {
  FadeOutXOp(detail::ReadFilePalTable(fileName), r, g, b, speed);
}
void FadeInRange::FilePal(const std::string& fileName, int32_t& first, int32_t& last,
                          const int32_t& speed) {
  FadeInRangeOp(detail::ReadFilePalTable(fileName), first, last, speed);
}
void FadeOutRange::FilePal(const std::string& fileName, int32_t& first, int32_t& last,
                           const int32_t& speed) {
  FadeOutRangeOp(detail::ReadFilePalTable(fileName), first, last, speed);
}
void FadeInRangeX::FilePal(const std::string& fileName, int32_t& first, int32_t& last,
                           int32_t& r, int32_t& g, int32_t& b, const int32_t& speed) {
  FadeInRangeXOp(detail::ReadFilePalTable(fileName), first, last, r, g, b, speed);
}
void FadeOutRangeX::FilePal(const std::string& fileName, int32_t& first, int32_t& last,
                            int32_t& r, int32_t& g, int32_t& b, const int32_t& speed) {
  FadeOutRangeXOp(detail::ReadFilePalTable(fileName), first, last, r, g, b, speed);
}
void FadeCtrl::FilePal(const std::string& fileName, int32_t& level) {
  FadeCtrlOp(detail::ReadFilePalTable(fileName), level);
}
void FadeCtrlX::FilePal(const std::string& fileName, int32_t& r, int32_t& g, int32_t& b,
                        int32_t& level) {
  FadeCtrlXOp(detail::ReadFilePalTable(fileName), r, g, b, level);
}
void FadeCtrlRangeX::FilePal(const std::string& fileName, int32_t& first, int32_t& last,
                             int32_t& r, int32_t& g, int32_t& b, int32_t& level) {
  FadeCtrlRangeXOp(detail::ReadFilePalTable(fileName), first, last, r, g, b, level);
}

// ---------------------------------------------------------------------------------------
// PP256 palette file
// ---------------------------------------------------------------------------------------

void FadeIn::PP256Pal(const std::string& fileName, const int32_t& speed) {
  FadeInOp(detail::ReadPP256PalTable(fileName), speed);
}
void FadeOut::PP256Pal(const std::string& fileName, const int32_t& speed) {
  FadeOutOp(detail::ReadPP256PalTable(fileName), speed);
}
void FadeInX::PP256Pal(const std::string& fileName, int32_t& r, int32_t& g, int32_t& b,
                       const int32_t& speed) {
  FadeInXOp(detail::ReadPP256PalTable(fileName), r, g, b, speed);
}
void FadeOutX::PP256Pal(const std::string& fileName, int32_t& r, int32_t& g, int32_t& b,
                        const int32_t& speed) {
  FadeOutXOp(detail::ReadPP256PalTable(fileName), r, g, b, speed);
}
void FadeInRange::PP256Pal(const std::string& fileName, int32_t& first, int32_t& last,
                           const int32_t& speed) {
  FadeInRangeOp(detail::ReadPP256PalTable(fileName), first, last, speed);
}
void FadeOutRange::PP256Pal(const std::string& fileName, int32_t& first, int32_t& last,
                            const int32_t& speed) {
  FadeOutRangeOp(detail::ReadPP256PalTable(fileName), first, last, speed);
}
void FadeInRangeX::PP256Pal(const std::string& fileName, int32_t& first, int32_t& last,
                            int32_t& r, int32_t& g, int32_t& b, const int32_t& speed) {
  FadeInRangeXOp(detail::ReadPP256PalTable(fileName), first, last, r, g, b, speed);
}
void FadeOutRangeX::PP256Pal(const std::string& fileName, int32_t& first, int32_t& last,
                             int32_t& r, int32_t& g, int32_t& b, const int32_t& speed) {
  FadeOutRangeXOp(detail::ReadPP256PalTable(fileName), first, last, r, g, b, speed);
}
void FadeCtrl::PP256Pal(const std::string& fileName, int32_t& level) {
  FadeCtrlOp(detail::ReadPP256PalTable(fileName), level);
}
void FadeCtrlX::PP256Pal(const std::string& fileName, int32_t& r, int32_t& g, int32_t& b,
                         int32_t& level) {
  FadeCtrlXOp(detail::ReadPP256PalTable(fileName), r, g, b, level);
}
void FadeCtrlRangeX::PP256Pal(const std::string& fileName, int32_t& first, int32_t& last,
                              int32_t& r, int32_t& g, int32_t& b, int32_t& level) {
  FadeCtrlRangeXOp(detail::ReadPP256PalTable(fileName), first, last, r, g, b, level);
}

}  // namespace quorvel
