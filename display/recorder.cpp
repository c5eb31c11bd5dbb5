// The recorder: frames of the visible page, each with its own colour table, written to an
// animated GIF through giflib as the program paces itself.
#include <quorvel/recorder.hpp>

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "display/screen.hpp"

namespace quorvel {
namespace {

// Viewers show a delay of 0 or 1 hundredth as about 10; 2 is the shortest they honour.
constexpr int64_t kMinDelayCs = 2;
// A GIF delay is a 16-bit count of hundredths; a longer frame is written several times.
constexpr int64_t kMaxDelayCs = 65535;

}  // namespace

struct Recorder::State {
  Recorder* owner = nullptr;
  std::string path;
  GifFileType* gif = nullptr;
  ColorMapObject* colourMap = nullptr;  // reused for every frame; giflib copies it
  bool recording = false;
  std::string error;

  // The recorded rectangle of the screen, the step between the pixels taken (1, or 2 at
  // half scale) and the size of a frame.
  int32_t x = 0, y = 0, step = 1, width = 0, height = 0;
  double startMs = 0;
  double limitMs = 0;  // infinite without a limit

  // The frame showing since `pendingCs`, whose delay is known only when the next one comes.
  std::vector<uint8_t> pending;
  std::array<uint32_t, 256> pendingColours{};
  int64_t pendingCs = 0;
  // The picture at the current pacing point, compared with the pending one.
  std::vector<uint8_t> current;
  std::array<uint32_t, 256> currentColours{};

  int32_t frames = 0;
  int64_t writtenCs = 0;

  // Hundredths of a second since the start, rounded: delays are differences of these, so
  // their rounding never accumulates.
  int64_t Centis(double nowMs) const { return std::llround((nowMs - startMs) / 10.0); }

  // Copies the recorded part of the visible page and the registers into `current`.
  void Capture() {
    const detail::Screen& s = detail::TheScreen();
    for (int i = 0; i < 256; ++i) {
      currentColours[i] = s.registers[i].load(std::memory_order_relaxed);
    }
    // The program's thread is the only one that writes pages, and this is it.
    const uint8_t* page = s.pages[s.visible].data();
    uint8_t* out = current.data();
    for (int32_t row = 0; row < height; ++row, out += width) {
      const uint8_t* src = page + size_t(y + row * step) * kScreenWidth + x;
      if (step == 1) {
        std::memcpy(out, src, size_t(width));
      } else {
        for (int32_t column = 0; column < width; ++column) out[column] = src[column * step];
      }
    }
  }

  bool ScreenShowsAPage() const {
    const detail::Screen& s = detail::TheScreen();
    return s.open && s.visible >= 0 && s.visible < static_cast<int32_t>(s.pages.size());
  }

  bool WriteImage(int64_t delayCs) {
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.UserInputFlag = false;
    control.DelayTime = static_cast<int>(delayCs);
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    for (int i = 0; i < 256; ++i) {
      const uint32_t rgb = pendingColours[i];
      colourMap->Colors[i] = {GifByteType(rgb >> 16), GifByteType(rgb >> 8), GifByteType(rgb)};
    }
    return EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK &&
           EGifPutImageDesc(gif, 0, 0, width, height, false, colourMap) == GIF_OK &&
           EGifPutLine(gif, pending.data(), width * height) == GIF_OK;
  }

  // Writes the pending frame, shown until `endCs`.
  bool WritePending(int64_t endCs) {
    int64_t delay = std::max<int64_t>(endCs - pendingCs, 0);
    do {
      const int64_t part = std::min(delay, kMaxDelayCs);
      if (!WriteImage(part)) return Fail(GifErrorString(gif->Error));
      ++frames;
      writtenCs += part;
      delay -= part;
    } while (delay > 0);
    return true;
  }

  bool Fail(const std::string& why) {
    error = "recording to " + path + ": " + why;
    Close();
    return false;
  }

  // Completes the file with the pending frame shown until `endMs`.
  bool Finish(double endMs) {
    if (!WritePending(Centis(endMs))) return false;
    return Close();
  }

