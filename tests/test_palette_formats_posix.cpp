// Palette files through calls only POSIX systems have: FIFOs, sockets and devices refused
// at once, a write cut short by the file size limit, file modes, another user (fork) and
// symbolic links. The portable cases are in test_palette_formats.cpp.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <quorvel/formats.hpp>
#include "tests/support/palette_files.hpp"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::TempDir;

constexpr auto& B = testing::TextBytes;
constexpr auto& Sample = testing::SamplePalette;

TEST(PaletteFormats, FilesThatWouldHangOrFloodAreRefusedAtOnce) {
  TempDir dir;
  const std::string fifo = dir.Path("fifo.gpl");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string big = dir.Path("big.gpl");
  fs::resize_file(dir.Write("big.gpl", B("GIMP Palette\n")), kMaxPaletteFileBytes + 1);
  fs::create_directory(dir.Path("folder.gpl"));
  const std::string socket = dir.Path("socket.gpl");
  const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socket.size(), sizeof address.sun_path);
  std::copy(socket.begin(), socket.end(), address.sun_path);
  ASSERT_EQ(::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  const struct {
    std::string path, error;
  } cases[] = {{fifo, fifo + ": is a FIFO, not a file"},
               {socket, socket + ": is a socket, not a file"},
               {"/dev/zero", "/dev/zero: is a device, not a file"},
               {dir.Path("folder.gpl"), dir.Path("folder.gpl") + ": is a directory, not a file"},
               {big, big + ": is 4194305 bytes; at most 4194304 are read"},
               {dir.Path("none.gpl"), dir.Path("none.gpl") + ": no such file"}};
  for (const auto& c : cases) {
    const PaletteReadResult read = ReadPaletteFile(c.path);
    EXPECT_EQ(read.error, c.error);
    EXPECT_EQ(read.file.count, 0);
  }
  ::close(listening);
  // The largest file read is read.
  Bytes largest = B("GIMP Palette\n1 2 3\n#");
  largest.resize(size_t(kMaxPaletteFileBytes) - 1, 'x');
  largest.push_back('\n');
  const PaletteReadResult read = ReadPaletteFile(dir.Write("largest.gpl", largest));
  EXPECT_TRUE(read.ok()) << read.error;
  EXPECT_EQ(read.file.count, 1);
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_FALSE(fs::exists(dir.Path("none.gpl")));
}

// A write that fails part-way (here the file size limit stops it) leaves the old file as
// it was and no temporary file behind.
TEST(PaletteFormats, AFailedWriteLeavesTheOldFileAndNothingElse) {
  TempDir dir;
  const std::string path = dir.Write("keep.gpl", B("GIMP Palette\n1 2 3\n"));
  ::chmod(path.c_str(), 0640);
  struct rlimit old;
  ::getrlimit(RLIMIT_FSIZE, &old);
  auto* oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 100;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const PaletteWriteResult failed = WritePaletteFile(path, Sample(256), PaletteFormat::Gpl);
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(failed.ok());
  EXPECT_EQ(failed.error.rfind(path + ": cannot write it", 0), 0u) << failed.error;
  EXPECT_EQ(ReadPaletteFile(path).file.count, 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path("")), fs::directory_iterator()), 1);

  // A good write replaces the file and keeps its permissions; a folder is never replaced.
  ASSERT_TRUE(WritePaletteFile(path, Sample(256), PaletteFormat::Gpl).ok());
  EXPECT_EQ(ReadPaletteFile(path).file.count, 256);
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms(0640));
  fs::create_directory(dir.Path("folder"));
  EXPECT_EQ(WritePaletteFile(dir.Path("folder"), Sample(1), PaletteFormat::Hex).error,
            dir.Path("folder") + ": is a directory, not a file");
  EXPECT_FALSE(WritePaletteFile(dir.Path("x.aco"), Sample(1), PaletteFormat::Aco).ok());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path("")), fs::directory_iterator()), 2);
  // A name of the longest length a file may have is written like any other.
  const std::string longest = dir.Path(std::string(251, 'n') + ".gpl");
  const PaletteWriteResult written = WritePaletteFile(longest, Sample(3), PaletteFormat::Gpl);
  EXPECT_TRUE(written.ok()) << written.error;
  EXPECT_EQ(ReadPaletteFile(longest).file.count, 3);
  // A name the new file would take that is already taken (left by an earlier process of
  // the same number) is passed over and left alone.
  const std::string taken = dir.Write(".quorvel-" + std::to_string(::getpid()) + "-0.tmp", B("left over"));
  const PaletteWriteResult beside = WritePaletteFile(path, Sample(5), PaletteFormat::Gpl);
  EXPECT_TRUE(beside.ok()) << beside.error;
  EXPECT_EQ(ReadPaletteFile(path).file.count, 5);
  EXPECT_EQ(fs::file_size(taken), 9u);
}

