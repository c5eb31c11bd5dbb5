// Palette file formats: round trips through every writable format, each reader against
// hand-made bytes for its sharp edges, recognition and real palettes. Files that must be
// refused at once or never half-written are in test_palette_formats_posix.cpp.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include <quorvel/display.hpp>
#include <quorvel/formats.hpp>
#include "formats/bytes.hpp"
#include "tests/support/palette_files.hpp"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::TempDir;

constexpr auto& B = testing::TextBytes;
constexpr auto& Sample = testing::SamplePalette;

Rgb8 Through6(Rgb8 c) {
  return {uint8_t(Expand6To8(Reduce8To6(c.r))), uint8_t(Expand6To8(Reduce8To6(c.g))),
          uint8_t(Expand6To8(Reduce8To6(c.b)))};
}

std::string Extension(PaletteFormat format) {
  switch (format) {
    case PaletteFormat::Gpl: return ".gpl";
    case PaletteFormat::Act: return ".act";
    case PaletteFormat::Hex: return ".hex";
    case PaletteFormat::Col: case PaletteFormat::ColPro: return ".col";
    case PaletteFormat::PaintNet: return ".txt";
    default: return ".pal";
  }
}

TEST(PaletteFormats, EveryWritableFormatRoundTripsThroughAFile) {
  TempDir dir;
  for (int32_t count : {256, 4}) {
    const PaletteFile file = Sample(count);
    for (PaletteFormat format : WritablePaletteFormats()) {
      const std::string name = std::string(PaletteFormatName(format));
      const std::string path = dir.Path(name + std::to_string(count) + Extension(format));
      const PaletteWriteResult written = WritePaletteFile(path, file, format);
      ASSERT_TRUE(written.ok()) << written.error;
      const PaletteReadResult read = ReadPaletteFile(path);
      ASSERT_TRUE(read.ok()) << read.error;
      const bool sixBit = format == PaletteFormat::Raw6 || format == PaletteFormat::PP256 ||
                          format == PaletteFormat::Col;
      // A raw 6-bit file can only be guessed; the others are known by content, name or size.
      EXPECT_EQ(read.format, format) << name;
      EXPECT_EQ(read.bitsGuessed, format == PaletteFormat::Raw6) << name;
      const bool fixedSize = sixBit || format == PaletteFormat::Raw8 || format == PaletteFormat::ColPro;
      EXPECT_EQ(read.file.count, fixedSize ? 256 : count) << name;
      for (size_t i = 0; i < 256; ++i) {
        const Rgb8 want = i < size_t(count) ? file.colours[i] : Rgb8{};
        ASSERT_EQ(read.file.colours[i], sixBit ? Through6(want) : want) << name << " colour " << i;
      }
      if (format == PaletteFormat::Gpl) {
        EXPECT_EQ(read.file.name, "Sample");
        EXPECT_EQ(read.file.entryNames, file.entryNames);
      }
    }
  }
}

TEST(PaletteFormats, SixBitsGoToEightByTheDisplaysRuleAndBackByRounding) {
  for (uint32_t v = 0; v < 64; ++v) EXPECT_EQ(Reduce8To6(Expand6To8(v)), v);
  for (uint32_t c = 0; c < 256; ++c) {
    const int32_t error = int32_t(Expand6To8(Reduce8To6(c))) - int32_t(c);
    EXPECT_LE(std::abs(error), 3) << c;  // nearest: half of a 6-bit step (255/63) at most
  }
  Bytes raw(768, 0);
  raw[0] = 63, raw[1] = 42, raw[2] = 21;
  const PaletteReadResult read = ParsePalette(raw, "x.pal");
  EXPECT_EQ(read.file.colours[0], (Rgb8{255, 170, 85}));
}

