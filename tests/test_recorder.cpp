// Recording the screen to an animated GIF, read back with giflib: which frames, how long
// each shows, and that every pixel's colour is the one the screen showed.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <csignal>

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numeric>

#include <quorvel/display.hpp>
#include <quorvel/palette.hpp>
#include <quorvel/recorder.hpp>
#include "tests/support/recorder.hpp"

namespace quorvel {
namespace {

using testing::HeadlessScreen;

struct GifFrame {
  int32_t width = 0;
  int32_t height = 0;
  int32_t delayCs = 0;
  std::vector<uint8_t> indices;
  std::array<uint32_t, 256> colours{};  // the frame's own colour table, 0xRRGGBB

  std::vector<uint32_t> Pixels() const {
    std::vector<uint32_t> pixels;
    for (const uint8_t index : indices) pixels.push_back(colours[index]);
    return pixels;
  }
};

// True when the extensions before the first image hold NETSCAPE2.0 with a loop count of 0.
bool LoopsForEver(const SavedImage& first) {
  for (int i = 0; i + 1 < first.ExtensionBlockCount; ++i) {
    const ExtensionBlock& app = first.ExtensionBlocks[i];
    const ExtensionBlock& data = first.ExtensionBlocks[i + 1];
    if (app.Function == APPLICATION_EXT_FUNC_CODE && app.ByteCount == 11 &&
        std::equal(app.Bytes, app.Bytes + 11, "NETSCAPE2.0") && data.ByteCount == 3) {
      return data.Bytes[0] == 1 && data.Bytes[1] == 0 && data.Bytes[2] == 0;
    }
  }
  return false;
}

// Every recording is also checked for what any viewer needs: a GIF89a header (delays need
// it), a screen the size of its frames, and the loop for ever.
std::vector<GifFrame> ReadGif(const std::string& path) {
  char version[7] = {};
  std::ifstream(path, std::ios::binary).read(version, 6);
  EXPECT_STREQ(version, "GIF89a") << path;
  int error = 0;
  std::unique_ptr<GifFileType, void (*)(GifFileType*)> gif(
      DGifOpenFileName(path.c_str(), &error), [](GifFileType* g) { DGifCloseFile(g, nullptr); });
  if (!gif || DGifSlurp(gif.get()) != GIF_OK) {
    ADD_FAILURE() << path << " is not a GIF that giflib reads";
    return {};
  }
  EXPECT_TRUE(gif->ImageCount > 0 && LoopsForEver(gif->SavedImages[0])) << path;
  std::vector<GifFrame> frames;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    EXPECT_EQ(image.ImageDesc.Width, gif->SWidth) << "frame " << i;
    EXPECT_EQ(image.ImageDesc.Height, gif->SHeight) << "frame " << i;
    GifFrame frame{image.ImageDesc.Width, image.ImageDesc.Height, 0, {}, {}};
    GraphicsControlBlock control{};
    EXPECT_EQ(DGifSavedExtensionToGCB(gif.get(), i, &control), GIF_OK);
    frame.delayCs = control.DelayTime;
    const ColorMapObject* map = image.ImageDesc.ColorMap;
    EXPECT_NE(map, nullptr) << "frame " << i << " has no colour table of its own";
    if (!map) return {};
    EXPECT_EQ(map->ColorCount, 256);
    for (int c = 0; c < map->ColorCount && c < 256; ++c) {
      const GifColorType rgb = map->Colors[c];
      frame.colours[c] = uint32_t(rgb.Red) << 16 | uint32_t(rgb.Green) << 8 | rgb.Blue;
    }
    frame.indices.assign(image.RasterBits, image.RasterBits + frame.width * frame.height);
    frames.push_back(std::move(frame));
  }
  return frames;
}

// The screen as each pause began, and when.
struct Shown : testing::Recorder {
  void OnSleep(int32_t ms) override {
    testing::Recorder::OnSleep(ms);
    pictures.push_back({VirtualTimeMs(), CaptureFrame()});
  }
  std::vector<std::pair<int64_t, std::vector<uint32_t>>> pictures;
};

// A GIF file in the temporary folder, named after the process too (two runs of the suite
// at once must not share a file), and removed when the test is done with it.
class TempGif {
 public:
  explicit TempGif(const char* name)
      : path_((std::filesystem::path(::testing::TempDir()) /
               (std::to_string(::getpid()) + "-" + name)).string()) {}
  ~TempGif() { std::filesystem::remove(path_); }
  operator const std::string&() const { return path_; }

