// Palette files: the two byte layouts, short and long files, files that cannot be read,
// and the file numbers a read borrows. FIFOs, devices and file modes are in
// test_palette_files_posix.cpp.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include <quorvel/display.hpp>
#include <quorvel/palette.hpp>
#include "palette/tables.hpp"
#include "tests/support/palette_files.hpp"
#include "tests/support/palette_loads.hpp"
#include "tests/support/recorder.hpp"

namespace quorvel {
namespace {

using detail::ColorTable;
using detail::Rgb;
using testing::Bytes;
using testing::ExpectStatus;
using testing::HeadlessScreen;
using testing::LoadFilePal;
using testing::LoadPP256Pal;
using testing::Packed;
using testing::TempDir;

TEST(PaletteFileLayout, FilePalRecordsAreRedGreenBlueBytes) {
  HeadlessScreen screen;
  TempDir dir;
  Bytes bytes;
  for (int i = 0; i < 256; ++i) {
    bytes.insert(bytes.end(), {uint8_t(i % 64), uint8_t(3 * i % 64), uint8_t(63 - i % 64)});
  }
  const std::string name = dir.Write("pattern.pal", bytes);
  const auto colours = LoadFilePal(name);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(colours[i], Packed(i % 64, 3 * i % 64, 63 - i % 64)) << i;
  }
  ExpectStatus(PaletteFileError::None, name, 768);

  // Extra bytes change nothing and count as a complete file.
  Bytes longer = bytes;
  longer.resize(900, 0x3F);
  const std::string longName = dir.Write("long.pal", longer);
  EXPECT_EQ(LoadFilePal(longName), colours);
  ExpectStatus(PaletteFileError::None, longName, 768);
}

TEST(PaletteFileLayout, PP256RecordsAreLittleEndianPalColors) {
  HeadlessScreen screen;
  TempDir dir;
  Bytes bytes(1024, 0);
  const Bytes record = {0x15, 0x2A, 0x3F, 0x00};
  std::copy(record.begin(), record.end(), bytes.begin() + 4 * 7);
  const std::string name = dir.Write("one.pal", bytes);
  EXPECT_EQ(detail::ReadPP256PalTable(name)[7], (Rgb{21, 42, 63}));
  const auto colours = LoadPP256Pal(name);
  EXPECT_EQ(colours[7], Packed(21, 42, 63));
  EXPECT_EQ(colours[6], 0);
  ExpectStatus(PaletteFileError::None, name, 1024);

  Bytes longer = bytes;
  longer.push_back(0xFF);
  EXPECT_EQ(LoadPP256Pal(dir.Write("long.pal", longer)), colours);
}

// Blue takes the whole upper half, sign included, and the loader writes back exactly the
// value stored, however malformed.
TEST(PaletteFileLayout, PP256UpperBytesGoToBlue) {
  HeadlessScreen screen;
  TempDir dir;
  const uint32_t values[] = {0xFFFFFFFFu, 0x80000000u, 0x04030201u, 0x7FFFFFFFu, 0x0000FFFFu};
  const Rgb split[] = {
      {255, 255, -1}, {0, 0, -32768}, {1, 2, 0x0403}, {255, 255, 32767}, {255, 255, 0}};
  Bytes bytes;
  for (uint32_t v : values) {
    bytes.insert(bytes.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
  }
  bytes.resize(1024, 0);
  const std::string name = dir.Write("odd.pal", bytes);
  const ColorTable table = detail::ReadPP256PalTable(name);
  const auto colours = LoadPP256Pal(name);
  for (size_t i = 0; i < std::size(values); ++i) {
    EXPECT_EQ(table[i], split[i]) << i;
    EXPECT_EQ(colours[i], static_cast<int32_t>(values[i])) << i;
  }
}

TEST(PaletteFileLayout, ComponentsAreTakenAsTheyAre) {
  HeadlessScreen screen;
  TempDir dir;
  Bytes bytes(768, 0);
  bytes[0] = 64;  // entry 0: red 64, green 1, blue 63
  bytes[1] = 1;
  bytes[2] = 63;
  bytes[3] = 255;
  const std::string name = dir.Write("bright.pal", bytes);
  EXPECT_EQ(detail::ReadFilePalTable(name)[0], (Rgb{64, 1, 63}));
  EXPECT_EQ(detail::ReadFilePalTable(name)[1], (Rgb{255, 0, 0}));
  EXPECT_EQ(LoadFilePal(name)[0], Packed(64, 1, 63));
  // The register keeps six bits of each component: red 64 shows as 0.
  EXPECT_EQ(GetPaletteEntry(0) & 0xFFu, 0u);
  EXPECT_NE(GetPaletteEntry(0) & 0xFF00u, 0u);
}

TEST(PaletteFileLayout, ShortFilesReadAsZerosPastTheirEnd) {
  HeadlessScreen screen;
  TempDir dir;
  Bytes bytes(301);
  for (size_t k = 0; k < bytes.size(); ++k) bytes[k] = uint8_t(1 + k % 63);
  const std::string name = dir.Write("short.pal", bytes);
  const ColorTable table = detail::ReadFilePalTable(name);
  ExpectStatus(PaletteFileError::Short, name, 301);
  for (size_t i = 0; i < 100; ++i) {
    EXPECT_EQ(table[i], (Rgb{bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]})) << i;
  }
  EXPECT_EQ(table[100], (Rgb{bytes[300], 0, 0}));
  for (size_t i = 101; i < 256; ++i) EXPECT_EQ(table[i], Rgb{}) << i;

  // A PP256 record cut short keeps the bytes it has; the missing high bytes are 0.
  Bytes pp(1023, 0);
  pp[4 * 255] = 0x11;
  pp[4 * 255 + 1] = 0x22;
  pp[4 * 255 + 2] = 0x33;
  const std::string ppName = dir.Write("short256.pal", pp);
  EXPECT_EQ(detail::ReadPP256PalTable(ppName)[255], (Rgb{0x11, 0x22, 0x33}));
  ExpectStatus(PaletteFileError::Short, ppName, 1023);
  pp.resize(6);
  pp[4] = 0x2A;
  pp[5] = 0x80;
  const ColorTable cut = detail::ReadPP256PalTable(dir.Write("six.pal", pp));
  EXPECT_EQ(cut[1], (Rgb{0x2A, 0x80, 0}));
  EXPECT_EQ(cut[2], Rgb{});
}

// Every name that supplies no bytes gives black through both loaders, says why, and
// leaves the disk as it was.
TEST(PaletteFileErrors, NothingToReadGivesBlackAndNothingOnDisk) {
  HeadlessScreen screen;
  TempDir dir;
  std::filesystem::create_directory(dir.Path("folder"));
  const std::string plain = dir.Write("plain.pal", Bytes(768, 9));
  const std::string empty = dir.Write("empty.pal", {});
  const struct {
    std::string name;
    PaletteFileError error;
  } cases[] = {{dir.Path("missing.pal"), PaletteFileError::Missing},
               {dir.Path("folder"), PaletteFileError::Unreadable},
               {plain + "/inside.pal", PaletteFileError::Missing},
               {"", PaletteFileError::Missing},
               {empty, PaletteFileError::Short}};
  const std::vector<int32_t> black(256, 0);
  for (const auto& c : cases) {
    EXPECT_EQ(LoadFilePal(c.name), black) << c.name;
    ExpectStatus(c.error, c.name, 0);
    EXPECT_EQ(LoadPP256Pal(c.name), black) << c.name;
    ExpectStatus(c.error, c.name, 0);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.Path("missing.pal")));
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path("folder")));
  EXPECT_EQ(std::filesystem::file_size(plain), 768u);
  EXPECT_EQ(std::filesystem::file_size(empty), 0u);
  EXPECT_EQ(FreeFileNumber(), 1);
}

