// The recorder: at every pause, the visible page and the registers compared with the last
// frame; a changed picture becomes a frame, and the one before it, now that its length is
// known, goes to the GIF writer.
#include <quorvel/recorder.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "display/gif_writer.hpp"
#include "display/screen.hpp"

namespace quorvel {
namespace {

// Viewers show a delay of 0 or 1 hundredth as about 10; 2 is the shortest they honour.
constexpr int64_t kMinDelayCs = 2;
// A frame longer than a GIF delay holds is written several times.
constexpr int64_t kMaxDelayCs = detail::kMaxGifDelayCs;

bool ScreenShowsAPage() {
  const detail::Screen& s = detail::TheScreen();
  return s.open && detail::ValidPage(s, s.visible);
}

}  // namespace

struct Recorder::State {
  Recorder* owner = nullptr;
  std::string path;
  detail::GifWriter writer;
  bool recording = false;
  std::string error;

  // The recorded rectangle of the screen, the step between the pixels taken (1, or 2 at
  // half scale) and the size of a frame.
  int32_t x = 0, y = 0, step = 1, width = 0, height = 0;
  double startMs = 0;
  double limitMs = 0;  // infinite without a limit

  // The picture showing since `pendingCs`, whose length is known only when the next comes.
  detail::GifFrame pending;
  int64_t pendingCs = 0;
  int64_t minCs = kMinDelayCs;  // the shortest a frame may show
  // The picture at the current pause, compared with the pending one.
  detail::GifFrame current;

  int32_t frames = 0;
  int64_t writtenCs = 0;

  // Hundredths of a second since the start, rounded: delays are differences of these, so
  // their rounding never accumulates.
  int64_t Centis(double nowMs) const { return std::llround((nowMs - startMs) / 10.0); }

  // Copies the recorded part of the visible page and the registers into `current`.
  void Capture() {
    const detail::Screen& s = detail::TheScreen();
    current.colours = detail::ReadRegisters();
    current.lines = s.lines;
    current.firstLine = y;
    current.lineStep = step;
    current.pixels.resize(size_t(width) * size_t(height));
    // The program's thread is the only one that writes pages, and this is it.
    const uint8_t* page = s.pages[s.visible].data();
    uint8_t* out = current.pixels.data();
    for (int32_t row = 0; row < height; ++row, out += width) {
      const uint8_t* src = page + size_t(y + row * step) * size_t(s.width) + x;
      if (step == 1) {
        std::memcpy(out, src, size_t(width));
      } else {
        for (int32_t column = 0; column < width; ++column) out[column] = src[column * step];
      }
    }
  }

  // Hands the pending picture to the writer, shown until `endCs`; `pending` is left empty.
  void WritePending(int64_t endCs) {
    int64_t delay = std::max<int64_t>(endCs - pendingCs, 0);
    while (delay > kMaxDelayCs) {
      detail::GifFrame part = pending;
      part.delayCs = static_cast<int32_t>(kMaxDelayCs);
      writer.Put(std::move(part));
      ++frames;
      delay -= kMaxDelayCs;
      writtenCs += kMaxDelayCs;
    }
    pending.delayCs = static_cast<int32_t>(delay);
    std::vector<uint8_t> spare = writer.Put(std::move(pending));
    pending = {};
    pending.pixels = std::move(spare);
    ++frames;
    writtenCs += delay;
  }

  // Completes the file with the pending picture shown until `endMs`.
  bool Finish(double endMs) {
    WritePending(Centis(endMs));
    return Close();
  }

