// File names are UTF-8 on every system, and a file is replaced whole by renaming, on every
// system: these run on Linux and under Wine alike.
#include <gtest/gtest.h>

#include <filesystem>

#include <quorvel/display.hpp>
#include <quorvel/formats.hpp>
#include "tests/support/palette_files.hpp"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

// "palette-ÿ-αβ-日本.gpl": Latin-1, Greek and CJK, so no single-byte code page holds it.
const std::u8string kName = u8"palette-\u00ff-\u03b1\u03b2-\u65e5\u672c.gpl";

std::string Utf8(const std::u8string& text) { return {text.begin(), text.end()}; }

PaletteFile OneColour(Rgb8 colour) {
  PaletteFile file;
  file.count = 1;
  file.colours[0] = colour;
  return file;
}

TEST(FileNames, NonAsciiNamesAreWrittenReplacedAndReadUnderTheirOwnName) {
  testing::TempDir dir;
  const std::string path = dir.Path("") + Utf8(kName);
  ASSERT_TRUE(WritePaletteFile(path, OneColour({255, 0, 0}), PaletteFormat::Gpl).ok());
  const PaletteWriteResult second = WritePaletteFile(path, OneColour({0, 0, 255}), PaletteFormat::Gpl);
  ASSERT_TRUE(second.ok()) << second.error;

  // One file, of the second palette, under exactly the name given: nothing left beside it
  // and no name mangled through a code page on the way.
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(dir.Path("")))) {
    names.push_back(Utf8(entry.path().filename().u8string()));
  }
  EXPECT_EQ(names, std::vector<std::string>{Utf8(kName)});
  const PaletteReadResult read = ReadPaletteFile(path);
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_EQ(read.file.colours[0], (Rgb8{0, 0, 255}));

  // The file table opens it by the same name.
  const int32_t number = FreeFileNumber();
  ASSERT_EQ(OpenFile(path, number, FileAccess::ReadOnly), FileResult::Ok);
  char head[12] = {};
  int32_t got = 0;
  EXPECT_EQ(ReadFileBytes(number, head, 12, &got), FileResult::Ok);
  CloseFile(number);
  EXPECT_EQ(std::string(head, size_t(got)), "GIMP Palette");
}

TEST(FileNames, FoldersAndReadOnlyFilesAreNeitherReadNorReplaced) {
  testing::TempDir dir;
  const std::string folder = dir.Path("") + Utf8(u8"d\u00e9j\u00e0");
  fs::create_directory(fs::path(std::u8string(folder.begin(), folder.end())));
  std::vector<uint8_t> bytes;
  EXPECT_NE(ReadSmallFile(folder, 1024, bytes).find("is a directory"), std::string::npos);
  EXPECT_NE(WritePaletteFile(folder, OneColour({1, 2, 3}), PaletteFormat::Gpl).error.find("directory"),
            std::string::npos);

  const std::string locked = dir.Path("") + Utf8(kName);
  ASSERT_TRUE(WritePaletteFile(locked, OneColour({255, 0, 0}), PaletteFormat::Gpl).ok());
  const fs::path lockedPath = fs::path(dir.Path("")) / kName;
  fs::permissions(lockedPath, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const PaletteWriteResult refused = WritePaletteFile(locked, OneColour({0, 255, 0}), PaletteFormat::Gpl);
  EXPECT_NE(refused.error.find("read-only"), std::string::npos) << refused.error;
  EXPECT_EQ(ReadPaletteFile(locked).file.colours[0], (Rgb8{255, 0, 0}));
  fs::permissions(lockedPath, fs::perms::owner_write, fs::perm_options::add);

  // A device opens at once on Windows; reading it is no file's contents and writing it
  // would lose what was written.
#ifdef _WIN32
  const std::string device = "NUL";
#else
  const std::string device = "/dev/null";
#endif
  EXPECT_NE(ReadSmallFile(device, 1024, bytes).find("is a device"), std::string::npos) << ReadSmallFile(device, 1024, bytes);
  const PaletteWriteResult onDevice = WritePaletteFile(device, OneColour({1, 2, 3}), PaletteFormat::Gpl);
  EXPECT_NE(onDevice.error.find("is a device"), std::string::npos) << onDevice.error;
}

}  // namespace
}  // namespace quorvel