// A raw file cannot say its depth: any byte over 63 makes it 8-bit, otherwise 6-bit is a
// guess the result owns up to. Callers can force either; the 6-bit reading keeps the low
// six bits of a byte, as the registers and the blocking loaders do.
TEST(PaletteFormats, RawDepthIsGuessedSaidOrForced) {
  TempDir dir;
  Bytes dark(768, 10);
  Bytes bright = dark;
  bright[767] = 64;
  EXPECT_TRUE(ParsePalette(dark, "a.pal").bitsGuessed);
  EXPECT_EQ(ParsePalette(dark, "a.pal").bits, 6);
  EXPECT_EQ(ParsePalette(bright, "a.pal").bits, 8);
  EXPECT_FALSE(ParsePalette(bright, "a.pal").bitsGuessed);
  EXPECT_EQ(ParsePalette(dark, "a.act").format, PaletteFormat::Act);  // an .act is 8-bit
  EXPECT_EQ(ParsePalette(dark, "a.act").file.colours[0], (Rgb8{10, 10, 10}));

  PaletteReadOptions eight;
  eight.rawDepth = RawDepth::Eight;
  EXPECT_EQ(ParsePalette(dark, "a.pal", eight).file.colours[5], (Rgb8{10, 10, 10}));
  EXPECT_FALSE(ParsePalette(dark, "a.pal", eight).bitsGuessed);

  Bytes highBits(768, 0);
  for (size_t i = 0; i < 768; ++i) highBits[i] = uint8_t(i * 37);
  PaletteReadOptions six;
  six.format = PaletteFormat::Raw6;
  const PaletteReadResult read = ParsePalette(highBits, "h.pal", six);
  ASSERT_TRUE(read.ok());
  ASSERT_EQ(read.warnings.size(), 1u);
  EXPECT_NE(read.warnings[0].find("byte 2: holds 74, over 63"), std::string::npos) << read.warnings[0];
  EXPECT_EQ(read.file.colours, Palette::FromFilePal(dir.Write("h.pal", highBits)));

  // PP256 records with bits beyond six a component read as the blocking loader reads them.
  Bytes pp(1024);
  for (size_t i = 0; i < pp.size(); ++i) pp[i] = uint8_t(i * 101 + 7);
  const PaletteReadResult ppRead = ParsePalette(pp, "p.pal");
  EXPECT_EQ(ppRead.format, PaletteFormat::PP256);
  EXPECT_EQ(ppRead.file.colours, Palette::FromPP256Pal(dir.Write("p.pal", pp)));
  EXPECT_EQ(ppRead.warnings.size(), 1u);
}

TEST(PaletteFormats, GimpPalettesAsPeopleWriteThem) {
  // BOM, CRLF, a lone CR, tabs, leading spaces, names with spaces, unnamed entries, a
  // decimal 008, Columns: 0 and comments.
  const PaletteReadResult read = ParsePalette(
      B("\xEF\xBB\xBFGIMP Palette\r\nName: My colours\r\nColumns: 0\r# comment\n\n"
        "  0   0   0\tDeep black\n"
        "008 016 255\n"
        "255\t128\t  7    sky  blue \r\n"),
      "p.gpl");
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_EQ(read.format, PaletteFormat::Gpl);
  EXPECT_EQ(read.file.name, "My colours");
  EXPECT_EQ(read.file.count, 3);
  EXPECT_EQ(read.file.colours[1], (Rgb8{8, 16, 255}));
  EXPECT_EQ(read.file.colours[2], (Rgb8{255, 128, 7}));
  EXPECT_EQ(read.file.entryNames, (std::vector<std::string>{"Deep black", "", "sky  blue"}));
  EXPECT_TRUE(read.warnings.empty());

  const PaletteReadResult rgba = ParsePalette(B("GIMP Palette\nChannels: RGBA\n1 2 3 4 half\n"), "a.gpl");
  ASSERT_TRUE(rgba.ok()) << rgba.error;
  EXPECT_EQ(rgba.file.colours[0], (Rgb8{1, 2, 3}));
  EXPECT_EQ(rgba.file.entryNames[0], "half");

  // Errors name the file and the line, and nothing of the file is kept.
  const struct {
    const char* text;
    const char* error;
  } bad[] = {
      {"GIMP Palette\n1 2 3\n256 0 0 red\n", "bad.gpl: line 3: '256' is over 255"},
      {"GIMP Palette\n1 2 3\n-1 0 0\n", "bad.gpl: line 3: expected 'R G B name', found '-1 0 0'"},
      {"GIMP Palette\n\n1 2\n", "bad.gpl: line 3: expected 'R G B name', found '1 2'"},
      {"GIMP Palette\n0x10 0 0\n", "bad.gpl: line 2: '0x10' is not a whole number 0..255"},
      {"GIMP palette\n1 2 3\n", "bad.gpl: line 1: a GIMP palette starts with 'GIMP Palette'"},
  };
  for (const auto& c : bad) {
    const PaletteReadResult r = ParsePalette(B(c.text), "bad.gpl");
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(r.file.count, 0);
    EXPECT_EQ(r.file.colours, Palette{});
  }
}

