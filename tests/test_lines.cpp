// Palettes per line: what the screen shows at chosen lines, the same through every kernel
// and the public conversion; how register writes combine with the list; which writes and
// lists need presenting; lists that cannot be used.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <vector>

#include <quorvel/animator.hpp>
#include <quorvel/display.hpp>
#include "display/lines.hpp"
#include "display/screen.hpp"
#include "tests/support/recorder.hpp"

namespace quorvel {
namespace {

using testing::HeadlessScreen;

// Draws every index somewhere on each row: pixel (x, y) holds (x + 3y) mod 256.
void DrawDiagonals() {
  detail::Screen& s = detail::TheScreen();
  for (int32_t y = 0; y < kScreenHeight; ++y) {
    for (int32_t x = 0; x < kScreenWidth; ++x) {
      s.pages[0][size_t(y) * kScreenWidth + x] = uint8_t(x + 3 * y);
    }
  }
  detail::PageChanged(0);
}

// The model the list describes, register by register and line by line, written without
// bands: at line y each register holds the colour of the last change at or above y, in
// order of line and then of the list, else the register's own.
uint32_t ModelColour(const LinePalettes& lines, const std::array<uint32_t, 256>& registers,
                     int32_t index, int32_t y) {
  uint32_t colour = registers[size_t(index)];
  int32_t bestLine = -1;
  size_t at = 0;
  for (const LineChange& c : lines.changes) {
    const int32_t line = std::max(c.line, 0);
    if (line <= y && line >= bestLine && index >= c.first && index < c.first + c.count) {
      colour = lines.colours[at + size_t(index - c.first)];
      bestLine = line;
    }
    at += size_t(c.count);
  }
  return colour & 0xFFFFFFu;
}

// A list with every awkward case: a change above the top, two at one line (the later
// wins), a wide one, one past the bottom, changes out of order and at the last line.
LinePalettes AwkwardList() {
  LinePalettes lines;
  lines.Add(200, 10, 0x112233u);
  lines.Add(-5, 10, 0xFF445566u);  // above the top: from line 0; the top byte is ignored
  lines.Add(200, 10, 0x778899u);
  std::vector<uint32_t> wide(256);
  for (uint32_t i = 0; i < 256; ++i) wide[i] = i * 0x010101u ^ 0x00A050u;
  lines.Add(300, 0, wide.data(), 256);
  lines.Add(301, 255, 0xABCDEFu);
  lines.Add(479, 3, 0x010203u);
  lines.Add(480, 4, 0xFFFFFFu);  // below the screen
  lines.Add(100, 0, nullptr, 0);  // changes nothing, yet starts a band
  return lines;
}

TEST(LinePalettes, ChosenLinesShowTheListThroughEveryKernelAndTheConversion) {
  HeadlessScreen screen;
  DrawDiagonals();
  const LinePalettes lines = AwkwardList();
  ASSERT_TRUE(SetLinePalettes(lines));
  EXPECT_EQ(CurrentLinePalettes(), lines);
  const std::array<uint32_t, 256> registers = detail::ReadRegisters();

  // The read-back at chosen points: above and at each change's line, and past them.
  for (int32_t y : {0, 1, 99, 100, 199, 200, 201, 299, 300, 301, 478, 479}) {
    for (int32_t x : {0, 7, 10 - (3 * y) % 256 + 256, 255, 639}) {
      x %= kScreenWidth;
      const int32_t index = uint8_t(x + 3 * y);
      EXPECT_EQ(ShownColor(x, y), int32_t(ModelColour(lines, registers, index, y)))
          << "at " << x << "," << y << " (index " << index << ")";
    }
  }
  EXPECT_EQ(ShownColor(640, 0), -1);
  EXPECT_EQ(ShownColor(0, 480), -1);

  // The whole frame, as CaptureFrame gives it, against the model at every pixel.
  const std::vector<uint32_t> frame = CaptureFrame();
  std::vector<uint32_t> want(frame.size());
  for (int32_t y = 0; y < kScreenHeight; ++y) {
    for (int32_t x = 0; x < kScreenWidth; ++x) {
      want[size_t(y) * kScreenWidth + x] = ModelColour(lines, registers, uint8_t(x + 3 * y), y);
    }
  }
  ASSERT_EQ(frame, want);

  // Every kernel that runs here converts the same bands, also in a canvas's byte order,
  // the first time a list is converted and later (when a kernel may have prepared it).
  const uint8_t* page = detail::TheScreen().pages[0].data();
  for (detail::Kernel kernel : {detail::Kernel::Portable, detail::Kernel::Avx2, detail::Kernel::Avx512}) {
    if (!detail::KernelRuns(kernel)) continue;
    const std::shared_ptr<const detail::LineList> list = detail::MakeLineList(lines);
    for (int conversion = 1; conversion <= 3; ++conversion) {
      std::vector<uint32_t> got(frame.size());
      detail::ConvertBands(kernel, page, kScreenWidth, kScreenWidth, kScreenHeight, registers.data(),
                           list.get(), got.data(), kScreenWidth, true);
      for (size_t i = 0; i < got.size(); ++i) {
        const uint32_t c = want[i];
        ASSERT_EQ(got[i], 0xFF000000u | (c & 0xFF) << 16 | (c & 0xFF00) | c >> 16)
            << detail::KernelName(kernel) << " (conversion " << conversion << ") at pixel " << i;
      }
    }
  }

  // The public conversion of a part of the page with padded rows: a region 37 wide and
  // 300 high from (5, 150), so its line 50 is the screen's line 200.
  constexpr int32_t kWidth = 37, kHeight = 300, kOutPitch = 41;
  std::vector<uint32_t> out(size_t(kOutPitch) * kHeight, 0x12345678u);
  LinePalettes shifted = lines;
  for (LineChange& c : shifted.changes) c.line -= 150;
  std::string error = "stale";
  ASSERT_TRUE(ConvertIndices(page + 150 * kScreenWidth + 5, kWidth, kHeight, kScreenWidth,
                             registers.data(), &shifted, out.data(), kOutPitch * 4, &error));
  EXPECT_EQ(error, "");
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kOutPitch; ++x) {
      const uint32_t wanted = x < kWidth ? 0xFF000000u | want[size_t(y + 150) * kScreenWidth + x + 5]
                                         : 0x12345678u;  // the padding stays as it was
      ASSERT_EQ(out[size_t(y) * kOutPitch + x], wanted) << x << "," << y;
    }
  }
}

