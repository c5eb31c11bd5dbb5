// Palettes per line as the display keeps them: checked, in order of line, and walked down
// a frame band by band. Internal to the display; users include display.hpp.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#include <quorvel/display.hpp>

#include "display/convert.hpp"

namespace quorvel::detail {

constexpr int32_t kNeverChanged = std::numeric_limits<int32_t>::max();

// Made once and never changed but for the planes below: its changes point into its own
// colours.
struct LineList {
  LinePalettes given;  // as the program gave it
  std::vector<BandChange> changes;  // in order of line (0 or more); at one line, as given
  // The first line each register changes at; kNeverChanged for one no change names.
  std::array<int32_t, 256> firstChanged{};

  // The changes again, with their colours as the AVX-512 kernel reads them (planes), made
  // by the first conversion with that kernel after the list has been converted once: a
  // list replaced at every frame never pays for them, a list kept for many frames has its
  // colours converted once. Conversions on two threads may share the list.
  mutable std::atomic<int> conversions{0};
  mutable std::once_flag planesOnce;
  mutable std::vector<BandChange> plannedChanges;
  mutable std::unique_ptr<PlaneBlock[]> planes;
};

// The list in the display's form. `lines` must have no problem (LinePalettesProblem).
std::shared_ptr<const LineList> MakeLineList(const LinePalettes& lines);

// Goes down a frame: Next() is the line the band from the current line ends at, and
// ApplyUpTo(y, set) hands set(first, colours, count) every change at y or above that it
// has not handed yet.
class BandWalker {
 public:
  explicit BandWalker(const LineList* list) : list_(list) {}
  int32_t Next() const {
    return list_ && next_ < list_->changes.size() ? list_->changes[next_].line : kNeverChanged;
  }
  template <typename Set>
  void ApplyUpTo(int32_t y, Set&& set) {
    for (; list_ && next_ < list_->changes.size() && list_->changes[next_].line <= y; ++next_) {
      const BandChange& c = list_->changes[next_];
      set(c.first, c.colours, c.count);
    }
  }

 private:
  const LineList* list_;
  size_t next_ = 0;
};

// Converts `height` rows of `width` indices (rows `indexPitch` bytes apart) into pixels
// 0xFFRRGGBB (rows `outPitch` pixels apart) through the registers (0xRRGGBB) and the list
// (null: none), one band of equal palette at a time, with `kernel`. Row r is line r of the
// list. `swapRedBlue` gives 0xFFBBGGRR, a canvas's byte order.
void ConvertBands(Kernel kernel, const uint8_t* indices, size_t indexPitch, int32_t width,
                  int32_t height, const uint32_t* registers, const LineList* lines,
                  uint32_t* out, size_t outPitch, bool swapRedBlue = false);

}  // namespace quorvel::detail