TEST(PaletteFormats, HeaderCountsAreNeverTrustedBeyondTheColoursThere) {
  // JASC: LF or CRLF; a count above what follows, below it, and above 256.
  const PaletteReadResult lf = ParsePalette(B("JASC-PAL\n0100\n256\n1 2 3\n4 5 6\n"), "a.pal");
  ASSERT_TRUE(lf.ok()) << lf.error;
  EXPECT_EQ(lf.file.count, 2);
  EXPECT_EQ(lf.warnings, (std::vector<std::string>{"a.pal: line 3: the header gives 256 colours; the file holds 2"}));
  const PaletteReadResult fewer = ParsePalette(B("JASC-PAL\r\n0100\r\n1\r\n1 2 3\r\n4 5 6\r\n"), "b.pal");
  EXPECT_EQ(fewer.file.count, 1);
  EXPECT_EQ(fewer.warnings.size(), 1u);
  std::string many = "JASC-PAL\n0100\n300\n";
  for (int i = 0; i < 300; ++i) many += std::to_string(i % 256) + " 0 0\n";
  const PaletteReadResult over = ParsePalette(B(many), "c.pal");
  EXPECT_EQ(over.entriesInFile, 300);
  EXPECT_EQ(over.file.count, 256);
  EXPECT_EQ(over.file.colours[255], (Rgb8{255, 0, 0}));
  EXPECT_EQ(ParsePalette(B("JASC-PAL\n0100\n12x\n"), "d.pal").error, "d.pal: line 3: '12x' is not a colour count");

  // RIFF: a count of 1000 over two entries; the 'data' chunk after another chunk, with
  // entry 0 where it belongs.
  Bytes riff = B("RIFF");
  const auto u32 = [](Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}); };
  u32(riff, 4 + 12 + 8 + 12);
  riff.insert(riff.end(), {'P', 'A', 'L', ' ', 'f', 'a', 'c', 't', 3, 0, 0, 0, 9, 9, 9, 0});
  riff.insert(riff.end(), {'d', 'a', 't', 'a', 12, 0, 0, 0, 0, 3, 0xE8, 3, 11, 12, 13, 0, 21, 22, 23, 0});
  const PaletteReadResult r = ParsePalette(riff, "r.pal");
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.file.count, 2);
  EXPECT_EQ(r.file.colours[0], (Rgb8{11, 12, 13}));
  EXPECT_EQ(r.file.colours[1], (Rgb8{21, 22, 23}));
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_NE(r.warnings[0].find("the header says 1000 colours; the data holds 2"), std::string::npos);

  Bytes webp = B(std::string_view("RIFF\x04\x00\x00\x00WEBP", 12));
  EXPECT_EQ(ParsePalette(webp, "w.pal").error, "w.pal: byte 8: a RIFF file of type 'WEBP', not a palette (type 'PAL ')");

  // An Adobe table's trailer: 3 colours, register 1 transparent; a count of 0 means all.
  Bytes act(772, 0);
  act[3] = 200, act[768] = 0, act[769] = 3, act[770] = 0, act[771] = 1;
  const PaletteReadResult a = ParsePalette(act, "t.act");
  EXPECT_EQ(a.file.count, 3);
  EXPECT_EQ(a.file.transparentIndex, 1);
  EXPECT_EQ(a.file.colours[1], (Rgb8{200, 0, 0}));
  act[769] = 0;
  EXPECT_EQ(ParsePalette(act, "t.act").file.count, 256);
  EXPECT_EQ(ParsePalette(act, "t.act").warnings.size(), 1u);
}

Bytes U16(std::initializer_list<uint16_t> values) {
  Bytes b;
  for (uint16_t v : values) b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)});
  return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}

