// Palettes per line: the list, its checks, the screen's list, and the conversion that
// goes down a frame band by band.
#include "display/lines.hpp"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include "display/screen.hpp"

namespace quorvel {

void LinePalettes::Add(int32_t line, int32_t first, const uint32_t* added, int32_t count) {
  changes.push_back({line, first, count});
  if (count > 0) colours.insert(colours.end(), added, added + count);
}

std::string LinePalettesProblem(const LinePalettes& lines) {
  size_t colours = 0;
  for (size_t i = 0; i < lines.changes.size(); ++i) {
    const LineChange& c = lines.changes[i];
    const auto name = [&] {
      return "line change " + std::to_string(i) + " (line " + std::to_string(c.line) + ", registers " +
             std::to_string(c.first) + " and " + std::to_string(c.count) + " more)";
    };
    if (c.count < 0) return name() + ": a count below 0";
    if (c.first < 0 || c.first > 255 || c.count > 256 - c.first) {
      return name() + ": registers past 0..255";
    }
    colours += size_t(c.count);
  }
  if (colours != lines.colours.size()) {
    return "line palettes: the changes name " + std::to_string(colours) + " colours, the list holds " +
           std::to_string(lines.colours.size());
  }
  return "";
}

namespace detail {

std::shared_ptr<const LineList> MakeLineList(const LinePalettes& lines) {
  auto list = std::make_shared<LineList>();
  list->given = lines;
  list->changes.reserve(lines.changes.size());
  size_t at = 0;
  for (const LineChange& c : lines.changes) {
    list->changes.push_back({std::max(c.line, 0), c.first, c.count, list->given.colours.data() + at});
    at += size_t(c.count);
  }
  std::stable_sort(list->changes.begin(), list->changes.end(),
                   [](const BandChange& a, const BandChange& b) { return a.line < b.line; });
  // In order of line, the first change to name a register is its first; once every
  // register has one, the rest of a long list can change nothing here.
  list->firstChanged.fill(kNeverChanged);
  int32_t unnamed = 256;
  for (size_t i = 0; i < list->changes.size() && unnamed > 0; ++i) {
    const BandChange& c = list->changes[i];
    for (int32_t r = c.first; r < c.first + c.count; ++r) {
      if (list->firstChanged[r] != kNeverChanged) continue;
      list->firstChanged[r] = c.line;
      --unnamed;
    }
  }
  return list;
}

namespace {

void MakePlanes(const LineList& list) {
  size_t blocks = 0;
  for (const BandChange& c : list.changes) blocks += PlaneBlocksOf(c.first, c.count);
  list.planes.reset(new PlaneBlock[blocks]);
  list.plannedChanges = list.changes;
  blocks = 0;
  for (BandChange& c : list.plannedChanges) {
    SetChangePlanes(c, list.planes.get() + blocks);
    blocks += PlaneBlocksOf(c.first, c.count);
  }
}

}  // namespace

void ConvertBands(Kernel kernel, const uint8_t* indices, size_t indexPitch, int32_t width,
                  int32_t height, const uint32_t* registers, const LineList* lines,
                  uint32_t* out, size_t outPitch, bool swapRedBlue) {
  const BandPicture picture{indices, indexPitch, width, height, out, outPitch};
  const std::vector<BandChange>* changes = lines ? &lines->changes : nullptr;
  if (lines && kernel == Kernel::Avx512 &&
      lines->conversions.fetch_add(1, std::memory_order_relaxed) > 0) {
    std::call_once(lines->planesOnce, MakePlanes, *lines);
    changes = &lines->plannedChanges;
  }
  ConvertBandsWith(kernel, picture, registers, changes ? changes->data() : nullptr,
                   changes ? changes->size() : 0, swapRedBlue);
}

}  // namespace detail

bool ConvertIndices(const uint8_t* indices, int32_t width, int32_t height, int32_t indexPitch,
                    const uint32_t* registers, const LinePalettes* lines, uint32_t* out,
                    int32_t outPitch, std::string* error) {
  std::string problem = lines ? LinePalettesProblem(*lines) : "";
  if (problem.empty() && (width < 0 || height < 0 || indexPitch < width ||
                          outPitch < 0 || size_t(outPitch) < size_t(width) * 4 || outPitch % 4 != 0)) {
    problem = "cannot convert " + std::to_string(width) + "x" + std::to_string(height) +
              " indices with rows " + std::to_string(indexPitch) + " bytes apart into pixels with rows " +
              std::to_string(outPitch) + " bytes apart (whole 4-byte pixels, at least a row)";
  }
  if (!problem.empty()) {
    if (error) *error = problem;
    return false;
  }
  const std::shared_ptr<const detail::LineList> list =
      lines && !lines->changes.empty() ? detail::MakeLineList(*lines) : nullptr;
  detail::ConvertBands(detail::ActiveKernel(), indices, size_t(indexPitch), width, height,
                       registers, list.get(), out, size_t(outPitch) / 4);
  if (error) error->clear();
  return true;
}

bool SetLinePalettes(const LinePalettes& lines, std::string* error) {
  std::string problem = LinePalettesProblem(lines);
  if (error) *error = problem;
  if (!problem.empty()) return false;
  detail::Screen& s = detail::TheScreen();
  if (!s.open) return true;
  const bool same = s.lines ? s.lines->given == lines : lines.changes.empty();
  if (same) return true;
  if (DisplayObserver* observer = detail::CurrentObserver()) observer->OnLinePalettes(lines);
  std::shared_ptr<const detail::LineList> list =
      lines.changes.empty() ? nullptr : detail::MakeLineList(lines);
  {
    std::lock_guard lock(s.pixels);
    s.lines.swap(list);
  }
  detail::MarkDirty();
  // The old list goes here, outside the lock, unless a presenter still holds it.
  return true;
}

void ClearLinePalettes() { SetLinePalettes({}); }

LinePalettes CurrentLinePalettes() {
  const detail::Screen& s = detail::TheScreen();
  return s.lines ? s.lines->given : LinePalettes{};
}

int32_t ShownColor(int32_t x, int32_t y) {
  detail::Screen& s = detail::TheScreen();
  const int32_t index = GetPixel(s.visible, x, y);
  if (index < 0) return -1;
  std::array<uint32_t, 256> colours = detail::ReadRegisters();
  detail::BandWalker walker(s.lines.get());
  walker.ApplyUpTo(y, [&](int32_t first, const uint32_t* from, int32_t count) {
    std::copy(from, from + count, colours.begin() + first);
  });
  return int32_t(colours[size_t(index)] & 0xFFFFFFu);
}

}  // namespace quorvel