 private:
  std::string path_;
};

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

// A picture using every register, with rows and columns of different indices.
void DrawAllIndices() {
  for (int32_t y = 0; y < kScreenHeight; y += 2) {
    DrawLine(0, y, kScreenWidth - 1, y, (y / 2) & 255, 0x5A5A);
  }
}

TEST(Recorder, FadeOnVirtualTimeIsEveryPictureForItsTime) {
  HeadlessScreen screen;
  DrawAllIndices();
  const TempGif path("fade.gif");
  Shown shown;
  shown.pictures.push_back({0, CaptureFrame()});
  Recorder recorder;
  const mode_t umask = ::umask(022);
  ASSERT_TRUE(recorder.Start(path)) << recorder.Error();
  ::umask(umask);
  FadeOut::DefaultPal(20);
  ASSERT_TRUE(recorder.Stop()) << recorder.Error();
  EXPECT_FALSE(recorder.Recording());
  // A picture like any other: readable by all unless the umask says otherwise.
  EXPECT_EQ(std::filesystem::status(static_cast<const std::string&>(path)).permissions(),
            std::filesystem::perms(0644));

  // The first pass writes the palette already shown, so 1 + 63 distinct pictures of 20 ms.
  const std::vector<GifFrame> frames = ReadGif(path);
  ASSERT_EQ(frames.size(), 64u);
  EXPECT_EQ(recorder.FrameCount(), 64);
  EXPECT_EQ(recorder.LengthMs(), VirtualTimeMs());
  size_t picture = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].delayCs, 2) << "frame " << i;
    // The pause that showed this frame's picture first.
    while (shown.pictures[picture].first < int64_t(i) * 20) ++picture;
    ASSERT_EQ(frames[i].width, kScreenWidth);
    ASSERT_EQ(frames[i].height, kScreenHeight);
    EXPECT_TRUE(frames[i].Pixels() == shown.pictures[picture].second) << "frame " << i;
  }
  EXPECT_EQ(frames.back().Pixels(), std::vector<uint32_t>(frames.back().indices.size(), 0u));
}

// At 60 frames a second a frame lasts 1 2/3 hundredths, so the delays cannot all be
// equal: each frame must end, in the file, at the hundredth nearest the moment the screen
// stopped showing it, so that no delay is a hundredth off and the total never drifts.
TEST(Recorder, DelaysAtSixtyFramesASecondFollowTheClockFrameByFrame) {
  HeadlessScreen screen;
  const TempGif path("sixty.gif");
  SetPaletteEntryRgb(0, 0, 0, 0);  // the blank screen shows register 0: its red is the frame
  Recorder recorder;
  ASSERT_TRUE(recorder.Start(path, {.maxSeconds = 1})) << recorder.Error();
  std::vector<int64_t> shownAt;  // when the picture of each frame began to show
  RunFrames([&](double nowMs) {
    shownAt.push_back(int64_t(nowMs));
    SetPaletteEntryRgb(0, uint8_t(shownAt.size() - 1), 0, 0);
    return recorder.Recording();
  });
  ASSERT_TRUE(recorder.Stop()) << recorder.Error();
  const auto nearestCs = [](int64_t ms) { return (ms + 5) / 10; };

  const std::vector<GifFrame> frames = ReadGif(path);
  ASSERT_GE(frames.size(), 20u);
  int64_t endCs = 0;
  uint32_t previous = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    const uint32_t picture = frames[i].colours[0] >> 16;
    if (i == 0) {
      EXPECT_EQ(picture, 0u) << "the first frame is the screen at the start";
    } else {
      EXPECT_GT(picture, previous) << "frame " << i;
    }
    previous = picture;
    endCs += frames[i].delayCs;
    if (i + 1 < frames.size()) {
      EXPECT_GE(frames[i].delayCs, 2) << "frame " << i;
      ASSERT_LT(picture + 1, shownAt.size());
      EXPECT_EQ(endCs, nearestCs(shownAt[picture + 1]))
          << "frame " << i << " (picture " << picture << ", replaced at " << shownAt[picture + 1] << " ms)";
    }
  }
  EXPECT_EQ(endCs, 100) << "the last frame ends at the limit";
  EXPECT_EQ(recorder.LengthMs(), 1000);
}