TEST(PaletteFormats, PhotoshopSwatchesInTheirColourSpaces) {
  // Version 1: RGB, HSB pure red, grey 0 (no ink: white), and CMYK, kept in place as black.
  const Bytes v1 = Cat({U16({1, 4}), U16({0, 0xFFFF, 0x8080, 0x0101, 0}), U16({1, 0, 0xFFFF, 0xFFFF, 0}),
                        U16({8, 0, 0, 0, 0}), U16({2, 1, 2, 3, 4})});
  const PaletteReadResult one = ParsePalette(v1, "s.bin");
  ASSERT_TRUE(one.ok()) << one.error;
  EXPECT_EQ(one.format, PaletteFormat::Aco);  // by its layout alone
  EXPECT_EQ(one.file.count, 4);
  EXPECT_EQ(one.file.colours[0], (Rgb8{255, 128, 1}));
  EXPECT_EQ(one.file.colours[1], (Rgb8{255, 0, 0}));
  EXPECT_EQ(one.file.colours[2], (Rgb8{255, 255, 255}));
  EXPECT_EQ(one.file.colours[3], (Rgb8{}));
  ASSERT_EQ(one.warnings.size(), 1u);
  EXPECT_NE(one.warnings[0].find("CMYK"), std::string::npos);

  // Version 2 follows with names; when it is cut short, version 1 stands.
  const Bytes named = Cat({U16({1, 1}), U16({0, 0, 0xFFFF, 0, 0}), U16({2, 1}), U16({0, 0, 0xFFFF, 0, 0}),
                           U16({0, 6, 'G', 'r', 0xE9, 'e', 'n', 0})});
  const PaletteReadResult two = ParsePalette(named, "n.aco");
  EXPECT_EQ(two.file.entryNames, (std::vector<std::string>{"Gr\xC3\xA9" "en"}));
  EXPECT_TRUE(two.warnings.empty());
  const Bytes cut(named.begin(), named.end() - 4);
  const PaletteReadResult three = ParsePalette(cut, "n.aco");
  ASSERT_TRUE(three.ok());
  EXPECT_EQ(three.file.colours[0], (Rgb8{0, 255, 0}));
  EXPECT_EQ(three.warnings.size(), 1u);
  // Cut before its first colour is whole: an error, not an empty palette.
  const Bytes v2(named.begin() + 14, named.end());
  EXPECT_EQ(ParsePalette(Bytes(v2.begin(), v2.end() - 4), "n.aco").error,
            "n.aco: byte 14: the name of colour 0 runs past the end of the file, before any colour");
  EXPECT_EQ(ParsePalette(Bytes(v1.begin(), v1.begin() + 9), "s.aco").error,
            "s.aco: byte 4: the file ends inside colour 0, before any colour");
}

Bytes F32(float v) {
  uint32_t u;
  std::memcpy(&u, &v, 4);
  return {uint8_t(u >> 24), uint8_t(u >> 16), uint8_t(u >> 8), uint8_t(u)};
}

