// Screens of other sizes and shapes: everything that reads or writes a page follows the
// open screen's size, and requests that cannot be met are refused with a reason.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include <quorvel/display.hpp>
#include <quorvel/recorder.hpp>

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

}  // namespace
}  // namespace quorvel
