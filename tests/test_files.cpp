// The file table: numbers, the binary open sequence, read-only opens and reads. FIFOs,
// devices and file modes are in test_files_posix.cpp.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include <quorvel/display.hpp>

namespace quorvel {
namespace {

namespace fs = std::filesystem;

struct TempDir {
  fs::path path = fs::temp_directory_path() / ("quorvel-files-" + std::to_string(::getpid()));
  TempDir() { fs::create_directories(path); }
  ~TempDir() {
    CloseFile(0);
    fs::remove_all(path);
  }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path / name, std::ios::binary) << bytes;
    return (path / name).string();
  }
};

TEST(Files, BinaryOpenCreatesAMissingFileAndReadsZeros) {
  TempDir dir;
  const std::string name = (dir.path / "missing.pal").string();
  const int32_t number = FreeFileNumber();
  EXPECT_EQ(number, 1);
  ASSERT_EQ(OpenFile(name, number), FileResult::Ok);
  EXPECT_TRUE(fs::exists(name));
  EXPECT_EQ(FreeFileNumber(), 2);
  std::vector<uint8_t> bytes(768, 0xAB);
  int32_t got = -1;
  EXPECT_EQ(ReadFileBytes(number, bytes.data(), 768, &got), FileResult::Ok);
  EXPECT_EQ(got, 0);
  EXPECT_EQ(bytes, std::vector<uint8_t>(768, 0));
  EXPECT_EQ(CloseFile(number), FileResult::Ok);
  EXPECT_EQ(FreeFileNumber(), 1);
}

TEST(Files, ReadOnlyNeverCreatesOrOpensDirectories) {
  TempDir dir;
  const std::string missing = (dir.path / "nothing").string();
  EXPECT_EQ(OpenFile(missing, 1, FileAccess::ReadOnly), FileResult::FileNotFound);
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_EQ(OpenFile(dir.path.string(), 1, FileAccess::ReadOnly), FileResult::FileNotFound);
  EXPECT_EQ(OpenFile(dir.path.string(), 1), FileResult::FileNotFound);
  EXPECT_EQ(OpenFile("", 1), FileResult::FileNotFound);
  EXPECT_EQ(FreeFileNumber(), 1);  // failed opens leave the number free
}

TEST(Files, SequentialReadsAndShortEnds) {
  TempDir dir;
  const std::string name = dir.Write("five", "\x01\x02\x03\x04\x05");
  ASSERT_EQ(OpenFile(name, 7, FileAccess::ReadOnly), FileResult::Ok);
  uint8_t three[3];
  int32_t got = 0;
  ReadFileBytes(7, three, 3, &got);
  EXPECT_EQ(got, 3);
  EXPECT_EQ(three[2], 3);
  uint8_t four[4] = {9, 9, 9, 9};
  ReadFileBytes(7, four, 4, &got);  // two bytes left, the rest zeros
  EXPECT_EQ(got, 2);
  EXPECT_EQ(four[0], 4);
  EXPECT_EQ(four[1], 5);
  EXPECT_EQ(four[2], 0);
  EXPECT_EQ(four[3], 0);
  CloseFile(7);
}

TEST(Files, BadNumbers) {
  TempDir dir;
  const std::string name = dir.Write("a", "abc");
  uint8_t untouched[2] = {42, 42};
  EXPECT_EQ(ReadFileBytes(3, untouched, 2), FileResult::BadFileNumber);  // not open
  EXPECT_EQ(untouched[0], 42);
  EXPECT_EQ(OpenFile(name, 0), FileResult::BadFileNumber);
  EXPECT_EQ(OpenFile(name, 256), FileResult::BadFileNumber);
  ASSERT_EQ(OpenFile(name, 3), FileResult::Ok);
  EXPECT_EQ(OpenFile(name, 3), FileResult::BadFileNumber);  // in use
  EXPECT_EQ(CloseFile(256), FileResult::BadFileNumber);
  EXPECT_EQ(CloseFile(200), FileResult::Ok);  // closing a free number is no error

  // All 255 numbers in use: none is free until one closes; 0 closes them all.
  for (int32_t n = 1; n <= 255; ++n) {
    if (n == 3) continue;
    ASSERT_EQ(OpenFile(name, n, FileAccess::ReadOnly), FileResult::Ok) << n;
  }
  EXPECT_EQ(FreeFileNumber(), 0);
  CloseFile(100);
  EXPECT_EQ(FreeFileNumber(), 100);
  CloseFile(0);
  EXPECT_EQ(FreeFileNumber(), 1);
}

}  // namespace
}  // namespace quorvel