TEST(Recorder, RegionHalfScaleLimitAndBriefPictures) {
  HeadlessScreen screen;
  DrawAllIndices();
  const TempGif path("region.gif");
  Shown shown;
  Recorder recorder;
  // 101 x 51 pixels from (10, 20), every second one of the dashed rows: 51 x 26.
  ASSERT_TRUE(recorder.Start(path, {.x = 10, .y = 20, .width = 101, .height = 51,
                                    .halfScale = true, .maxSeconds = 0.095, .minFrameMs = 25}));
  // A new picture every 3 ms, each too brief to show alone: 25 ms, so 3 hundredths at the
  // least.
  for (int32_t step = 0; step < 60 && recorder.Recording(); ++step) {
    for (int32_t i = 0; i < 256; ++i) SetPaletteEntry(i, (i + step) & 63);
    SleepMs(3);
  }
  EXPECT_FALSE(recorder.Recording()) << "the length limit ends the recording";
  EXPECT_TRUE(recorder.Stop());
  const std::vector<GifFrame> frames = ReadGif(path);
  ASSERT_GE(frames.size(), 2u);
  int32_t total = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].width, 51);
    EXPECT_EQ(frames[i].height, 26);
    if (i + 1 < frames.size()) {
      EXPECT_GE(frames[i].delayCs, 3) << "frame " << i;
    }
    total += frames[i].delayCs;
  }
  EXPECT_EQ(total, 10) << "95 ms round to 10 hundredths";
  // The last frame is the last picture shown before the limit, at 93 ms.
  const auto last = std::find_if(shown.pictures.rbegin(), shown.pictures.rend(),
                                 [](const auto& p) { return p.first < 95; });
  ASSERT_NE(last, shown.pictures.rend());
  const std::vector<uint32_t> pixels = frames.back().Pixels();
  for (int32_t y = 0; y < 26; ++y) {
    for (int32_t x = 0; x < 51; ++x) {
      const uint32_t want = last->second[size_t(20 + 2 * y) * kScreenWidth + 10 + 2 * x];
      ASSERT_EQ(pixels[size_t(y) * 51 + x], want) << x << "," << y;
    }
  }

  // A region reaching past the top left corner is the part on the screen.
  const TempGif corner("corner.gif");
  ASSERT_TRUE(recorder.Start(corner, {.x = -5, .y = -3, .width = 20, .height = 10})) << recorder.Error();
  ASSERT_TRUE(recorder.Stop());
  const std::vector<GifFrame> clipped = ReadGif(corner);
  ASSERT_EQ(clipped.size(), 1u);
  ASSERT_EQ(clipped[0].width, 15);
  ASSERT_EQ(clipped[0].height, 7);
  const std::vector<uint32_t> inCorner = clipped[0].Pixels();
  const std::vector<uint32_t> screenNow = CaptureFrame();
  for (int32_t y = 0; y < 7; ++y) {
    for (int32_t x = 0; x < 15; ++x) {
      ASSERT_EQ(inCorner[size_t(y) * 15 + x], screenNow[size_t(y) * kScreenWidth + x]) << x << "," << y;
    }
  }
}

