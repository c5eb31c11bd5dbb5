// Writes an animated GIF whose frames each carry their own 256-colour table, encoding on a
// thread of its own (in a web page, which has none, as each frame is put). Internal to
// the display: the recorder uses it.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "display/files.hpp"
#include "display/lines.hpp"

struct GifFileType;
struct ColorMapObject;

namespace quorvel::detail {

// A GIF delay is a 16-bit count of hundredths of a second: 655.35 s at most.
constexpr int64_t kMaxGifDelayCs = 65535;
constexpr double kMaxGifDelayMs = kMaxGifDelayCs * 10.0;

struct GifFrame {
  std::vector<uint8_t> pixels;          // width * height palette indices, row by row
  std::array<uint32_t, 256> colours{};  // 0xRRGGBB
  int32_t delayCs = 0;                  // 0..65535 hundredths of a second
  // Palettes per line over `colours`, or null; row r of the frame is the screen's line
  // firstLine + r * lineStep.
  std::shared_ptr<const LineList> lines;
  int32_t firstLine = 0;
  int32_t lineStep = 1;
};

class GifWriter {
 public:
  GifWriter() = default;
  ~GifWriter();
  GifWriter(const GifWriter&) = delete;
  GifWriter& operator=(const GifWriter&) = delete;

  // Starts a new file that is to replace `path` (see NewFile), writes its header (a screen
  // of width x height that loops for ever) and starts the encoding thread. Returns "" or
  // why it failed, with nothing left behind.
  std::string Open(const std::string& path, int32_t width, int32_t height);
  // Queues a frame of the opened size, waiting while the queue is full, and returns a
  // pixel buffer the writer is done with (empty when it has none) for the caller to reuse.
  std::vector<uint8_t> Put(GifFrame frame);
  // True once a write failed; frames put after that are dropped.
  bool Failed() const { return failed_.load(std::memory_order_acquire); }
  // Writes what is queued, stops the thread and, when everything was written, puts the
  // file in place of the one it replaces. Returns "" or the first error; then the file
  // replaced is as it was and the new one gone. Does nothing when not open.
  std::string Close();

 private:
  // Frames waiting at most: enough to ride out a slow write, little memory (300 KB each).
  static constexpr size_t kMaxQueued = 4;

  void Encode();
  bool Write(GifFrame& frame);
  // Keeps the error of the write that failed and drops what is queued (mutex_ held).
  void KeepWriteError();

  NewFile file_;  // written by giflib through the encoding thread
  GifFileType* gif_ = nullptr;
  ColorMapObject* colourMap_ = nullptr;  // reused for every frame; giflib copies it
  int32_t width_ = 0;
  int32_t height_ = 0;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<GifFrame> queue_;               // guarded by mutex_
  std::vector<std::vector<uint8_t>> spare_;  // guarded by mutex_
  bool closing_ = false;                     // guarded by mutex_
  std::string error_;                        // guarded by mutex_
  std::atomic<bool> failed_{false};
  bool saidApproximate_ = false;  // the encoding thread's: a frame was not exact
  std::thread thread_;
};

// Gives a frame with palettes per line one table of 256 colours and its pixels indices
// into it, dropping the lines: exact when the frame shows 256 colours or fewer; else
// each colour becomes the nearest of 256 chosen by median cut, and it returns false.
bool FlattenLines(GifFrame& frame, int32_t width, int32_t height);

}  // namespace quorvel::detail