TEST(LinePalettes, RegisterWritesShowAboveTheirFirstChangeOnly) {
  HeadlessScreen screen;
  DrawDiagonals();
  LinePalettes lines;
  lines.Add(100, 20, 0x0000FFu);
  lines.Add(300, 20, 0x00FF00u);
  ASSERT_TRUE(SetLinePalettes(lines));
  SetPaletteEntryRgb(20, 255, 0, 0);
  const auto at = [](int32_t y) { return ShownColor((20 - 3 * y % 256 + 512) % 256, y); };
  EXPECT_EQ(at(0), 0xFF0000);
  EXPECT_EQ(at(99), 0xFF0000);
  EXPECT_EQ(at(100), 0x0000FF);
  EXPECT_EQ(at(300), 0x00FF00);
  EXPECT_EQ(GetPaletteEntry(20), 255u);  // the register itself holds what was written
  ClearLinePalettes();
  EXPECT_EQ(at(300), 0xFF0000);
  EXPECT_EQ(CurrentLinePalettes(), LinePalettes{});
}

// Whether the write makes the picture need presenting.
bool Presents(const std::function<void()>& change) {
  detail::TheScreen().dirty = false;
  change();
  return detail::TheScreen().dirty;
}

TEST(LinePalettes, OnlyChangesThatShowNeedPresenting) {
  HeadlessScreen screen;
  // Index 7 on lines 0..9 only, index 8 on lines 200..209 only.
  DrawBox(0, 0, 639, 9, 7, true);
  DrawBox(0, 200, 639, 209, 8, true);
  DrawBox(0, 60, 639, 60, 10, true);  // and index 10 on line 60 alone
  LinePalettes lines;
  lines.Add(50, 7, 0x010101u);   // 7 is changed below where it shows
  lines.Add(150, 8, 0x020202u);  // 8 is changed above where it shows
  lines.Add(60, 10, 0x040404u);  // 10 is changed from the one line it shows on
  ASSERT_TRUE(Presents([&] { SetLinePalettes(lines); }));
  EXPECT_FALSE(Presents([&] { SetLinePalettes(lines); }));  // the same list again
  EXPECT_TRUE(Presents([] { SetPaletteEntry(7, 63); }));    // shows above line 50
  EXPECT_FALSE(Presents([] { SetPaletteEntry(8, 63); }));   // the list covers it
  EXPECT_FALSE(Presents([] { SetPaletteEntry(9, 63); }));   // on no pixel at all
  EXPECT_FALSE(Presents([] { SetPaletteEntry(10, 63); }));
  // Index 8 drawn above its change: now its register shows.
  DrawBox(0, 100, 9, 100, 8, true);
  EXPECT_TRUE(Presents([] { SetPaletteEntry(8, 1); }));
  // A presenter's snapshot sees a new list as a new picture.
  detail::VisibleSnapshot snapshot;
  detail::TakeSnapshot(snapshot);
  EXPECT_FALSE(detail::TakeSnapshot(snapshot));
  lines.Add(0, 0, 0x030303u);
  SetLinePalettes(lines);
  EXPECT_TRUE(detail::TakeSnapshot(snapshot));
  // Every register changed at line 150, one change each, the last register too: index
  // 255, drawn on line 200 alone, is covered.
  DrawBox(0, 200, 639, 200, 255, true);
  for (int32_t r = 0; r < 256; ++r) lines.Add(150, r, 0x060606u);
  SetLinePalettes(lines);
  EXPECT_FALSE(Presents([] { SetPaletteEntry(255, 63); }));
}