// The edges of single fields: a surrogate pair in a swatch name, the high bit of a 6-bit
// component, a transparent index just past the colours, a header size inside the header,
// and the alpha and '#' of Paint.NET lines.
TEST(PaletteFormats, OneFieldAtItsEdge) {
  const Bytes name = U16({3, 0xD83D, 0xDE00, 0});  // U+1F600 as UTF-16
  const Bytes rgb = Cat({name, B("RGB "), F32(1), F32(0), F32(0), U16({2})});
  const Bytes ase = Cat({B("ASEF"), U16({1, 0, 0, 1}), U16({0x0001, 0, uint16_t(rgb.size())}), rgb});
  EXPECT_EQ(ParsePalette(ase, "x.ase").file.entryNames, (std::vector<std::string>{"\xF0\x9F\x98\x80"}));

  Bytes pp256(1024, 0);
  pp256[6] = 64;  // blue of colour 1 with its seventh bit set
  const PaletteReadResult six = ParsePalette(pp256, "p.pp256", {.format = PaletteFormat::PP256});
  ASSERT_EQ(six.warnings.size(), 1u);
  EXPECT_NE(six.warnings[0].find("byte 4: holds 0x00400000"), std::string::npos) << six.warnings[0];

  Bytes act(772, 0);
  act[769] = 3, act[771] = 3;  // three colours, the fourth transparent
  const PaletteReadResult table = ParsePalette(act, "t.act");
  EXPECT_EQ(table.file.transparentIndex, -1);
  EXPECT_EQ(table.warnings.size(), 1u);

  Bytes colPro = {5, 0, 0, 0, 0x23, 0xB1, 0, 0, 1, 2, 3};  // a size of 5, inside the header
  const PaletteReadResult pro = ParsePalette(colPro, "a.col", {.format = PaletteFormat::ColPro});
  ASSERT_TRUE(pro.ok()) << pro.error;
  EXPECT_EQ(pro.entriesInFile, 0);

  const PaletteReadResult opaque = ParsePalette(B("; paint.net\nFF102030\nff405060\n"), "o.txt");
  EXPECT_EQ(opaque.file.count, 2);
  EXPECT_TRUE(opaque.warnings.empty());
  EXPECT_EQ(ParsePalette(B("; paint.net\nFE102030\n80405060\n"), "h.txt").warnings.size(), 1u);
  EXPECT_FALSE(ParsePalette(B("FF102030\n#FF405060\n"), "n.txt", {.format = PaletteFormat::PaintNet}).ok());

  // A magic word one byte longer than what is left is not there, whatever follows in memory.
  const Bytes riff = B("RIFF");
  formats::ByteReader three(riff.data(), 3);
  EXPECT_FALSE(three.Peek("RIF\x46"));
  EXPECT_TRUE(three.Peek("RIF"));
}

TEST(PaletteFormats, SwatchExchangeBlocksAreSkippedByTheirLength) {
  const Bytes rgb = Cat({U16({2, 'A', 0}), B("RGB "), F32(1), F32(0.5f), F32(0), U16({2})});
  const Bytes grey = Cat({U16({1, 0}), B("Gray"), F32(0.25f), U16({2})});
  const Bytes unknown = Bytes(7, 0xEE);
  const auto block = [](uint16_t type, const Bytes& body) {
    return Cat({U16({type, uint16_t(body.size() >> 16), uint16_t(body.size())}), body});
  };
  const Bytes ase = Cat({B("ASEF"), U16({1, 0, 0, 5}), block(0xC001, U16({1, 0})), block(0x0001, rgb),
                         block(0x0042, unknown), block(0x0001, grey), block(0xC002, {})});
  const PaletteReadResult read = ParsePalette(ase, "x.ase");
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_EQ(read.file.count, 2);
  EXPECT_EQ(read.file.colours[0], (Rgb8{255, 128, 0}));
  EXPECT_EQ(read.file.colours[1], (Rgb8{64, 64, 64}));
  EXPECT_EQ(read.file.entryNames, (std::vector<std::string>{"A", ""}));
  EXPECT_TRUE(read.warnings.empty());

  Bytes truncated(ase.begin(), ase.end() - 20);
  const PaletteReadResult cut = ParsePalette(truncated, "x.ase");
  EXPECT_EQ(cut.file.count, 1);
  EXPECT_FALSE(cut.warnings.empty());
  // Cut inside the first colour's block, or after the blocks before it: no colour at all.
  EXPECT_EQ(ParsePalette(Bytes(ase.begin(), ase.begin() + 30), "x.ase").error,
            "x.ase: byte 22: a block runs past the end of the file, before any colour");
  EXPECT_EQ(ParsePalette(Bytes(ase.begin(), ase.begin() + 22), "x.ase").error,
            "x.ase: byte 22: the file ends after 1 of the 5 blocks its header gives, before any colour");
}

