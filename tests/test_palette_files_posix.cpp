// Palette files through calls only POSIX systems have: FIFOs and devices, which give no
// bytes a palette could hold, and file modes. The portable cases are in
// test_palette_files.cpp.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <quorvel/display.hpp>
#include <quorvel/palette.hpp>
#include "tests/support/palette_files.hpp"
#include "tests/support/palette_loads.hpp"
#include "tests/support/recorder.hpp"

namespace quorvel {
namespace {

using testing::Bytes;
using testing::ExpectStatus;
using testing::HeadlessScreen;
using testing::LoadFilePal;
using testing::LoadPP256Pal;
using testing::Packed;
using testing::TempDir;

// A FIFO with no writer would block a read for ever and a device would read without end:
// both loaders give black at once and say why, and the FIFO stays as it was.
TEST(PaletteFileErrors, FifosAndDevicesGiveBlackAtOnce) {
  HeadlessScreen screen;
  TempDir dir;
  const std::string fifo = dir.Path("fifo.pal");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::vector<int32_t> black(256, 0);
  for (const std::string& name : {fifo, std::string("/dev/zero")}) {
    EXPECT_EQ(LoadFilePal(name), black) << name;
    ExpectStatus(PaletteFileError::Unreadable, name, 0);
    EXPECT_EQ(LoadPP256Pal(name), black) << name;
    ExpectStatus(PaletteFileError::Unreadable, name, 0);
  }
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_EQ(FreeFileNumber(), 1);
}

TEST(PaletteFileErrors, UnreadableFileAndReadOnlyFile) {
  HeadlessScreen screen;
  TempDir dir;
  const std::string locked = dir.Write("locked.pal", Bytes(768, 20));
  const std::string readOnly = dir.Write("readonly.pal", Bytes(768, 20));
  ::chmod(locked.c_str(), 0);
  ::chmod(readOnly.c_str(), 0444);
  // A read-only palette loads as any other.
  EXPECT_EQ(LoadFilePal(readOnly), std::vector<int32_t>(256, Packed(20, 20, 20)));
  if (::geteuid() == 0) GTEST_SKIP() << "root reads files without permission";
  EXPECT_EQ(LoadFilePal(locked), std::vector<int32_t>(256, 0));
  ExpectStatus(PaletteFileError::Unreadable, locked, 0);
}

}  // namespace
}  // namespace quorvel