TEST(LinePalettes, AListWithAProblemIsRefusedAndTheOldOneKept) {
  HeadlessScreen screen;
  LinePalettes good;
  good.Add(10, 250, 0x123456u);
  ASSERT_TRUE(SetLinePalettes(good));
  struct Seen : DisplayObserver {
    int lists = 0;
    void OnLinePalettes(const LinePalettes&) override { ++lists; }
  } seen;
  SetDisplayObserver(&seen);
  const std::uint32_t six[6] = {};
  LinePalettes past, negative, uneven;
  past.Add(4, 0, 0u);
  past.Add(10, 251, six, 6);
  negative.changes.push_back({0, 0, -1});
  uneven.Add(0, 0, 1u);
  uneven.colours.push_back(2u);
  std::string error;
  EXPECT_FALSE(SetLinePalettes(past, &error));
  EXPECT_EQ(error, "line change 1 (line 10, registers 251 and 6 more): registers past 0..255");
  EXPECT_FALSE(SetLinePalettes(negative, &error));
  EXPECT_EQ(error, "line change 0 (line 0, registers 0 and -1 more): a count below 0");
  EXPECT_FALSE(SetLinePalettes(uneven, &error));
  EXPECT_EQ(error, "line palettes: the changes name 1 colours, the list holds 2");
  EXPECT_EQ(CurrentLinePalettes(), good);
  uint32_t out[4];
  const uint8_t indices[4] = {};
  const uint32_t registers[256] = {};
  EXPECT_FALSE(ConvertIndices(indices, 2, 2, 1, registers, nullptr, out, 8, &error));
  EXPECT_EQ(error, "cannot convert 2x2 indices with rows 1 bytes apart into pixels with rows 8 "
                   "bytes apart (whole 4-byte pixels, at least a row)");
  EXPECT_FALSE(ConvertIndices(indices, 2, 2, 2, registers, &uneven, out, 8, &error));
  EXPECT_EQ(seen.lists, 0);
  ClearLinePalettes();
  EXPECT_EQ(seen.lists, 1);
  SetDisplayObserver(nullptr);
}


// The colour a list gives register `index` at line y over the screen's registers.
int32_t RegisterAt(const LinePalettes& lines, int32_t index, int32_t y) {
  return int32_t(ModelColour(lines, detail::ReadRegisters(), index, y));
}

