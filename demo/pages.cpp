// The information and credits pages after the tests, and the closing fade.
#include <string>
#include <string_view>

#include "demo/runner.hpp"
#include <quorvel/palette.hpp>

namespace quorvel::demo {
namespace {

constexpr int32_t kKeep = -1;  // SetTextColor: leave the background as it is

// Both pages are composed on page 1 below the banner, which page 1 still holds.
void StartPage() {
  SetPages(1, 0);
  DrawBox(0, 171, 640, 480, 0, true);
}

// A piece of text at the cursor; `lineBreak` false lets the row continue.
void Piece(int32_t foreground, int32_t background, std::string_view text,
           bool lineBreak = true) {
  SetTextColor(foreground, background);
  PrintText(std::string(text), lineBreak);
}

// The thanks block of the information page, rows 23 to 25.
constexpr std::string_view kThanksFirst = "BIGGEST";
constexpr std::string_view kThanksRow23 =
    " thanks go to the demoscene and to the retro game development";
constexpr std::string_view kThanksRow24 =
    "community, whose tools, tutorials and late-night experiments kept 256-colour";
constexpr std::string_view kThanksRow25 =
    "graphics alive -- and to every tester who sat through all these fades ";
constexpr std::string_view kThanksLast = ";*) !";
static_assert(kThanksFirst.size() + kThanksRow23.size() < 80);
static_assert(kThanksRow24.size() < 80);
static_assert(kThanksRow25.size() + kThanksLast.size() < 80);

// The credits block, rows 15 to 22 from column 5: seven entries, the second in three
// pieces and the fourth running on to a second row.
constexpr std::string_view kCredit1 = "\xAF the demoscene, for decades of palette tricks worth living up to";
constexpr std::string_view kCredit2 = "\xAF the testers, who watched every fade twice over ( ";
constexpr std::string_view kCredit2Smile = "d=^-^=b !!";
constexpr std::string_view kCredit2End = " )";
constexpr std::string_view kCredit3 = "\xAF the retro game development community, for keeping mode 13h alive";
constexpr std::string_view kCredit4 = "\xAF the makers of the classic VGA graphics tools and libraries, whose";
constexpr std::string_view kCredit4More = "work showed what 256 colours can do";
constexpr std::string_view kCredit5 = "\xAF the artists behind the 8x16 code page 437 font";
constexpr std::string_view kCredit6 = "\xAF everyone who reported a bug, however small";
constexpr std::string_view kCredit7 = "\xAF Tessel's friends and family, for their endless patience";
// Column 5 leaves 76 columns on a row, column 18 leaves 63.
static_assert(kCredit1.size() < 76 && kCredit3.size() < 76 && kCredit4.size() < 76);
static_assert(kCredit2.size() + kCredit2Smile.size() + kCredit2End.size() < 76);
static_assert(kCredit5.size() < 76 && kCredit6.size() < 76 && kCredit7.size() < 76);
static_assert(kCredit4More.size() < 63);

}  // namespace

void DrawInfoPage(const Demo& demo) {
  StartPage();
  LocateText(13, 1);
  Piece(15, 0, "This is the FIRST-EVER official Tessel 8-Bit Palette Library *in existence*,");
  LocateText(14, 1);
  Piece(15, 0, "featuring a jaw-droppingly whopping ", false);
  Piece(15, 1, "129 PALETTE ROUTINES", false);
  Piece(15, 0, ", and also supports");
  LocateText(15, 1);
  Piece(15, 0, "both 768-byte palette files and even PP256-based palette files (.PAL) as well,");
  LocateText(16, 1);
  Piece(15, 0, "all ready to serve you so EXCELLENTLY well in your games, graphics demos, or");
  LocateText(17, 1);
  Piece(15, 0, "what have you!!!  ", false);
  Piece(10, 0, "^_-=b !");
  LocateText(19, 1);
  Piece(15, 0, "For even more commands and program examples to help you get the most enjoyment");
  LocateText(20, 1);
  Piece(15, 0, "out of this original lib, please consult the ", false);
  PrintText("\"", false);
  Piece(28, kKeep, "Quorvelv1_1 Readme (Win32).pdf", false);
  Piece(15, kKeep, "\"");
  LocateText(21, 1);
  Piece(15, 0, "file.");
  LocateText(23, 1);
  Piece(14, 0, kThanksFirst, false);
  Piece(15, 0, kThanksRow23);
  LocateText(24, 1);
  Piece(15, 0, kThanksRow24);
  LocateText(25, 1);
  Piece(15, 0, kThanksRow25, false);
  Piece(10, 0, kThanksLast);
  PutImage(0, 464, demo.images.notice, kPutTransparent);
  CopyPage(-1, -1);
  WaitForSpace(28, 0);
}

void DrawCreditsPage(const Demo& demo) {
  StartPage();
  LocateText(13, 1);
  Piece(97, 0, "Also, my thanks as well to these following wonderful people:");
  LocateText(14, 1);
  Piece(103, 0, std::string(79, '\xCD'));
  LocateText(15, 5);
  Piece(15, 0, kCredit1);
  LocateText(16, 5);
  Piece(15, 0, kCredit2, false);
  Piece(10, 0, kCredit2Smile, false);
  Piece(15, 0, kCredit2End);
  LocateText(17, 5);
  Piece(15, 0, kCredit3);
  LocateText(18, 5);
  Piece(15, 0, kCredit4);
  LocateText(19, 18);
  Piece(15, 0, kCredit4More);
  LocateText(20, 5);
  Piece(15, 0, kCredit5);
  LocateText(21, 5);
  Piece(15, 0, kCredit6);
  LocateText(22, 5);
  Piece(15, 0, kCredit7);
  LocateText(23, 5);
  Piece(15, 0, "\xAF ....and YOU for trying this library on for Tessel!!!  ", false);
  Piece(10, 0, ":D");
  SetTextColor(15, 0);
  PutImage(0, 464, demo.images.notice, kPutTransparent);
  CopyPage(-1, -1);
  WaitForSpace(28, 2);
}

void PlayClosingFade() {
  {
    int32_t r = 63;
    int32_t g = 63;
    int32_t b = 63;
    int32_t speed = 15;
    FadeOutX::DefaultPal(r, g, b, speed);
  }
  // Colour 0 now shows white and is all the screen holds; it alone fades to black.
  ClearScreen();
  for (int32_t n = 0; n <= 63; ++n) {
    int32_t index = 0;
    int32_t red = 63 - n;
    int32_t green = 63 - n;
    int32_t blue = 63 - n;
    PalSetColor(index, red, green, blue);
    Pause(15);
  }
}

}  // namespace quorvel::demo