// A file is replaced only where this user could have written it, and one with no write
// bit at all not even by root, who could; a symbolic link is replaced itself.
TEST(PaletteFormats, WritesReplaceOnlyWhatTheUserMayWriteAndNeverWriteThroughALink) {
  TempDir dir;
  const Bytes kept = B("GIMP Palette\n1 2 3\n");
  const std::string readOnly = dir.Write("read-only.gpl", kept);
  ::chmod(readOnly.c_str(), 0444);
  EXPECT_EQ(WritePaletteFile(readOnly, Sample(4), PaletteFormat::Gpl).error,
            readOnly + ": is read-only (mode 0444), so it is not replaced");
  EXPECT_EQ(ReadPaletteFile(readOnly).file.count, 1);

  // Writable by its mode, but not by this user: the owner's bits deny the owner, or (as
  // root) the file is root's and the writer another user, in a folder anyone may write.
  const std::string notMine = dir.Write("not-mine.gpl", kept);
  const auto tryAsWriter = [&] {
    const PaletteWriteResult fresh = WritePaletteFile(dir.Path("fresh.gpl"), Sample(4), PaletteFormat::Gpl);
    const PaletteWriteResult refused = WritePaletteFile(notMine, Sample(4), PaletteFormat::Gpl);
    return fresh.ok() && refused.error == notMine + ": may not be written, so it is not replaced: Permission denied";
  };
  if (::geteuid() != 0) {
    ::chmod(notMine.c_str(), 0464);
    EXPECT_TRUE(tryAsWriter());
  } else {
    ::chmod(dir.Path("").c_str(), 0777);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const bool nobody = ::setgid(65534) == 0 && ::setuid(65534) == 0;
      ::_exit(!nobody ? 2 : tryAsWriter() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other user's writes went wrong";
    EXPECT_TRUE(fs::exists(dir.Path("fresh.gpl")));
    // Any write bit lets root replace a file, as the system lets root write it.
    const std::string groupWritable = dir.Write("group-writable.gpl", kept);
    ::chmod(groupWritable.c_str(), 0464);
    const PaletteWriteResult written = WritePaletteFile(groupWritable, Sample(4), PaletteFormat::Gpl);
    EXPECT_TRUE(written.ok()) << written.error;
    EXPECT_EQ(fs::status(groupWritable).permissions() & fs::perms::all, fs::perms(0464));
  }
  EXPECT_EQ(ReadPaletteFile(notMine).file.count, 1);

  // Links: replaced themselves when they lead to a file or nowhere; what a link leads to is
  // never written, and one that leads to a file that could not be written is refused.
  const std::string other = dir.Write("other.gpl", kept);
  fs::create_symlink(other, dir.Path("link.gpl"));
  fs::create_symlink(dir.Path("nothing.gpl"), dir.Path("dangling.gpl"));
  fs::create_symlink(readOnly, dir.Path("to-read-only.gpl"));
  for (const char* name : {"link.gpl", "dangling.gpl"}) {
    const PaletteWriteResult written = WritePaletteFile(dir.Path(name), Sample(4), PaletteFormat::Gpl);
    EXPECT_TRUE(written.ok()) << written.error;
    EXPECT_FALSE(fs::is_symlink(dir.Path(name))) << name;
    EXPECT_EQ(ReadPaletteFile(dir.Path(name)).file.count, 4) << name;
  }
  EXPECT_EQ(ReadPaletteFile(other).file.count, 1);
  EXPECT_FALSE(fs::exists(dir.Path("nothing.gpl")));
  EXPECT_EQ(WritePaletteFile(dir.Path("to-read-only.gpl"), Sample(4), PaletteFormat::Gpl).error,
            dir.Path("to-read-only.gpl") + ": is read-only (mode 0444), so it is not replaced");
  EXPECT_TRUE(fs::is_symlink(dir.Path("to-read-only.gpl")));
  // Nothing was left behind by the writes refused.
  for (const auto& entry : fs::directory_iterator(dir.Path(""))) {
    EXPECT_EQ(entry.path().extension(), ".gpl") << entry.path();
  }
}

}  // namespace
}  // namespace quorvel
