// The file table through calls only POSIX systems have: FIFOs and devices refused, and a
// file its mode keeps from being written. The portable cases are in test_files.cpp.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <quorvel/display.hpp>
#include "tests/support/palette_files.hpp"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// A FIFO with no writer would block open() forever; a device would read without end.
TEST(Files, FifosAndDevicesAreRefusedAtOnce) {
  TempDir dir;
  const std::string fifo = dir.Path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& name : {fifo, std::string("/dev/zero")}) {
    EXPECT_EQ(OpenFile(name, 1, FileAccess::ReadOnly), FileResult::FileNotFound) << name;
    EXPECT_EQ(OpenFile(name, 1), FileResult::FileNotFound) << name;
  }
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(FreeFileNumber(), 1);
}

TEST(Files, BinaryOpenOfAnUnwritableFileFallsBackToReading) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
  TempDir dir;
  const std::string name = dir.Write("ro", {'x', 'y', 'z'});
  fs::permissions(name, fs::perms::owner_read);
  ASSERT_EQ(OpenFile(name, 1), FileResult::Ok);
  char c = 0;
  ReadFileBytes(1, &c, 1);
  EXPECT_EQ(c, 'x');
  CloseFile(1);
}

}  // namespace
}  // namespace quorvel