TEST(PaletteFileErrors, NoFreeFileNumberGivesBlack) {
  HeadlessScreen screen;
  TempDir dir;
  const std::string name = dir.Write("grey.pal", testing::PP256PalBytes(detail::SolidTable(5, 5, 5)));
  std::vector<int32_t> taken;
  while (int32_t number = FreeFileNumber()) {
    ASSERT_EQ(OpenFile(name, number, FileAccess::ReadOnly), FileResult::Ok);
    taken.push_back(number);
  }
  EXPECT_EQ(detail::ReadPP256PalTable(name), ColorTable{});
  ExpectStatus(PaletteFileError::Unreadable, name, 0);
  for (int32_t number : taken) CloseFile(number);
  EXPECT_EQ(detail::ReadPP256PalTable(name)[0], (Rgb{5, 5, 5}));
}

TEST(PaletteFileErrors, CallersFilesAndFileNumbersAreLeftAlone) {
  HeadlessScreen screen;
  TempDir dir;
  Bytes own(16);
  for (size_t k = 0; k < own.size(); ++k) own[k] = uint8_t(100 + k);
  const std::string ownName = dir.Write("own.bin", own);
  const std::string pal = dir.Write("pal.pal", Bytes(768, 1));
  ASSERT_EQ(OpenFile(ownName, 1, FileAccess::ReadOnly), FileResult::Ok);
  uint8_t first[5];
  ReadFileBytes(1, first, 5);

  PalLoad::FilePal(pal);
  PalLoad::PP256Pal(ownName);  // even the same file, under a number of its own
  uint8_t next = 0;
  EXPECT_EQ(ReadFileBytes(1, &next, 1), FileResult::Ok);
  EXPECT_EQ(next, 105);
  EXPECT_EQ(FreeFileNumber(), 2);
  CloseFile(1);

  const std::string folder = dir.Path("folder");
  std::filesystem::create_directory(folder);
  for (int call = 0; call < 10000; ++call) {
    const std::string& name = call % 3 == 0 ? pal : call % 3 == 1 ? folder : dir.Path("none");
    if (call % 2) {
      PalLoad::FilePal(name);
    } else {
      PalLoad::PP256Pal(name);
    }
  }
  EXPECT_EQ(FreeFileNumber(), 1);
  EXPECT_FALSE(std::filesystem::exists(dir.Path("none")));
}

TEST(PaletteFileErrors, StatusBelongsToTheCallingThread) {
  TempDir dir;
  const std::string good = dir.Write("good.pal", Bytes(768, 2));
  detail::ReadFilePalTable(good);
  std::thread([&] {
    EXPECT_EQ(LastPaletteFileError().fileName, "");
    detail::ReadFilePalTable(dir.Path("missing.pal"));
    EXPECT_EQ(LastPaletteFileError().error, PaletteFileError::Missing);
  }).join();
  ExpectStatus(PaletteFileError::None, good, 768);
}

}  // namespace
}  // namespace quorvel
