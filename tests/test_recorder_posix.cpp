// Recording through what only POSIX systems have: the environment set by setenv, the
// umask and file modes, FIFOs, devices, symbolic links and a file size limit standing in
// for a full disk. The portable cases are in test_recorder.cpp.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <quorvel/display.hpp>
#include <quorvel/palette.hpp>
#include <quorvel/recorder.hpp>
#include "tests/support/recorded_gifs.hpp"
#include "tests/support/recorder.hpp"

namespace quorvel {
namespace {

using testing::DrawAllIndices;
using testing::GifFrame;
using testing::HeadlessScreen;
using testing::ReadGif;

// A folder of the test's own, to see that nothing is left in it but what should be.
struct TempFolder {
  std::filesystem::path path = std::filesystem::path(::testing::TempDir()) /
                               ("quorvel-recorder-" + std::to_string(::getpid()));
  TempFolder() { std::filesystem::create_directories(path); }
  ~TempFolder() { std::filesystem::remove_all(path); }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

// The file size limit makes writes fail part-way, as a full disk does.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    handler_ = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = old_;
    limit.rlim_cur = bytes;
    EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    ::signal(SIGXFSZ, handler_);
  }

 private:
  struct rlimit old_;
  void (*handler_)(int);
};

// A picture like any other: readable by all unless the umask says otherwise.
TEST(Recorder, ARecordingIsReadableByAllUnlessTheUmaskSaysOtherwise) {
  HeadlessScreen screen;
  TempFolder folder;
  const std::string path = folder / "fade.gif";
  Recorder recorder;
  const mode_t umask = ::umask(022);
  ASSERT_TRUE(recorder.Start(path)) << recorder.Error();
  ::umask(umask);
  FadeOut::DefaultPal(20);
  ASSERT_TRUE(recorder.Stop()) << recorder.Error();
  EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0644));
}

// What QUORVEL_RECORD's companions hold is a number in range, or the program is told.
TEST(Recorder, TheEnvironmentsNumbersAreCheckedWithAMessage) {
  TempFolder folder;
  const std::string path = folder / "env.gif";
  ::setenv("QUORVEL_RECORD", path.c_str(), 1);
  const struct {
    const char* variable;
    const char* value;
    const char* message;
  } cases[] = {
      {"QUORVEL_RECORD_FRAME_MS", "9.3e19", "QUORVEL_RECORD_FRAME_MS must be 0 to 655350 milliseconds, not \"9.3e19\""},
      {"QUORVEL_RECORD_FRAME_MS", "20ms", "QUORVEL_RECORD_FRAME_MS must be 0 to 655350 milliseconds, not \"20ms\""},
      {"QUORVEL_RECORD_SECONDS", "2abc", "QUORVEL_RECORD_SECONDS must be a number of seconds above 0, not \"2abc\""},
      {"QUORVEL_RECORD_SECONDS", "inf", "QUORVEL_RECORD_SECONDS must be a number of seconds above 0, not \"inf\""},
      {"QUORVEL_RECORD_SECONDS", "0", "QUORVEL_RECORD_SECONDS must be a number of seconds above 0, not \"0\""},
  };
  for (const auto& c : cases) {
    ::setenv(c.variable, c.value, 1);
    EXPECT_FALSE(OpenScreen(18, 8, 1, 0)) << c.variable << "=" << c.value;
    EXPECT_EQ(ScreenError(), c.message);
    ::unsetenv(c.variable);
  }
  ::setenv("QUORVEL_RECORD_FRAME_MS", "40", 1);
  EXPECT_TRUE(OpenScreen(18, 8, 1, 0)) << ScreenError();
  CloseScreen();
  ::unsetenv("QUORVEL_RECORD_FRAME_MS");
  std::vector<GifFrame> frames = ReadGif(path);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].width, kScreenWidth);
  // Half scale only when asked.
  ::setenv("QUORVEL_RECORD_HALF", "1", 1);
  EXPECT_TRUE(OpenScreen(18, 8, 1, 0)) << ScreenError();
  CloseScreen();
  ::unsetenv("QUORVEL_RECORD_HALF");
  ::unsetenv("QUORVEL_RECORD");
  SetVirtualTime(false);
  frames = ReadGif(path);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].width, kScreenWidth / 2);
}

