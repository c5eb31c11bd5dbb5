// Screens of other sizes and shapes: everything that reads or writes a page follows the
// open screen's size, and requests that cannot be met are refused with a reason.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include <quorvel/display.hpp>
#include <quorvel/recorder.hpp>

#include "display/geometry.hpp"
#include "display/scale.hpp"
#include "display/screen.hpp"

#include <fstream>
#include <iterator>

namespace quorvel {
namespace {

struct Size {
  int32_t width, height;
};

// A headless screen of the given options, on virtual time.
struct SizedScreen {
  explicit SizedScreen(const ScreenOptions& options) {
    SetHeadless(true);
    SetVirtualTime(true);
    ok = OpenScreenWith(options);
  }
  ~SizedScreen() {
    CloseScreen();
    SetVirtualTime(false);
  }
  bool ok = false;
};

ScreenOptions OfSize(Size size) {
  ScreenOptions options;
  options.width = size.width;
  options.height = size.height;
  return options;
}

// Every size, odd ones included, clips drawing, text and images at its own edges.
TEST(ScreenSizes, DrawingTextAndImagesFollowTheSize) {
  for (const Size size : {Size{320, 200}, Size{321, 199}, Size{16, 16}, Size{4096, 64}}) {
    SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
    SizedScreen screen(OfSize(size));
    ASSERT_TRUE(screen.ok) << ScreenError();
    const int32_t w = size.width, h = size.height;
    EXPECT_EQ(ScreenWidth(), w);
    EXPECT_EQ(ScreenHeight(), h);
    EXPECT_EQ(TextColumns(), w / 8);
    EXPECT_EQ(TextRows(), h / 16);

    // A box past every edge fills exactly the page; nothing lands outside it.
    DrawBox(-5, -5, w + 5, h + 5, 7, true);
    EXPECT_EQ(GetPixel(0, 0, 0), 7);
    EXPECT_EQ(GetPixel(0, w - 1, h - 1), 7);
    EXPECT_EQ(GetPixel(0, w, 0), -1);
    EXPECT_EQ(GetPixel(0, 0, h), -1);
    // A row running off the right edge stops there, not on the next row.
    DrawBox(w - 3, 5, w + 10, 5, 12, true);
    EXPECT_EQ(GetPixel(0, w - 1, 5), 12);
    EXPECT_EQ(GetPixel(0, 0, 6), 7);
    DrawBox(w - 3, 5, w + 10, 5, 7, true);
    // A line along the last row and one down the last column reach the corner.
    DrawLine(0, h - 1, w + 100, h - 1, 9, 65535);
    DrawLine(w - 1, -50, w - 1, h - 2, 10, 65535);
    EXPECT_EQ(GetPixel(0, w - 1, h - 1), 9);
    EXPECT_EQ(GetPixel(0, 0, h - 1), 9);
    EXPECT_EQ(GetPixel(0, w - 1, 0), 10);
    EXPECT_EQ(GetPixel(0, w - 2, h - 2), 7);

    // The capture has the page's size and its pixels where the page has them.
    const std::vector<uint32_t> frame = CaptureFrame();
    ASSERT_EQ(frame.size(), size_t(w) * size_t(h));
    EXPECT_EQ(frame[size_t(h - 1) * w], GetPaletteEntry(9) >> 16 | (GetPaletteEntry(9) & 0xFF00) |
                                             (GetPaletteEntry(9) & 0xFF) << 16);

    // An image taken from the bottom-right corner and put at the top-left.
    ImageBuffer image = MakeImageBuffer(64);
    GetImage(w - 4, h - 4, w - 1, h - 1, image);
    EXPECT_EQ(image[0] | image[1] << 8, 4 * 8);
    PutImage(0, 0, image, kPutCopy);
    EXPECT_EQ(GetPixel(0, 3, 3), 9);
    EXPECT_EQ(GetPixel(0, 3, 0), 10);
    // A rectangle reaching past the page takes nothing.
    ImageBuffer outside = MakeImageBuffer(64);
    GetImage(w - 2, 0, w, 1, outside);
    EXPECT_EQ(outside[0], 0);
    // Put past the right and bottom edges, it is clipped there.
    PutImage(w - 2, h - 2, image, kPutCopy);
    EXPECT_EQ(GetPixel(0, w - 1, h - 1), 7);  // the image's second pixel of its second row

    // Text wraps at the last column and scrolls at the last row; lines below the grid
    // (199 is no whole number of 16-line cells) are not text and stay as drawn.
    SetTextColor(15, 1);
    LocateText(TextRows(), TextColumns());
    PrintText("AB", false);  // A in the last cell, B wraps and scrolls the grid up
    const int32_t lastRowTop = (TextRows() - 1) * 16;
    EXPECT_EQ(GetPixel(0, 0, lastRowTop), 1);        // B's cell, top line blank
    EXPECT_EQ(GetPixel(0, 8, lastRowTop + 8), 1);    // the rest of the new row blank
    if (TextRows() > 1) {
      EXPECT_EQ(GetPixel(0, w - w % 8 - 1, lastRowTop - 1), 1);  // A moved up a row
    }
    if (h % 16 != 0) {
      EXPECT_EQ(GetPixel(0, 0, h - 1), 9);
    }
  }
}

TEST(ScreenSizes, RequestsThatCannotBeMetAreRefusedWithTheReason) {
  SetHeadless(true);
  const auto refused = [](ScreenOptions options, const std::string& named) {
    EXPECT_FALSE(OpenScreenWith(options)) << named;
    EXPECT_NE(ScreenError().find(named), std::string::npos) << ScreenError();
    EXPECT_FALSE(ScreenIsOpen());
  };
  ScreenOptions o;
  o.width = 15;
  refused(o, "width must be 16 to 4096, not 15");
  o = {};
  o.height = 4097;
  refused(o, "height");
  o = {};
  o.pages = 0;
  refused(o, "pages");
  o = {};
  o.pixelAspect = std::nan("");
  refused(o, "pixel aspect");
  o = {};
  o.borderRegister = 256;
  refused(o, "border register");
  o = {};
  o.borderWidth = -1;
  refused(o, "border width");

  // The named modes, and mode 19 through OpenScreen as well.
  EXPECT_TRUE(OpenScreen(19, 8, 1, 0)) << ScreenError();
  EXPECT_EQ(ScreenWidth(), 320);
  EXPECT_EQ(ScreenHeight(), 200);
  EXPECT_DOUBLE_EQ(ScreenPixelAspect(), 1.2);
  EXPECT_EQ(TextColumns(), 40);
  EXPECT_EQ(TextRows(), 12);
  const ScreenOptions m640x400 = ModeOptions(ScreenMode::Mode640x400);
  EXPECT_EQ(m640x400.width * 3, int32_t(std::lround(m640x400.height * m640x400.pixelAspect * 4)));
  EXPECT_TRUE(OpenScreenWith(ModeOptions(ScreenMode::Mode1024x768))) << ScreenError();
  EXPECT_EQ(GetPixel(0, 1023, 767), 0);
  CloseScreen();
  // Closed, the screen reports mode 18's size again.
  EXPECT_EQ(ScreenWidth(), kScreenWidth);
}

// The recorder records the screen's own size.
TEST(ScreenSizes, RecorderTakesTheWholeScreen) {
  SizedScreen screen(OfSize({321, 199}));
  ASSERT_TRUE(screen.ok) << ScreenError();
  const std::string path = ::testing::TempDir() + "screens_321x199.gif";
  Recorder recorder;
  ASSERT_TRUE(recorder.Start(path, {})) << recorder.Error();
  DrawBox(320, 198, 320, 198, 4, true);
  SleepMs(100);
  ASSERT_TRUE(recorder.Stop()) << recorder.Error();
  // The GIF's logical screen: width and height, little-endian, after "GIF89a".
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> gif{std::istreambuf_iterator<char>(in), {}};
  ASSERT_GE(gif.size(), 10u);
  EXPECT_EQ(gif[6] | gif[7] << 8, 321);
  EXPECT_EQ(gif[8] | gif[9] << 8, 199);
}

using detail::Area;
using detail::Factors;
using detail::PlacePicture;
using detail::ScreenShape;

constexpr ScreenShape k320x200At4by3{320, 200, 1.2, 0};

// Integer scaling: whole factors as near the pixel aspect as they come, every source
// pixel a block of exactly that size, the picture centred; when nothing whole fits, the
// picture shrinks rather than being cut.
TEST(Scaling, IntegerGivesEqualBlocksNearTheAspect) {
  EXPECT_EQ(detail::IntegerFactors(k320x200At4by3, 1920, 1080), (Factors{4, 5}));
  EXPECT_EQ(PlacePicture(k320x200At4by3, Scaling::Integer, 1920, 1080), (Area{320, 40, 1280, 1000}));
  // On a 4K display the aspect still leads: 8x10, not 12x10.
  EXPECT_EQ(detail::IntegerFactors(k320x200At4by3, 3840, 2160), (Factors{8, 10}));
  EXPECT_EQ(PlacePicture({640, 480, 1.0, 0}, Scaling::Integer, 1920, 1080), (Area{320, 60, 1280, 960}));
  // Square 320x200 fills 1080p at 5x; a border of 10 pixels must fit as well.
  EXPECT_EQ(detail::IntegerFactors({320, 200, 1.0, 0}, 1920, 1080), (Factors{5, 5}));
  EXPECT_EQ(detail::IntegerFactors({320, 200, 1.0, 10}, 1920, 1080), (Factors{4, 4}));
  EXPECT_EQ(PlacePicture({640, 480, 1.0, 0}, Scaling::Integer, 600, 450), (Area{0, 0, 600, 450}));

  // Drawn: each source column and row covers exactly four and five output ones.
  constexpr int32_t w = 320, h = 200;
  std::vector<uint32_t> picture(size_t(w) * h);
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = 0xFF000000u | uint32_t(i);
  const Area area = PlacePicture(k320x200At4by3, Scaling::Integer, 1920, 1080);
  std::vector<uint32_t> out(size_t(1920) * 1080, 0);
  detail::PictureScaler scaler;
  scaler.Scale(picture.data(), w, h, out.data(), 1920, area);
  for (int32_t y = 0; y < 1080; ++y) {
    for (int32_t x = 0; x < 1920; ++x) {
      const bool inside = x >= area.x && x < area.x + area.w && y >= area.y && y < area.y + area.h;
      const uint32_t want =
          inside ? picture[size_t((y - area.y) / 5) * w + size_t((x - area.x) / 4)] : 0;
      ASSERT_EQ(out[size_t(y) * 1920 + x], want) << x << "," << y;
    }
  }
}

// Aspect and stretch: the exact shape (1440x1080 for 320x200 at 4:3), or all of it; and
// sharp: only an edge between two source pixels is blended, never more than one output
// pixel of it, and no source pixel covers a whole output pixel more than its neighbour.
TEST(Scaling, AspectAndStretchAreExactInShapeAndSharp) {
  EXPECT_EQ(PlacePicture(k320x200At4by3, Scaling::Aspect, 1920, 1080), (Area{240, 0, 1440, 1080}));
  EXPECT_EQ(PlacePicture(k320x200At4by3, Scaling::Stretch, 1920, 1080), (Area{0, 0, 1920, 1080}));
  EXPECT_EQ(PlacePicture({320, 200, 1.2, 20}, Scaling::Stretch, 1800, 1200), (Area{100, 100, 1600, 1000}));
  EXPECT_EQ(PlacePicture({640, 400, 1.2, 0}, Scaling::Aspect, 1024, 768), (Area{0, 0, 1024, 768}));

  for (const auto& [source, dest] : {std::pair{320, 1440}, {200, 1080}, {640, 1000}, {200, 230}}) {
    SCOPED_TRACE(std::to_string(source) + " to " + std::to_string(dest));
    const std::vector<detail::Tap> taps = detail::SharpTaps(source, dest);
    std::vector<double> cover(size_t(source), 0.0);
    std::vector<int32_t> blendedAt(size_t(source), 0);  // per edge after a source pixel
    for (size_t x = 0; x < taps.size(); ++x) {
      const detail::Tap t = taps[x];
      ASSERT_GE(t.first, 0);
      ASSERT_LT(t.first + (t.weight > 0), source);
      ASSERT_GE(t.first, x > 0 ? taps[x - 1].first : 0);
      cover[size_t(t.first)] += (256 - t.weight) / 256.0;
      if (t.weight > 0) cover[size_t(t.first) + 1] += t.weight / 256.0;
      if (t.weight > 0) {
        EXPECT_LE(++blendedAt[size_t(t.first)], 1) << x;
      }
    }
    for (int32_t i = 1; i < source; ++i) EXPECT_LT(std::abs(cover[size_t(i)] - cover[size_t(i) - 1]), 1.0) << i;
  }

  // The scaler draws what the taps say, row after row, whichever rows it reuses.
  constexpr int32_t w = 5, h = 7;
  std::vector<uint32_t> picture(size_t(w) * h);
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = 0xFF000000u | uint32_t(i * 0x0A1B2C);
  for (const Area area : {Area{1, 2, 12, 16}, Area{0, 0, 5, 20}, Area{0, 0, 30, 9}}) {
    const auto tx = detail::SharpTaps(w, area.w), ty = detail::SharpTaps(h, area.h);
    const size_t pitch = size_t(area.x + area.w);
    std::vector<uint32_t> out(pitch * size_t(area.y + area.h), 0);
    detail::PictureScaler scaler;
    scaler.Scale(picture.data(), w, h, out.data(), pitch, area);
    const auto at = [&](int32_t row, int32_t x) {
      const uint32_t* r = picture.data() + size_t(row) * w;
      const detail::Tap t = tx[size_t(x)];
      return t.weight ? detail::Blend(r[t.first], r[t.first + 1], uint32_t(t.weight)) : r[t.first];
    };
    for (int32_t y = 0; y < area.h; ++y) {
      for (int32_t x = 0; x < area.w; ++x) {
        const detail::Tap t = ty[size_t(y)];
        const uint32_t want =
            t.weight ? detail::Blend(at(t.first, x), at(t.first + 1, x), uint32_t(t.weight)) : at(t.first, x);
        ASSERT_EQ(out[size_t(area.y + y) * pitch + size_t(area.x + x)], want) << x << "," << y;
      }
    }
  }
}

// A page shows the picture and its border on one canvas: the border grows as the
// picture does, by its whole factors under Integer, and the frame still fits the output
// the placement left room for.
TEST(Scaling, TheFrameGrowsTheBorderAsThePicture) {
  constexpr ScreenShape raster{320, 200, 1.2, 12};
  const Area whole = PlacePicture(raster, Scaling::Integer, 1400, 941);
  EXPECT_EQ(whole, (Area{220, 70, 960, 800}));  // 3x4
  EXPECT_EQ(detail::FramePicture(raster, whole), (Area{184, 22, 1032, 896}));
  const Area exact = PlacePicture(raster, Scaling::Aspect, 1024, 695);
  EXPECT_EQ(detail::FramePicture(raster, exact), (Area{67, 0, 889, 695}));
  EXPECT_EQ(detail::FramePicture({640, 480, 1.0, 0}, exact), exact);
}

TEST(Scaling, WindowsOpenAtTheLargestWholeMultipleAndTwiceForSmallScreens) {
  EXPECT_EQ(detail::WindowSize({640, 480, 1.0, 0}, 1856, 1016), (Area{0, 0, 1280, 960}));
  EXPECT_EQ(detail::WindowSize({640, 480, 1.0, 0}, 1000, 700), (Area{0, 0, 640, 480}));
  EXPECT_EQ(detail::WindowSize(k320x200At4by3, 1856, 1016), (Area{0, 0, 1280, 1000}));
  EXPECT_EQ(detail::WindowSize(k320x200At4by3, 600, 400), (Area{0, 0, 640, 400}));
  EXPECT_EQ(detail::WindowSize({16, 16, 1.0, 2}, 10, 10), (Area{0, 0, 40, 40}));
  EXPECT_EQ(detail::WindowSize({1024, 768, 1.0, 0}, 800, 600), (Area{0, 0, 1024, 768}));
}

// The border register: its colour shows around the picture, writing it presents even
// when no pixel uses it, and choosing it (or a scaling) is a change to present.
TEST(Border, ShowsItsRegisterAndChangesPresent) {
  SizedScreen screen(ModeOptions(ScreenMode::Mode19));
  ASSERT_TRUE(screen.ok) << ScreenError();
  EXPECT_EQ(BorderRegister(), -1);
  EXPECT_EQ(CurrentScaling(), Scaling::Integer);
  detail::Screen& s = detail::TheScreen();
  detail::VisibleSnapshot snapshot;
  detail::TakeSnapshot(snapshot);
  EXPECT_EQ(detail::BorderColour(snapshot), 0u);  // none chosen: black

  SetPaletteEntryRgb(200, 10, 20, 30);
  detail::TakeSnapshot(snapshot);
  SetBorderRegister(200);  // the choice alone changes what is shown
  EXPECT_EQ(BorderRegister(), 200);
  ASSERT_TRUE(detail::TakeSnapshot(snapshot));
  EXPECT_EQ(detail::BorderColour(snapshot), 0x0A141Eu);
  EXPECT_FALSE(detail::TakeSnapshot(snapshot));

  s.dirty = false;
  SetPaletteEntryRgb(200, 40, 50, 60);  // no pixel is 200, but the border is
  EXPECT_TRUE(s.dirty.load());
  s.dirty = false;
  SetPaletteEntryRgb(201, 40, 50, 60);  // neither pixel nor border: nothing to present
  EXPECT_FALSE(s.dirty.load());

  SetBorderRegister(300);  // ignored
  EXPECT_EQ(BorderRegister(), 200);
  SetScaling(Scaling::Aspect);
  EXPECT_EQ(CurrentScaling(), Scaling::Aspect);
  EXPECT_TRUE(detail::TakeSnapshot(snapshot));
  EXPECT_EQ(snapshot.scaling, Scaling::Aspect);

  // Options give them from the start.
  ScreenOptions options = ModeOptions(ScreenMode::Mode19);
  options.borderRegister = 3;
  options.scaling = Scaling::Stretch;
  SizedScreen other(options);
  ASSERT_TRUE(other.ok) << ScreenError();
  EXPECT_EQ(BorderRegister(), 3);
  EXPECT_EQ(CurrentScaling(), Scaling::Stretch);
}

}  // namespace
}  // namespace quorvel
