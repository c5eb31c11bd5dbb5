// Each of the 32 operations run from a file that holds the default palette, in either
// format, must do exactly what it does from the default palette itself: the same register
// writes, the same sleeps and the same clamped arguments written back.
#include <gtest/gtest.h>

#include <functional>

#include <quorvel/palette.hpp>
#include "palette/tables.hpp"
#include "tests/support/palette_files.hpp"
#include "tests/support/recorder.hpp"

namespace quorvel {
namespace {

using testing::Event;
using testing::HeadlessScreen;
using testing::Recorder;
using testing::TempDir;

// Every argument any operation takes; each operation uses its own few.
struct Args {
  int32_t first, last, r, g, b, speed, level, amount, flag, grey, neg;
  bool operator==(const Args&) const = default;
};

enum class Source { Default, File, PP256 };

// One call of an operation from one source.
struct Call {
  Source source;
  std::string fileName;
  Args args;

  template <typename D, typename F, typename P, typename... A>
  void Run(D defaultPal, F filePal, P pp256Pal, A&... a) const {
    switch (source) {
      case Source::Default:
        return defaultPal(a...);
      case Source::File:
        return filePal(fileName, a...);
      case Source::PP256:
        return pp256Pal(fileName, a...);
    }
  }
};

struct Operation {
  const char* name;
  std::function<void(Call&)> run;
};

// clang-format off
const Operation kOperations[] = {
  {"FadeIn", [](Call& c) { auto& a = c.args; c.Run(&FadeIn::DefaultPal, &FadeIn::FilePal, &FadeIn::PP256Pal, a.speed); }},
  {"FadeOut", [](Call& c) { auto& a = c.args; c.Run(&FadeOut::DefaultPal, &FadeOut::FilePal, &FadeOut::PP256Pal, a.speed); }},
  {"FadeInX", [](Call& c) { auto& a = c.args; c.Run(&FadeInX::DefaultPal, &FadeInX::FilePal, &FadeInX::PP256Pal, a.r, a.g, a.b, a.speed); }},
  {"FadeOutX", [](Call& c) { auto& a = c.args; c.Run(&FadeOutX::DefaultPal, &FadeOutX::FilePal, &FadeOutX::PP256Pal, a.r, a.g, a.b, a.speed); }},
  {"FadeInRange", [](Call& c) { auto& a = c.args; c.Run(&FadeInRange::DefaultPal, &FadeInRange::FilePal, &FadeInRange::PP256Pal, a.first, a.last, a.speed); }},
  {"FadeOutRange", [](Call& c) { auto& a = c.args; c.Run(&FadeOutRange::DefaultPal, &FadeOutRange::FilePal, &FadeOutRange::PP256Pal, a.first, a.last, a.speed); }},
  {"FadeInRangeX", [](Call& c) { auto& a = c.args; c.Run(&FadeInRangeX::DefaultPal, &FadeInRangeX::FilePal, &FadeInRangeX::PP256Pal, a.first, a.last, a.r, a.g, a.b, a.speed); }},
  {"FadeOutRangeX", [](Call& c) { auto& a = c.args; c.Run(&FadeOutRangeX::DefaultPal, &FadeOutRangeX::FilePal, &FadeOutRangeX::PP256Pal, a.first, a.last, a.r, a.g, a.b, a.speed); }},
  {"FadeCtrl", [](Call& c) { auto& a = c.args; c.Run(&FadeCtrl::DefaultPal, &FadeCtrl::FilePal, &FadeCtrl::PP256Pal, a.level); }},
  {"FadeCtrlX", [](Call& c) { auto& a = c.args; c.Run(&FadeCtrlX::DefaultPal, &FadeCtrlX::FilePal, &FadeCtrlX::PP256Pal, a.r, a.g, a.b, a.level); }},
  {"FadeCtrlRangeX", [](Call& c) { auto& a = c.args; c.Run(&FadeCtrlRangeX::DefaultPal, &FadeCtrlRangeX::FilePal, &FadeCtrlRangeX::PP256Pal, a.first, a.last, a.r, a.g, a.b, a.level); }},
  {"PalRotate", [](Call& c) { auto& a = c.args; c.Run(&PalRotate::DefaultPal, &PalRotate::FilePal, &PalRotate::PP256Pal, a.first, a.last, a.amount); }},
  {"PalRotateFC", [](Call& c) { auto& a = c.args; c.Run(&PalRotateFC::DefaultPal, &PalRotateFC::FilePal, &PalRotateFC::PP256Pal, a.first, a.last, a.amount, a.level); }},
  {"PalRotateFCX", [](Call& c) { auto& a = c.args; c.Run(&PalRotateFCX::DefaultPal, &PalRotateFCX::FilePal, &PalRotateFCX::PP256Pal, a.first, a.last, a.r, a.g, a.b, a.amount, a.level); }},
  {"PalNeg", [](Call& c) { auto& a = c.args; c.Run(&PalNeg::DefaultPal, &PalNeg::FilePal, &PalNeg::PP256Pal, a.flag); }},
  {"PalNegRange", [](Call& c) { auto& a = c.args; c.Run(&PalNegRange::DefaultPal, &PalNegRange::FilePal, &PalNegRange::PP256Pal, a.first, a.last, a.flag); }},
  {"PalNegRotate", [](Call& c) { auto& a = c.args; c.Run(&PalNegRotate::DefaultPal, &PalNegRotate::FilePal, &PalNegRotate::PP256Pal, a.first, a.last, a.amount); }},
  {"PalFadeToNega", [](Call& c) { auto& a = c.args; c.Run(&PalFadeToNega::DefaultPal, &PalFadeToNega::FilePal, &PalFadeToNega::PP256Pal, a.speed); }},
  {"PalFadeFromNega", [](Call& c) { auto& a = c.args; c.Run(&PalFadeFromNega::DefaultPal, &PalFadeFromNega::FilePal, &PalFadeFromNega::PP256Pal, a.speed); }},
  {"PalFadeRangeToNega", [](Call& c) { auto& a = c.args; c.Run(&PalFadeRangeToNega::DefaultPal, &PalFadeRangeToNega::FilePal, &PalFadeRangeToNega::PP256Pal, a.first, a.last, a.speed); }},
  {"PalFadeRangeFromNega", [](Call& c) { auto& a = c.args; c.Run(&PalFadeRangeFromNega::DefaultPal, &PalFadeRangeFromNega::FilePal, &PalFadeRangeFromNega::PP256Pal, a.first, a.last, a.speed); }},
  {"PalNegaFadeCtrl", [](Call& c) { auto& a = c.args; c.Run(&PalNegaFadeCtrl::DefaultPal, &PalNegaFadeCtrl::FilePal, &PalNegaFadeCtrl::PP256Pal, a.level); }},
  {"PalNegaRangeFadeCtrl", [](Call& c) { auto& a = c.args; c.Run(&PalNegaRangeFadeCtrl::DefaultPal, &PalNegaRangeFadeCtrl::FilePal, &PalNegaRangeFadeCtrl::PP256Pal, a.first, a.last, a.level); }},
  {"PalGreyScl", [](Call& c) { auto& a = c.args; c.Run(&PalGreyScl::DefaultPal, &PalGreyScl::FilePal, &PalGreyScl::PP256Pal, a.grey, a.neg); }},
  {"PalGreySclRange", [](Call& c) { auto& a = c.args; c.Run(&PalGreySclRange::DefaultPal, &PalGreySclRange::FilePal, &PalGreySclRange::PP256Pal, a.first, a.last, a.grey, a.neg); }},
  {"PalGreySclRotate", [](Call& c) { auto& a = c.args; c.Run(&PalGreySclRotate::DefaultPal, &PalGreySclRotate::FilePal, &PalGreySclRotate::PP256Pal, a.first, a.last, a.amount, a.neg); }},
  {"PalFadeToGreyScl", [](Call& c) { auto& a = c.args; c.Run(&PalFadeToGreyScl::DefaultPal, &PalFadeToGreyScl::FilePal, &PalFadeToGreyScl::PP256Pal, a.speed, a.neg); }},
  {"PalFadeFromGreyScl", [](Call& c) { auto& a = c.args; c.Run(&PalFadeFromGreyScl::DefaultPal, &PalFadeFromGreyScl::FilePal, &PalFadeFromGreyScl::PP256Pal, a.speed, a.neg); }},
  {"PalFadeRangeToGreyScl", [](Call& c) { auto& a = c.args; c.Run(&PalFadeRangeToGreyScl::DefaultPal, &PalFadeRangeToGreyScl::FilePal, &PalFadeRangeToGreyScl::PP256Pal, a.first, a.last, a.speed, a.neg); }},
  {"PalFadeRangeFromGreyScl", [](Call& c) { auto& a = c.args; c.Run(&PalFadeRangeFromGreyScl::DefaultPal, &PalFadeRangeFromGreyScl::FilePal, &PalFadeRangeFromGreyScl::PP256Pal, a.first, a.last, a.speed, a.neg); }},
  {"PalGreyFadeCtrl", [](Call& c) { auto& a = c.args; c.Run(&PalGreyFadeCtrl::DefaultPal, &PalGreyFadeCtrl::FilePal, &PalGreyFadeCtrl::PP256Pal, a.level, a.neg); }},
  {"PalGreyRangeFadeCtrl", [](Call& c) { auto& a = c.args; c.Run(&PalGreyRangeFadeCtrl::DefaultPal, &PalGreyRangeFadeCtrl::FilePal, &PalGreyRangeFadeCtrl::PP256Pal, a.first, a.last, a.level, a.neg); }},
};
// clang-format on

// Ordinary arguments, then arguments that every clamp has to correct, then a reversed
// range with negative amounts and speeds.
const Args kArgSets[] = {
    {10, 40, 5, 60, 30, 3, 20, 7, 1, 1, 0},
    {-5, 300, -3, 70, 64, 0, 99, 300, 0, 0, 2},
    {200, 100, 63, 0, 0, -2, -4, -1, 5, 3, 1},
};

TEST(FileFamilies, EachOperationMatchesItsDefaultPaletteTwin) {
  HeadlessScreen screen;
  TempDir dir;
  const detail::ColorTable defaults = detail::DefaultTable();
  const std::string filePal = dir.Write("default.pal", testing::FilePalBytes(defaults));
  const std::string pp256Pal = dir.Write("default256.pal", testing::PP256PalBytes(defaults));

  for (const Operation& op : kOperations) {
    for (const Args& args : kArgSets) {
      const auto record = [&](Source source, const std::string& fileName, Args& after) {
        Call call{source, fileName, args};
        Recorder rec;
        op.run(call);
        after = call.args;
        return rec.events;
      };
      Args twinArgs, fileArgs, pp256Args;
      const auto twin = record(Source::Default, "", twinArgs);
      EXPECT_FALSE(twin.empty()) << op.name;
      EXPECT_EQ(record(Source::File, filePal, fileArgs), twin) << op.name << ".FilePal";
      EXPECT_EQ(LastPaletteFileError().error, PaletteFileError::None);
      EXPECT_EQ(fileArgs, twinArgs) << op.name << ".FilePal";
      EXPECT_EQ(record(Source::PP256, pp256Pal, pp256Args), twin) << op.name << ".PP256Pal";
      EXPECT_EQ(pp256Args, twinArgs) << op.name << ".PP256Pal";
    }
  }
  EXPECT_EQ(FreeFileNumber(), 1);
}

}  // namespace
}  // namespace quorvel