TEST(Recorder, AFailedWriteIsReportedAndEndsTheRecordingWithTheOldFileKept) {
  HeadlessScreen screen;
  DrawAllIndices();
  TempFolder folder;
  const std::string path = folder / "keep.gif";
  Recorder recorder;
  ASSERT_TRUE(recorder.Start(path, {.width = 8, .height = 8})) << recorder.Error();
  ASSERT_TRUE(recorder.Stop()) << recorder.Error();
  const auto size = std::filesystem::file_size(path);
  {
    const FileSizeLimit limit(100 * 1024);
    ASSERT_TRUE(recorder.Start(path)) << recorder.Error();
    for (int32_t step = 0; step < 200 && recorder.Recording(); ++step) {
      SetPaletteEntry(1, step);
      SleepMs(20);
    }
    EXPECT_FALSE(recorder.Recording()) << "the failed write ends the recording";
    EXPECT_FALSE(recorder.Stop());
  }
  EXPECT_FALSE(recorder.Recording());
  EXPECT_EQ(recorder.Error().rfind("recording to " + path + ": cannot write it: ", 0), 0u)
      << recorder.Error();
  // The old recording is there as it was, and nothing else.
  EXPECT_EQ(std::filesystem::file_size(path), size);
  EXPECT_EQ(ReadGif(path).size(), 1u);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"keep.gif"});
}

// Only a new name or a file the user may write is recorded to, and the file is replaced,
// never written through: nothing else is touched, nothing waits, nothing is left behind.
TEST(Recorder, RecordsOnlyWhereAFileMayBeReplaced) {
  HeadlessScreen screen;
  TempFolder folder;
  const std::string fifo = folder / "fifo.gif";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  // A reader, so that a writer's open would not wait for one.
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  const std::string readOnly = folder / "read-only.gif";
  std::ofstream(readOnly) << "not to be replaced";
  ::chmod(readOnly.c_str(), 0444);
  std::filesystem::create_directory(folder / "folder.gif");
  std::filesystem::create_symlink("/dev/null", folder / "null.gif");
  const struct {
    std::string path;
    const char* why;
  } refused[] = {{fifo, "is a FIFO, not a file"},
                 {"/dev/null", "is a device, not a file"},
                 {folder / "null.gif", "leads to a device, not a file"},
                 {folder / "folder.gif", "is a directory, not a file"},
                 {readOnly, "is read-only (mode 0444), so it is not replaced"}};
  Recorder recorder;
  for (const auto& r : refused) {
    EXPECT_FALSE(recorder.Start(r.path, {.width = 1, .height = 1})) << r.path;
    EXPECT_EQ(recorder.Error(), "cannot record to " + r.path + ": " + r.why);
    recorder.Stop();
  }
  ::close(reader);
  char text[32] = {};
  std::ifstream(readOnly).read(text, sizeof text - 1);
  EXPECT_STREQ(text, "not to be replaced");

  // A symbolic link is replaced itself: the file it led to keeps what it held.
  const std::string other = folder / "other.txt";
  std::ofstream(other) << "someone else's";
  std::filesystem::create_symlink(other, folder / "link.gif");
  ASSERT_TRUE(recorder.Start(folder / "link.gif", {.width = 4, .height = 4})) << recorder.Error();
  ASSERT_TRUE(recorder.Stop()) << recorder.Error();
  EXPECT_FALSE(std::filesystem::is_symlink(folder / "link.gif"));
  EXPECT_EQ(ReadGif(folder / "link.gif").size(), 1u);
  EXPECT_EQ(std::filesystem::file_size(other), 14u);

  // The target is looked at again when the recording ends: one made read-only meanwhile
  // is kept as it is, and the recording fails.
  const std::string late = folder / "late.gif";
  ASSERT_TRUE(recorder.Start(late, {.width = 1, .height = 1})) << recorder.Error();
  std::ofstream(late) << "made meanwhile";
  ::chmod(late.c_str(), 0444);
  EXPECT_FALSE(recorder.Stop());
  EXPECT_EQ(recorder.Error(), "recording to " + late + ": is read-only (mode 0444), so it is not replaced");
  EXPECT_EQ(std::filesystem::file_size(late), 14u);
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"fifo.gif", "folder.gif", "late.gif", "link.gif",
                                                      "null.gif", "other.txt", "read-only.gif"}));
}

}  // namespace
}  // namespace quorvel