  // Closes the file and detaches from the screen; false when closing failed.
  bool Close() {
    recording = false;
    Recorder* attached = owner;
    detail::TheScreen().recorder.compare_exchange_strong(attached, nullptr);
    bool ok = true;
    if (gif) {
      int code = 0;
      if (EGifCloseFile(gif, &code) != GIF_OK) {
        ok = false;
        if (error.empty()) error = "recording to " + path + ": " + GifErrorString(code);
      }
      gif = nullptr;
    }
    if (colourMap) {
      GifFreeMapObject(colourMap);
      colourMap = nullptr;
    }
    return ok;
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
  detail::Screen& s = detail::TheScreen();
  if (!st.ScreenShowsAPage()) {
    st.error = "cannot record " + path + ": no screen is open";
    return false;
  }
  if (s.recorder.load(std::memory_order_relaxed) != nullptr) {
    st.error = "cannot record " + path + ": another recorder is recording";
    return false;
  }
  if (std::isnan(options.maxSeconds) || options.maxSeconds < 0) {
    st.error = "cannot record " + path + ": maxSeconds must be 0 (no limit) or more";
    return false;
  }
  // The region, clipped to the screen.
  const int32_t x0 = std::max(options.x, 0);
  const int32_t y0 = std::max(options.y, 0);
  const int64_t x1 = options.width == 0 ? kScreenWidth
                                        : std::min<int64_t>(int64_t(options.x) + options.width,
                                                            kScreenWidth);
  const int64_t y1 = options.height == 0
                         ? kScreenHeight
                         : std::min<int64_t>(int64_t(options.y) + options.height, kScreenHeight);
  if (options.width < 0 || options.height < 0 || x1 <= x0 || y1 <= y0) {
    st.error = "cannot record " + path + ": the region " + std::to_string(options.x) + "," +
               std::to_string(options.y) + " " + std::to_string(options.width) + "x" +
               std::to_string(options.height) + " has no pixel on the 640x480 screen";
    return false;
  }
  st.step = options.halfScale ? 2 : 1;
  st.x = x0;
  st.y = y0;
  st.width = static_cast<int32_t>((x1 - x0 + st.step - 1) / st.step);
  st.height = static_cast<int32_t>((y1 - y0 + st.step - 1) / st.step);

  int code = 0;
  errno = 0;
  st.gif = EGifOpenFileName(path.c_str(), false, &code);
  if (!st.gif) {
    st.error = "cannot record to " + path + ": " +
               (errno != 0 ? std::strerror(errno) : GifErrorString(code));
    return false;
  }
  st.path = path;
  st.colourMap = GifMakeMapObject(256, nullptr);
  EGifSetGifVersion(st.gif, true);
  // Loop for ever (the NETSCAPE2.0 application extension, loop count 0).
  static const GifByteType kNetscape[] = "NETSCAPE2.0";
  static const GifByteType kLoopForever[] = {1, 0, 0};
  if (!st.colourMap || EGifPutScreenDesc(st.gif, st.width, st.height, 8, 0, nullptr) != GIF_OK ||
      EGifPutExtensionLeader(st.gif, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
      EGifPutExtensionBlock(st.gif, 11, kNetscape) != GIF_OK ||
      EGifPutExtensionBlock(st.gif, 3, kLoopForever) != GIF_OK ||
      EGifPutExtensionTrailer(st.gif) != GIF_OK) {
    st.Fail(st.colourMap ? GifErrorString(st.gif->Error) : "out of memory");
    std::remove(path.c_str());
    return false;
  }

  st.limitMs = options.maxSeconds > 0 ? options.maxSeconds * 1000.0 : HUGE_VAL;
  st.frames = 0;
  st.writtenCs = 0;
  st.pending.assign(size_t(st.width) * size_t(st.height), 0);
  st.current.assign(st.pending.size(), 0);
  st.startMs = NowMs();
  st.Capture();
  st.pending.swap(st.current);
  st.pendingColours = st.currentColours;
  st.pendingCs = 0;
  st.recording = true;
  s.recorder.store(this, std::memory_order_relaxed);
  return true;
}

void Recorder::TakeFrame() {
  State& st = *state_;
  if (!st.recording) return;
  const double now = NowMs();
  if (now - st.startMs >= st.limitMs) {
    st.Finish(st.startMs + st.limitMs);
    return;
  }
  if (!st.ScreenShowsAPage()) return;
  st.Capture();
  if (st.currentColours == st.pendingColours && st.current == st.pending) return;
  const int64_t cs = st.Centis(now);
  if (cs - st.pendingCs >= kMinDelayCs) {
    if (!st.WritePending(cs)) return;
    st.pendingCs = cs;
  }
  // Otherwise the pending frame would show too briefly: the new picture takes its place.
  st.pending.swap(st.current);
  st.pendingColours = st.currentColours;
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
