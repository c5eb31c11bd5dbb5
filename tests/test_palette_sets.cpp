// Files of several palettes: raw sets such as Doom's PLAYPAL, NES palettes, and raw files
// shorter than a palette when their depth is given; quorvel-pal lists and picks them.
#include <gtest/gtest.h>

#include <quorvel/display.hpp>
#include <quorvel/formats.hpp>
#include "programs/pal/pal.hpp"
#include "tests/support/palette_files.hpp"
#include "tests/support/program_run.hpp"

namespace quorvel {
namespace {

using testing::Bytes;

// `sets` palettes of `colours` colours each; colour i of set k is (k, i, i * 3 + k).
Bytes SetBytes(size_t sets, size_t colours, uint8_t limit = 255) {
  Bytes bytes;
  for (size_t k = 0; k < sets; ++k) {
    for (size_t i = 0; i < colours; ++i) {
      for (size_t c : {k, i, i * 3 + k}) bytes.push_back(uint8_t(c % (size_t(limit) + 1)));
    }
  }
  return bytes;
}

TEST(PaletteSets, RawAndNesSetsReadWholeAndPickedByIndex) {
  const struct {
    const char* name;
    size_t sets, colours;
    PaletteFormat format;
  } cases[] = {{"PLAYPAL.lmp", 14, 256, PaletteFormat::Raw8},
               {"fceux.pal", 8, 64, PaletteFormat::Nes},
               {"nes.pal", 1, 64, PaletteFormat::Nes},
               {"three.pal", 3, 256, PaletteFormat::Raw8}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes bytes = SetBytes(c.sets, c.colours);
    const PaletteReadResult last = ParsePalette(bytes, c.name, {.index = int32_t(c.sets - 1)});
    ASSERT_TRUE(last.ok()) << last.error;
    EXPECT_EQ(last.format, c.format);
    EXPECT_EQ(last.sets.size(), c.sets == 1 ? 0u : c.sets);
    EXPECT_EQ(last.file.count, int32_t(c.colours));
    const size_t k = c.sets - 1, i = c.colours - 1;
    EXPECT_EQ(last.file.colours[i], (Rgb8{uint8_t(k), uint8_t(i), uint8_t((i * 3 + k) % 256)}));
    if (c.colours < 256) {
      EXPECT_EQ(last.file.colours[c.colours], (Rgb8{})) << "past the set's colours";
    }
    for (size_t s = 0; s < last.sets.size(); ++s) EXPECT_EQ(last.sets[s].colours[1].r, s);

    const PaletteReadResult past = ParsePalette(bytes, c.name, {.index = int32_t(c.sets)});
    EXPECT_FALSE(past.ok());
    EXPECT_EQ(past.file.count, 0);
    EXPECT_NE(past.error.find("palette " + std::to_string(c.sets) + " is asked for"), std::string::npos) << past.error;
  }
  // A set of 6-bit palettes is told by all of its bytes, and says it guessed.
  const PaletteReadResult six = ParsePalette(SetBytes(3, 256, 63), "vga.pal");
  ASSERT_TRUE(six.ok()) << six.error;
  EXPECT_EQ(six.format, PaletteFormat::Raw6);
  EXPECT_TRUE(six.bitsGuessed);
  EXPECT_EQ(six.sets[2].colours[63], (Rgb8{uint8_t(Expand6To8(2)), 255, uint8_t(Expand6To8((63 * 3 + 2) % 64))}));
}

TEST(PaletteSets, ShortRawFilesNeedTheirDepth) {
  const Bytes bytes = SetBytes(1, 16, 63);
  const PaletteReadResult six = ParsePalette(bytes, "ega.pal", {.format = PaletteFormat::Raw6});
  ASSERT_TRUE(six.ok()) << six.error;
  EXPECT_EQ(six.file.count, 16);
  EXPECT_EQ(six.file.colours[15], (Rgb8{0, uint8_t(Expand6To8(15)), uint8_t(Expand6To8(45))}));
  const PaletteReadResult eight = ParsePalette(bytes, "ega.pal", {.format = PaletteFormat::Raw8});
  EXPECT_EQ(eight.file.colours[15], (Rgb8{0, 15, 45}));
  // Unforced, a 48-byte file could be anything.
  EXPECT_FALSE(ParsePalette(bytes, "ega.pal").ok());
  EXPECT_FALSE(ParsePalette(Bytes(47, 1), "odd.pal", {.format = PaletteFormat::Raw8}).ok());
}

TEST(PaletteSets, PalInfoListsTheSetsAndConvertTakesOne) {
  testing::TempDir dir;
  const std::string playpal = dir.Write("PLAYPAL.lmp", SetBytes(14, 256));
  const testing::ProgramRun info = testing::RunProgram(pal::RunPal, {"info", playpal});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("  format   raw 14 x 768 bytes, 8-bit\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("  palettes 14 (--index K takes one; these are palette 0)\n"), std::string::npos) << info.out;
  // A short raw file, read with its depth given, is told by its own size.
  const std::string ega = dir.Write("ega.pal", SetBytes(1, 16, 63));
  const testing::ProgramRun shortInfo = testing::RunProgram(pal::RunPal, {"info", "--from", "raw6", ega});
  EXPECT_NE(shortInfo.out.find("  format   raw 48 bytes, 6-bit\n  depth    6-bit\n  colours  16\n"), std::string::npos)
      << shortInfo.out;
  EXPECT_NE(info.out.find("    13  256 colours, first #0d000d, brightest #0dfbfe\n"), std::string::npos) << info.out;

  const std::string gpl = dir.Path("thirteen.gpl");
  const testing::ProgramRun convert = testing::RunProgram(pal::RunPal, {"convert", playpal, gpl, "--to", "gpl", "--index", "13"});
  EXPECT_EQ(convert.status, 0) << convert.err;
  const PaletteReadResult read = ReadPaletteFile(gpl);
  EXPECT_EQ(read.file.colours[5], (Rgb8{13, 5, 28}));
  const testing::ProgramRun past = testing::RunProgram(pal::RunPal, {"convert", playpal, gpl, "--to", "gpl", "--index", "14"});
  EXPECT_EQ(past.status, 1);
  EXPECT_NE(past.err.find("palette 14 is asked for; the file holds 14, 0..13"), std::string::npos) << past.err;
}

}  // namespace
}  // namespace quorvel