// The limit ends the recording at the pause that reaches it, and a recording stopped long
// after its limit, with no pause between, still holds just the time asked for.
TEST(Recorder, TheLengthLimitIsTheLengthWhateverThePauses) {
  HeadlessScreen screen;
  const TempGif path("limit.gif");
  Recorder recorder;
  ASSERT_TRUE(recorder.Start(path, {.width = 1, .height = 1, .maxSeconds = 0.1}));
  for (int32_t step = 1; step <= 3; ++step) {
    SetPaletteEntry(0, step);
    SleepMs(50);  // the pauses begin at 0, 50 and 100 ms
  }
  EXPECT_FALSE(recorder.Recording()) << "the pause at 100 ms reached the limit";
  EXPECT_TRUE(recorder.Stop());
  std::vector<GifFrame> frames = ReadGif(path);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].delayCs, 5);
  EXPECT_EQ(frames[1].delayCs, 5);
  EXPECT_EQ(recorder.LengthMs(), 100);

  ASSERT_TRUE(recorder.Start(path, {.width = 1, .height = 1, .maxSeconds = 0.1}));
  SetPaletteEntry(0, 4);
  SleepMs(250);
  ASSERT_TRUE(recorder.Stop());
  frames = ReadGif(path);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].delayCs, 10);
  EXPECT_EQ(recorder.LengthMs(), 100);
}

// A GIF delay holds 655.35 s at most: a picture that shows longer is written again for
// each such span and the rest, so that the file still shows it for its whole time.
TEST(Recorder, APictureLongerThanOneDelayHoldsIsSeveralFrames) {
  HeadlessScreen screen;
  const TempGif path("long.gif");
  Recorder recorder;
  ASSERT_TRUE(recorder.Start(path, {.width = 2, .height = 2}));
  SleepMs(1400 * 1000);
  SetPaletteEntry(0, 63);
  SleepMs(20);
  ASSERT_TRUE(recorder.Stop());
  const std::vector<GifFrame> frames = ReadGif(path);
  ASSERT_EQ(frames.size(), 4u);  // the first before any list
  const int32_t delays[] = {65535, 65535, 140000 - 2 * 65535, 2};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(frames[i].delayCs, delays[i]) << "frame " << i;
    EXPECT_EQ(frames[i].Pixels(), frames[i < 3 ? 0 : 3].Pixels()) << "frame " << i;
  }
  EXPECT_NE(frames[3].Pixels(), frames[0].Pixels());
  EXPECT_EQ(recorder.FrameCount(), 4);
  EXPECT_EQ(recorder.LengthMs(), 1400020);
}

TEST(Recorder, RefusesToStartWithAReason) {
  const TempGif path("refused.gif");
  Recorder recorder;
  SetHeadless(true);
  CloseScreen();
  EXPECT_FALSE(recorder.Start(path));
  EXPECT_NE(recorder.Error().find("no screen is open"), std::string::npos);

  HeadlessScreen screen;
  EXPECT_FALSE(recorder.Start(path, {.x = 640, .width = 10}));
  EXPECT_NE(recorder.Error().find("region"), std::string::npos) << recorder.Error();
  EXPECT_FALSE(recorder.Start(path, {.maxSeconds = -1}));
  // The shortest frame is a number of milliseconds a GIF delay can hold, not one too big
  // to count in hundredths.
  for (const double ms : {9.3e19, 655350.5, -1.0, HUGE_VAL, double(NAN)}) {
    EXPECT_FALSE(recorder.Start(path, {.minFrameMs = ms})) << ms;
    EXPECT_NE(recorder.Error().find("minFrameMs must be 0 to 655350 milliseconds, not "), std::string::npos)
        << recorder.Error();
  }
  EXPECT_NE(recorder.Error().find("not nan"), std::string::npos) << recorder.Error();
  EXPECT_FALSE(std::filesystem::exists(static_cast<const std::string&>(path)));
  ASSERT_TRUE(recorder.Start(path, {.minFrameMs = 655350})) << recorder.Error();
  EXPECT_TRUE(recorder.Stop());
  std::filesystem::remove(static_cast<const std::string&>(path));
  EXPECT_FALSE(recorder.Start(TempGif("no-such-dir/x.gif")));
  EXPECT_NE(recorder.Error().find("no-such-dir"), std::string::npos);

  ASSERT_TRUE(recorder.Start(path)) << recorder.Error();
  Recorder second;
  const TempGif secondPath("second.gif");
  EXPECT_FALSE(second.Start(secondPath));
  EXPECT_NE(second.Error().find("another recorder"), std::string::npos);
  // A picture that never paused did not show: the file holds the one at the start.
  ClearScreen();
  EXPECT_TRUE(recorder.Stop());
  EXPECT_EQ(ReadGif(path).size(), 1u);
  // The screen is free for the next recording.
  EXPECT_TRUE(second.Start(secondPath)) << second.Error();
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


// The recorded region of a captured frame: every `step`-th pixel of every `step`-th row.
std::vector<uint32_t> Region(const std::vector<uint32_t>& frame, int32_t x0, int32_t y0,
                             int32_t width, int32_t height, int32_t step) {
  std::vector<uint32_t> region;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      region.push_back(frame[size_t(y0 + y * step) * kScreenWidth + size_t(x0 + x * step)]);
    }
  }
  return region;
}