TEST(PaletteFormats, RecognitionByContentThenNameThenSize) {
  EXPECT_EQ(RecognisePalette(B("GIMP Palette\n"), "looks.act"), PaletteFormat::Gpl);
  EXPECT_EQ(RecognisePalette(B("\xEF\xBB\xBFGIMP Palette\n"), "x.pal"), PaletteFormat::Gpl);
  EXPECT_EQ(RecognisePalette(B("JASC-PAL\n0100\n0\n"), "x.gpl"), PaletteFormat::Jasc);
  EXPECT_EQ(RecognisePalette(B("ff0000\n00FF00\n"), "list"), PaletteFormat::Hex);
  EXPECT_EQ(RecognisePalette(B(";c\nFFff0000\n"), "list"), PaletteFormat::PaintNet);
  Bytes colPro = {0x0E, 0, 0, 0, 0x23, 0xB1, 0, 0, 1, 2, 3, 4, 5, 6};
  EXPECT_EQ(RecognisePalette(colPro, "x.pal"), PaletteFormat::ColPro);
  EXPECT_EQ(ParsePalette(colPro, "x.pal").file.colours[1], (Rgb8{4, 5, 6}));
  EXPECT_EQ(RecognisePalette(Bytes(768, 1), "x.col"), PaletteFormat::Col);
  EXPECT_EQ(RecognisePalette(Bytes(768, 99), "x.col"), PaletteFormat::Raw8);
  EXPECT_EQ(RecognisePalette(Bytes(772, 0), "noname"), PaletteFormat::Unknown);  // count 0: no trailer
  Bytes act(772, 0);
  act[769] = 16, act[770] = 0xFF, act[771] = 0xFF;
  EXPECT_EQ(RecognisePalette(act, "noname"), PaletteFormat::Act);
  EXPECT_EQ(RecognisePalette(Bytes(1024, 0), "noname"), PaletteFormat::PP256);
  EXPECT_EQ(ParsePalette(Bytes(1000, 0), "odd.pal").error, "odd.pal: not a palette file of a known format (1000 bytes)");
  // A 1024-byte PNG or 768-byte GIF is a picture (a damaged one), whatever its size suggests.
  Bytes png = B("\x89PNG\r\n\x1a\n");
  png.resize(1024);
  EXPECT_TRUE(LooksLikePicture(png));
  EXPECT_FALSE(LooksLikePicture(Bytes(768, 0)));
  // Every field of a PCX header but its maker's byte (10): a raw palette all the same.
  Bytes pcxLike(768, 0);
  pcxLike[1] = 5, pcxLike[2] = 1, pcxLike[3] = 8, pcxLike[65] = 1;
  EXPECT_FALSE(LooksLikePicture(pcxLike));
  EXPECT_EQ(ParsePalette(png, "cut.pal").error,
            "cut.pal: not a palette file of a known format (1024 bytes; it starts like a PNG picture)");
  Bytes gif = B("GIF89a");
  gif.resize(768);
  EXPECT_EQ(RecognisePalette(gif, "cut.pal"), PaletteFormat::Unknown);
}

TEST(PaletteFormats, RealPalettes) {
  const std::string data = QUORVEL_TEST_DATA "/palettes/";
  const struct {
    const char* file;
    int32_t count;
    Rgb8 first;
    const char* firstName;
  } mypaint[] = {{"MyPaint_Default.gpl", 77, {0, 0, 0}, "Black"},
                 {"Greys16.gpl", 16, {0, 0, 0}, "Black"},
                 {"Classic_4.gpl", 4, {245, 250, 244}, "Titanium white"}};
  for (const auto& p : mypaint) {
    const PaletteReadResult read = ReadPaletteFile(data + p.file);
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(read.file.count, p.count) << p.file;
    EXPECT_EQ(read.file.colours[0], p.first) << p.file;
    EXPECT_EQ(read.file.entryNames.at(0), p.firstName) << p.file;
    EXPECT_TRUE(read.warnings.empty()) << p.file;
  }
  // GIMP's own palettes (GPL-licensed, so read where installed, never committed).
  const fs::path gimp = "/usr/share/gimp/2.0/palettes";
  if (!fs::is_directory(gimp)) GTEST_SKIP() << "gimp-data is not installed";
  int32_t read = 0;
  for (const auto& entry : fs::directory_iterator(gimp)) {
    const PaletteReadResult r = ReadPaletteFile(entry.path().string());
    EXPECT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.format, PaletteFormat::Gpl) << entry.path();
    EXPECT_GT(r.file.count, 0) << entry.path();
    ++read;
  }
  EXPECT_GT(read, 10);
}

}  // namespace
}  // namespace quorvel
