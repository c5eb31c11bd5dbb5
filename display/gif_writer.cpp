// The GIF writer: the header and its loop extension, then one graphic control extension,
// image descriptor with local colour table and LZW-coded image per frame, through giflib.
#include "display/gif_writer.hpp"

#include <gif_lib.h>

#include <cstdio>

namespace quorvel::detail {
namespace {

// A page has no threads (the web build links none), so there each frame is encoded on
// the program's thread as it is put; elsewhere a thread of its own keeps the encoding
// off the frame loop.
#ifdef __EMSCRIPTEN__
constexpr bool kEncodeOnAThread = false;
#else
constexpr bool kEncodeOnAThread = true;
#endif

// giflib writes through this into the new file.
int WriteToFile(GifFileType* gif, const GifByteType* bytes, int count) {
  return static_cast<NewFile*>(gif->UserData)->Write(bytes, size_t(count)) ? count : 0;
}

}  // namespace

GifWriter::~GifWriter() { Close(); }

std::string GifWriter::Open(const std::string& path, int32_t width, int32_t height) {
  Close();
  error_.clear();
  // Created here rather than by giflib, which would make the file readable by its owner
  // only and write it in place; a recording is a picture like any other (the umask
  // decides) and replaces the old one only once it is complete.
  if (std::string why = file_.Create(path); !why.empty()) return why;
  int code = 0;
  gif_ = EGifOpen(&file_, WriteToFile, &code);
  if (!gif_) {
    file_.Abandon();
    return GifErrorString(code);
  }
  width_ = width;
  height_ = height;
  colourMap_ = GifMakeMapObject(256, nullptr);
  EGifSetGifVersion(gif_, true);  // GIF89a: frame delays need it
  // Loop for ever: the NETSCAPE2.0 application extension with a loop count of 0.
  static const GifByteType kNetscape[] = "NETSCAPE2.0";
  static const GifByteType kLoopForever[] = {1, 0, 0};
  if (!colourMap_ || EGifPutScreenDesc(gif_, width, height, 8, 0, nullptr) != GIF_OK ||
      EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
      EGifPutExtensionBlock(gif_, 11, kNetscape) != GIF_OK ||
      EGifPutExtensionBlock(gif_, 3, kLoopForever) != GIF_OK ||
      EGifPutExtensionTrailer(gif_) != GIF_OK) {
    error_ = !colourMap_                   ? "out of memory"
             : !file_.WriteError().empty() ? file_.WriteError()
                                           : GifErrorString(gif_->Error);
    const std::string why = error_;
    Close();
    return why;
  }
  closing_ = false;
  failed_ = false;
  saidApproximate_ = false;
  if (kEncodeOnAThread) thread_ = std::thread([this] { Encode(); });
  return "";
}

std::vector<uint8_t> GifWriter::Put(GifFrame frame) {
  if (!kEncodeOnAThread) {
    if (!Failed() && !Write(frame)) {
      std::lock_guard lock(mutex_);
      KeepWriteError();
    }
    return std::move(frame.pixels);  // written: free for the next frame at once
  }
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.size() < kMaxQueued || Failed(); });
  if (!Failed()) queue_.push_back(std::move(frame));
  changed_.notify_all();
  std::vector<uint8_t> spare;
  if (!spare_.empty()) {
    spare = std::move(spare_.back());
    spare_.pop_back();
  }
  return spare;
}

std::string GifWriter::Close() {
  if (!gif_) return "";
  if (thread_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  int code = 0;
  // giflib does not report a failure to write the trailer; the file does.
  if (EGifCloseFile(gif_, &code) != GIF_OK && error_.empty()) error_ = GifErrorString(code);
  gif_ = nullptr;
  if (error_.empty()) {
    error_ = file_.Finish();
  } else {
    file_.Abandon();
  }
  if (colourMap_) GifFreeMapObject(colourMap_);
  colourMap_ = nullptr;
  queue_.clear();
  spare_.clear();
  return error_;
}

void GifWriter::Encode() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
    if (queue_.empty()) return;
    GifFrame frame = std::move(queue_.front());
    queue_.pop_front();
    changed_.notify_all();  // room in the queue
    lock.unlock();
    const bool ok = Failed() || Write(frame);
    lock.lock();
    if (!ok && !Failed()) KeepWriteError();
    if (spare_.size() < kMaxQueued) spare_.push_back(std::move(frame.pixels));
  }
}

void GifWriter::KeepWriteError() {
  error_ = file_.WriteError().empty() ? GifErrorString(gif_->Error) : file_.WriteError();
  queue_.clear();
  failed_.store(true, std::memory_order_release);
  changed_.notify_all();
}

bool GifWriter::Write(GifFrame& frame) {
  if (frame.lines && !FlattenLines(frame, width_, height_) && !saidApproximate_) {
    std::fprintf(stderr, "quorvel: a recorded frame shows more than 256 colours through its "
                         "palettes per line; the GIF holds the nearest of 256 (said once)\n");
    saidApproximate_ = true;
  }
  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_DO_NOT;
  control.UserInputFlag = false;
  control.DelayTime = frame.delayCs;
  control.TransparentColor = NO_TRANSPARENT_COLOR;
  GifByteType extension[4];
  EGifGCBToExtension(&control, extension);
  for (int i = 0; i < 256; ++i) {
    const uint32_t rgb = frame.colours[i];
    colourMap_->Colors[i] = {GifByteType(rgb >> 16), GifByteType(rgb >> 8), GifByteType(rgb)};
  }
  // giflib takes the line as writable: it masks each index to the colour depth in place,
  // which leaves 8-bit indices as they are.
  return EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK &&
         EGifPutImageDesc(gif_, 0, 0, width_, height_, false, colourMap_) == GIF_OK &&
         EGifPutLine(gif_, frame.pixels.data(), width_ * height_) == GIF_OK;
}

}  // namespace quorvel::detail