TEST(Recorder, PalettesPerLineAreExactUpTo256ColoursAndNearestBeyondSaidOnce) {
  HeadlessScreen screen;
  for (int32_t x = 0; x < kScreenWidth; ++x) DrawLine(x, 0, x, kScreenHeight - 1, x / 3, 65535);
  const TempGif path("lines.gif");
  Recorder recorder;
  // Rows 20, 22, ... 118 of the screen at half scale: a change at line 21 shows from the
  // second row recorded on.
  ASSERT_TRUE(recorder.Start(path, {.y = 20, .height = 100, .halfScale = true}));
  LinePalettes few;
  few.Add(21, 10, 0x102030u);
  few.Add(21, 11, 0x102030u);  // two registers, one colour
  few.Add(60, 200, 0xFEDCBAu);
  ASSERT_TRUE(SetLinePalettes(few));
  SleepMs(50);
  const std::vector<uint32_t> exact = Region(CaptureFrame(), 0, 20, 320, 50, 2);
  // Then every line a palette of its own: thousands of colours.
  LinePalettes many;
  std::vector<uint32_t> colours(256);
  for (int32_t y = 0; y < kScreenHeight; ++y) {
    for (uint32_t i = 0; i < 256; ++i) colours[i] = (i * 0x000101u + uint32_t(y) * 0x030000u) & 0xFFFFFFu;
    many.Add(y, 0, colours.data(), 256);
  }
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(SetLinePalettes(many));
  SleepMs(50);
  const std::vector<uint32_t> wide = Region(CaptureFrame(), 0, 20, 320, 50, 2);
  many.colours[30 * 256 + 2] ^= 1;  // a third picture, also beyond 256 colours
  ASSERT_TRUE(SetLinePalettes(many));
  SleepMs(50);
  ASSERT_TRUE(recorder.Stop());
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(said, "quorvel: a recorded frame shows more than 256 colours through its palettes per "
                  "line; the GIF holds the nearest of 256 (said once)\n");
  const std::vector<GifFrame> frames = ReadGif(path);
  // The picture before the first list showed for no time and gave way to it.
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].Pixels(), exact);
  // Beyond 256 colours each pixel is near its colour: median cut keeps the error small.
  const std::vector<uint32_t> got = frames[1].Pixels();
  ASSERT_EQ(got.size(), wide.size());
  double error = 0;
  for (size_t i = 0; i < got.size(); ++i) {
    for (int c = 0; c < 3; ++c) error += std::abs(int(got[i] >> (8 * c) & 0xFF) - int(wide[i] >> (8 * c) & 0xFF));
  }
  EXPECT_LT(error / double(got.size() * 3), 4.0);
}

}  // namespace
}  // namespace quorvel