  // Closes the file and detaches from the screen; false when anything failed to write.
  bool Close() {
    recording = false;
    Recorder* attached = owner;
    detail::TheScreen().recorder.compare_exchange_strong(attached, nullptr);
    const std::string why = writer.Close();
    if (!why.empty() && error.empty()) error = "recording to " + path + ": " + why;
    return why.empty();
  }
};

Recorder::Recorder() : state_(std::make_unique<State>()) { state_->owner = this; }

Recorder::~Recorder() { Stop(); }

bool Recorder::Start(const std::string& path, const RecordOptions& options) {
  State& st = *state_;
  if (st.recording) {
    st.error = "already recording to " + st.path;
    return false;
  }
  st.error.clear();
  const auto refuse = [&](const std::string& why) {
    st.error = "cannot record to " + path + ": " + why;
    return false;
  };
  detail::Screen& s = detail::TheScreen();
  if (!ScreenShowsAPage()) return refuse("no screen is open");
  if (s.recorder.load(std::memory_order_relaxed) != nullptr) {
    return refuse("another recorder is recording");
  }
  if (std::isnan(options.maxSeconds) || options.maxSeconds < 0) {
    return refuse("maxSeconds must be 0 (no limit) or more");
  }
  // The region, clipped to the screen.
  const int64_t x0 = std::max(options.x, 0);
  const int64_t y0 = std::max(options.y, 0);
  const int64_t x1 = options.width == 0
                         ? s.width
                         : std::min<int64_t>(int64_t(options.x) + options.width, s.width);
  const int64_t y1 = options.height == 0
                         ? s.height
                         : std::min<int64_t>(int64_t(options.y) + options.height, s.height);
  if (options.width < 0 || options.height < 0 || x1 <= x0 || y1 <= y0) {
    return refuse("the region " + std::to_string(options.x) + "," + std::to_string(options.y) +
                  " " + std::to_string(options.width) + "x" + std::to_string(options.height) +
                  " has no pixel on the " + std::to_string(s.width) + "x" +
                  std::to_string(s.height) + " screen");
  }
  // Up to the longest delay one GIF frame holds: a longer shortest frame means nothing
  // more, and far longer would not fit the count of hundredths.
  if (!(options.minFrameMs >= 0 && options.minFrameMs <= detail::kMaxGifDelayMs)) {
    char given[32];
    std::snprintf(given, sizeof given, "%g", options.minFrameMs);
    return refuse("minFrameMs must be 0 to " + std::to_string(int64_t(detail::kMaxGifDelayMs)) +
                  " milliseconds, not " + given);
  }
  st.minCs = std::max<int64_t>(kMinDelayCs, int64_t(std::ceil(options.minFrameMs / 10)));
  st.step = options.halfScale ? 2 : 1;
  st.x = static_cast<int32_t>(x0);
  st.y = static_cast<int32_t>(y0);
  st.width = static_cast<int32_t>((x1 - x0 + st.step - 1) / st.step);
  st.height = static_cast<int32_t>((y1 - y0 + st.step - 1) / st.step);

  const std::string why = st.writer.Open(path, st.width, st.height);
  if (!why.empty()) return refuse(why);
  st.path = path;
  st.limitMs = options.maxSeconds > 0 ? options.maxSeconds * 1000.0 : HUGE_VAL;
  st.frames = 0;
  st.writtenCs = 0;
  st.startMs = NowMs();
  st.Capture();
  std::swap(st.pending, st.current);
  st.pendingCs = 0;
  st.recording = true;
  s.recorder.store(this, std::memory_order_relaxed);
  return true;
}

void Recorder::TakeFrame() {
  State& st = *state_;
  if (!st.recording) return;
  if (st.writer.Failed()) {
    st.Close();
    return;
  }
  const double now = NowMs();
  if (now - st.startMs >= st.limitMs) {
    st.Finish(st.startMs + st.limitMs);
    return;
  }
  if (!ScreenShowsAPage()) return;
  st.Capture();
  if (st.current.colours == st.pending.colours && st.current.lines == st.pending.lines &&
      st.current.pixels == st.pending.pixels) {
    return;
  }
  const int64_t cs = st.Centis(now);
  if (cs - st.pendingCs >= st.minCs) {
    st.WritePending(cs);
    st.pendingCs = cs;
  }
  // Otherwise the pending picture would show too briefly: the new one takes its place.
  std::swap(st.pending, st.current);
}

bool Recorder::Stop() {
  State& st = *state_;
  if (!st.recording) return st.error.empty();
  return st.Finish(std::min(NowMs(), st.startMs + st.limitMs));
}

bool Recorder::Recording() const { return state_->recording; }

const std::string& Recorder::Error() const { return state_->error; }

int32_t Recorder::FrameCount() const { return state_->frames; }

int64_t Recorder::LengthMs() const { return state_->writtenCs * 10; }

}  // namespace quorvel