TEST(LinePalettes, TheAnimatorGivesABandItsPaletteAndARegisterAGradient) {
  HeadlessScreen screen;
  Palette status = Palette::Solid({10, 20, 30});
  status[7] = {1, 2, 3};
  LinePalettes lines;
  AddPaletteLines(lines, 440, status, 5, 7);
  AddGradient(lines, 40, 100, 200, {0, 0, 0}, {200, 100, 250});
  ASSERT_EQ(LinePalettesProblem(lines), "");
  const int32_t own = int32_t(detail::ReadRegisters()[5]);
  EXPECT_EQ(RegisterAt(lines, 5, 439), own);
  EXPECT_EQ(RegisterAt(lines, 5, 440), 0x0A141E);
  EXPECT_EQ(RegisterAt(lines, 7, 479), 0x010203);
  EXPECT_EQ(RegisterAt(lines, 8, 479), int32_t(detail::ReadRegisters()[8]));  // past `last`
  EXPECT_EQ(RegisterAt(lines, 40, 100), 0x000000);
  EXPECT_EQ(RegisterAt(lines, 40, 150), 0x64327D);  // halfway: 100, 50, 125
  EXPECT_EQ(RegisterAt(lines, 40, 200), 0xC864FA);
  EXPECT_EQ(RegisterAt(lines, 40, 479), 0xC864FA);  // kept below the band
}

TEST(LinePalettes, BarsAreAtTheirPlaceAtEveryInstantWrappingTurningAndBlending) {
  HeadlessScreen screen;
  Palette palette;
  palette[5] = {0, 0, 100};
  const LineBar bar{.index = 5, .colours = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}},
                    .top = 100, .bottom = 199, .linesPerSecond = 60};
  const auto at = [&](const LineBar& b, double ms, int32_t y) {
    LinePalettes lines;
    AddBars(lines, {b}, palette, ms);
    return RegisterAt(lines, 5, y);
  };
  EXPECT_EQ(at(bar, 0, 99), int32_t(detail::ReadRegisters()[5]));  // above: the register's own
  EXPECT_EQ(at(bar, 0, 100), 0xFF0000);
  EXPECT_EQ(at(bar, 0, 102), 0x0000FF);
  EXPECT_EQ(at(bar, 0, 103), 0x000064);  // beneath the bar: the palette's colour
  EXPECT_EQ(at(bar, 500, 131), 0x00FF00);
  EXPECT_EQ(at(bar, 1750, 105), 0xFF0000);  // 105 lines on, wrapped to 5
  // Leaving at the bottom, the rest of it shows at the top.
  EXPECT_EQ(at(bar, 99000 / 60.0, 199), 0xFF0000);
  EXPECT_EQ(at(bar, 99000 / 60.0, 100), 0x00FF00);
  EXPECT_EQ(at(bar, 99000 / 60.0, 200), 0x000064);
  // Half a line down, the first line is half bar, half the colour beneath.
  EXPECT_EQ(at(bar, 500 / 60.0, 100), 0x800032);
  // Ping-pong turns at the bottom: 10 lines past the turn is 10 lines back up.
  LineBar turning = bar;
  turning.mode = CycleMode::PingPong;
  EXPECT_EQ(at(turning, (97 + 10) * 1000 / 60.0, 100 + 87), 0xFF0000);
  // Moving up, it leaves at the top and comes back at the bottom: 5 lines up is 95 down.
  LineBar rising = bar;
  rising.linesPerSecond = -60;
  EXPECT_EQ(at(rising, 5000 / 60.0, 195), 0xFF0000);
  // Sine eases in: a third of the way through its first leg of 100 lines it has gone
  // (1 - cos(pi / 3)) / 2, a quarter of them.
  LineBar swinging = bar;
  swinging.mode = CycleMode::Sine;
  swinging.bottom = 202;
  EXPECT_EQ(at(swinging, 100 * 1000 / 60.0 / 3, 100 + 25), 0xFF0000);
  // Half opaque: half of the bar over the palette.
  LineBar faint = bar;
  faint.opacity = 0.5;
  EXPECT_EQ(at(faint, 0, 100), 0x800032);
}

}  // namespace
}  // namespace quorvel
