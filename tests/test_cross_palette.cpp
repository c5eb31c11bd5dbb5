// Cross-fades between two palettes: which table is which, the order files are read in,
// the clamps, and the passes against each other.
#include <gtest/gtest.h>

#include <functional>

#include <quorvel/display.hpp>
#include <quorvel/palette.hpp>
#include "palette/tables.hpp"
#include "tests/support/palette_files.hpp"
#include "tests/support/recorder.hpp"

namespace quorvel {
namespace {

using detail::ColorTable;
using detail::Rgb;
using testing::Event;
using testing::HeadlessScreen;
using testing::Record;
using testing::TempDir;

// Entry i of a palette nothing like the default one, so a swapped table shows.
ColorTable Ramp(int32_t seed) {
  ColorTable table;
  for (int32_t i = 0; i < 256; ++i) {
    table[i] = {(i + seed) % 64, (3 * i + seed) % 64, 63 - (i + 2 * seed) % 64};
  }
  return table;
}

std::vector<Event> Writes(const ColorTable& table, int32_t first = 0, int32_t last = 255) {
  std::vector<Event> writes;
  for (int32_t i = first; i <= last; ++i) writes.push_back({Event::Entry, i, detail::Pack(table[i])});
  return writes;
}

// The 64 passes of a fade, checking that each ends with one sleep of `speed`.
std::vector<std::vector<Event>> Passes(const std::vector<Event>& events, int32_t speed) {
  std::vector<std::vector<Event>> passes(1);
  for (const Event& e : events) {
    if (e.kind == Event::Sleep) {
      EXPECT_EQ(e.a, speed);
      passes.emplace_back();
    } else {
      passes.back().push_back(e);
    }
  }
  EXPECT_TRUE(passes.back().empty()) << "the last pass is followed by a sleep";
  passes.pop_back();
  EXPECT_EQ(passes.size(), 64u);
  return passes;
}

class CrossPalette : public ::testing::Test {
 protected:
  HeadlessScreen screen;
  TempDir dir;
  const ColorTable a = Ramp(5);
  const ColorTable b = Ramp(40);
  const std::string fileA = dir.Write("a.pal", testing::FilePalBytes(a));
  const std::string fileB = dir.Write("b.pal", testing::FilePalBytes(b));
  const std::string pp256A = dir.Write("a256.pal", testing::PP256PalBytes(a));
  const std::string pp256B = dir.Write("b256.pal", testing::PP256PalBytes(b));
  const std::string missing = dir.Path("missing.pal");
};

TEST_F(CrossPalette, FadeToTheSamePaletteStillSleepsEveryPass) {
  const std::string defaults = dir.Write("default.pal", testing::FilePalBytes(detail::DefaultTable()));
  const int32_t speed = 7;
  const auto passes = Passes(Record([&] { PalFadeToFile::DefaultPal(defaults, speed); }), speed);
  for (const auto& pass : passes) EXPECT_EQ(pass, Writes(detail::DefaultTable()));
}

TEST_F(CrossPalette, EveryPassIsTheMixOfFromAndTo) {
  ColorTable from, to;
  from[0] = {0, 63, 10};
  to[0] = {63, 0, 20};
  const std::string fromName = dir.Write("from.pal", testing::FilePalBytes(from));
  const std::string toName = dir.Write("to.pal", testing::PP256PalBytes(to));
  const auto passes = Passes(Record([&] { PalFadeToPP256::FilePal(fromName, toName, 0); }), 0);
  const auto red = [&](int s) { return passes[s][0].b & 0xFF; };
  const auto green = [&](int s) { return passes[s][0].b >> 8 & 0xFF; };
  const auto blue = [&](int s) { return passes[s][0].b >> 16; };
  EXPECT_EQ(red(1), 1);
  EXPECT_EQ(red(32), 32);
  EXPECT_EQ(red(62), 62);
  EXPECT_EQ(green(1), 62);
  EXPECT_EQ(green(32), 31);
  EXPECT_EQ(green(62), 1);
  EXPECT_EQ(blue(32), 15);
  EXPECT_EQ(passes[0], Writes(from));
  EXPECT_EQ(passes[63], Writes(to));
}

// A From routine, or a To routine with its two names swapped, is the other one run
// backwards, pass for pass.
TEST_F(CrossPalette, FromIsToBackwards) {
  const std::pair<std::function<void()>, std::function<void()>> twins[] = {
      {[&] { PalFadeFromPP256::FilePal(pp256A, fileB, 3); },
       [&] { PalFadeToPP256::FilePal(fileB, pp256A, 3); }},
      {[&] { PalFadeToFile::FilePal(fileA, fileB, 3); },
       [&] { PalFadeToFile::FilePal(fileB, fileA, 3); }},
      {[&] { PalFadeToPP256::PP256Pal(pp256A, pp256B, 3); },
       [&] { PalFadeToPP256::PP256Pal(pp256B, pp256A, 3); }},
      {[&] { PalFadeFromFile::DefaultPal(fileA, 3); },
       [&] { PalFadeToFile::DefaultPal(fileA, 3); }},
      {[&] { PalFadeFromPP256::DefaultPal(pp256A, 3); },
       [&] { PalFadeToPP256::DefaultPal(pp256A, 3); }},
  };
  for (const auto& [one, other] : twins) {
    const auto forward = Passes(Record(one), 3);
    const auto backward = Passes(Record(other), 3);
    for (int s = 0; s < 64; ++s) EXPECT_EQ(forward[s], backward[63 - s]) << s;
    EXPECT_NE(forward[0], forward[63]);
  }
}

TEST_F(CrossPalette, LevelsAreClampedAndWrittenBack) {
  int32_t level = 70;
  EXPECT_EQ(Record([&] { PalFileFadeCtrl::DefaultPal(level, fileA); }), Writes(a));
  EXPECT_EQ(level, 63);
  level = -4;
  EXPECT_EQ(Record([&] { PalFileFadeCtrl::DefaultPal(level, fileA); }),
            Writes(detail::DefaultTable()));
  EXPECT_EQ(level, 0);

  level = 0;
  EXPECT_EQ(Record([&] { PalPP256FadeCtrl::PP256Pal(level, pp256A, pp256B); }), Writes(a));
  level = 63;
  EXPECT_EQ(Record([&] { PalPP256FadeCtrl::PP256Pal(level, pp256A, pp256B); }), Writes(b));

  int32_t first = -5, last = 300;
  level = 99;
  EXPECT_EQ(Record([&] { PalPP256RangeFadeCtrl::FilePal(first, last, level, fileA, pp256B); }),
            Writes(b));
  EXPECT_EQ(first, 0);
  EXPECT_EQ(last, 255);
  EXPECT_EQ(level, 63);

  first = 10, last = 12, level = 21;
  ColorTable mixed;
  for (int i = 0; i < 256; ++i) mixed[i] = detail::MixRgb(a[i], b[i], 21);
  EXPECT_EQ(Record([&] { PalFileRangeFadeCtrl::FilePal(first, last, level, fileA, fileB); }),
            Writes(mixed, 10, 12));
}

TEST_F(CrossPalette, ReversedRangeWritesOnlyItsFirstRegister) {
  int32_t first = 200, last = 100;
  const auto passes =
      Passes(Record([&] { PalFadeRangeToPP256::DefaultPal(first, last, pp256A, 1); }), 1);
  EXPECT_EQ(last, 200);
  EXPECT_EQ(first, 200);
  for (const auto& pass : passes) {
    ASSERT_EQ(pass.size(), 1u);
    EXPECT_EQ(pass[0].a, 200);
  }
  EXPECT_EQ(passes[63][0].b, detail::Pack(a[200]));
}

// The default palette comes first, then 768-byte files, then PP256 files; the status of
// the last read names the file read last.
TEST_F(CrossPalette, FilesAreReadInOrderOneAtATime) {
  // One file number free: two files open at once could not both be read.
  std::vector<int32_t> taken;
  while (FreeFileNumber() < 255) {
    const int32_t number = FreeFileNumber();
    ASSERT_EQ(OpenFile(fileA, number, FileAccess::ReadOnly), FileResult::Ok);
    taken.push_back(number);
  }
  int32_t level = 0;
  EXPECT_EQ(Record([&] { PalPP256FadeCtrl::FilePal(level, fileA, pp256B); }), Writes(a));
  EXPECT_EQ(LastPaletteFileError().fileName, pp256B);
  level = 63;
  EXPECT_EQ(Record([&] { PalPP256FadeCtrl::FilePal(level, fileA, pp256B); }), Writes(b));

  int32_t first = 0, last = 255;
  PalFadeRangeFromPP256::FilePal(first, last, pp256A, fileB, 0);
  EXPECT_EQ(LastPaletteFileError().fileName, pp256A);
  PalFadeToFile::FilePal(fileB, fileA, 0);
  EXPECT_EQ(LastPaletteFileError().fileName, fileA);
  PalFadeFromPP256::DefaultPal(pp256B, 0);
  EXPECT_EQ(LastPaletteFileError().fileName, pp256B);
  for (int32_t number : taken) CloseFile(number);
}

// A file that gives nothing gives black, whichever file it is and whatever came before.
TEST_F(CrossPalette, MissingFilesAreBlack) {
  const auto passes = Passes(Record([&] { PalFadeToPP256::PP256Pal(pp256A, missing, 0); }), 0);
  EXPECT_EQ(passes[63], Writes(ColorTable{}));
  EXPECT_EQ(LastPaletteFileError().error, PaletteFileError::Missing);
  int32_t level = 0;
  EXPECT_EQ(Record([&] { PalFileFadeCtrl::FilePal(level, missing, fileA); }),
            Writes(ColorTable{}));
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_EQ(FreeFileNumber(), 1);
}

// A PP256 file's colours above 63 enter the mix as they are.
TEST_F(CrossPalette, ComponentsAbove63AreMixedAsTheyAre) {
  ColorTable bright;
  bright[0] = {200, 0, 0};
  const std::string name = dir.Write("bright.pal", testing::PP256PalBytes(bright));
  int32_t level = 63;
  EXPECT_EQ(Record([&] { PalPP256FadeCtrl::DefaultPal(level, name); })[0].b, 200);
  level = 32;
  EXPECT_EQ(Record([&] { PalPP256FadeCtrl::DefaultPal(level, name); })[0].b, 101);
}

}  // namespace
}  // namespace quorvel
