// The colour-cycle chunks of DeluxePaint's IFF pictures (FORM ILBM or PBM), all
// big-endian, turned into Animator cycles:
//   CRNG  i16 pad, i16 rate, i16 flags, u8 low, u8 high
//   CCRT  i16 direction, u8 start, u8 end, i32 seconds, i32 microseconds, i16 pad
//   DRNG  u8 min, u8 max, i16 rate, i16 flags, u8 ntrue, u8 nregs,
//         ntrue x {u8 cell, u8 r, u8 g, u8 b}, nregs x {u8 cell, u8 index}
#include <algorithm>

#include <quorvel/formats.hpp>

#include "formats/bytes.hpp"

namespace quorvel {
namespace {

using formats::AtByte;
using formats::ByteReader;

constexpr double kRateOneStepPerFrame = 16384;  // a rate of 16384 is 60 steps a second
constexpr double kFramesPerSecond = 60;
constexpr int16_t kSlowestRunningRate = 37;     // DeluxePaint leaves 36 and less still
constexpr int16_t kFlagActive = 1;
constexpr int16_t kFlagReverse = 2;

double StepsPerSecond(int16_t rate) { return rate * kFramesPerSecond / kRateOneStepPerFrame; }

// A rate-and-flags cycle (CRNG, DRNG) runs when it is switched on, or (for DOS-era files)
// has any rate, and its rate moves it and its range is not empty.
bool Runs(int16_t rate, int16_t flags, int32_t low, int32_t high, const CycleReadOptions& options) {
  const bool on = (flags & kFlagActive) != 0 || (options.dosFlags && rate != 0);
  return on && rate >= kSlowestRunningRate && low < high;
}

PictureCycle Stepping(const char* chunk, size_t offset, int32_t low, int32_t high, double stepsPerSecond) {
  PictureCycle pc;
  pc.chunk = chunk;
  pc.offset = offset;
  pc.cycle.low = low;
  pc.cycle.high = high;
  pc.cycle.stepsPerSecond = stepsPerSecond;
  pc.cycle.blend = false;  // DeluxePaint steps whole registers
  return pc;
}

std::string Printable(std::string_view id) {
  std::string text(id);
  for (char& c : text) {
    if (uint8_t(c) < 0x20 || uint8_t(c) > 0x7E) c = '?';
  }
  return text;
}

void ReadCrng(ByteReader& body, size_t at, const CycleReadOptions& options, CycleReadResult& out) {
  int16_t pad, rate, flags;
  uint8_t low, high;
  if (!body.I16BE(pad) || !body.I16BE(rate) || !body.I16BE(flags) || !body.U8(low) || !body.U8(high)) {
    out.warnings.push_back(AtByte(at, "a CRNG chunk shorter than 8 bytes; skipped"));
    return;
  }
  PictureCycle pc = Stepping("CRNG", at, low, high, StepsPerSecond(rate));
  pc.cycle.reverse = (flags & kFlagReverse) != 0;
  pc.active = Runs(rate, flags, low, high, options);
  out.cycles.push_back(pc);
}

// Direction 1 runs like a CRNG cycle without its reverse flag (colours move up a
// register a step), -1 the other way.
void ReadCcrt(ByteReader& body, size_t at, CycleReadResult& out) {
  int16_t direction, pad;
  uint8_t start, end;
  int32_t seconds, microseconds;
  if (!body.I16BE(direction) || !body.U8(start) || !body.U8(end) || !body.I32BE(seconds) ||
      !body.I32BE(microseconds) || !body.I16BE(pad)) {
    out.warnings.push_back(AtByte(at, "a CCRT chunk shorter than 14 bytes; skipped"));
    return;
  }
  const double stepSeconds = double(seconds) + microseconds / 1e6;
  PictureCycle pc = Stepping("CCRT", at, start, end, stepSeconds > 0 ? 1 / stepSeconds : 0);
  pc.cycle.reverse = direction < 0;
  pc.active = direction != 0 && stepSeconds > 0 && start < end;
  out.cycles.push_back(pc);
}

// The Animator rotates one contiguous run of registers; a DRNG cycle is taken when its
// register cells, in cell order, are such a run. Its fixed true-colour cells are left out.
void ReadDrng(ByteReader& body, size_t at, const CycleReadOptions& options, CycleReadResult& out) {
  uint8_t min, max, trueCells, registerCells;
  int16_t rate, flags;
  if (!body.U8(min) || !body.U8(max) || !body.I16BE(rate) || !body.I16BE(flags) ||
      !body.U8(trueCells) || !body.U8(registerCells)) {
    out.warnings.push_back(AtByte(at, "a DRNG chunk shorter than 8 bytes; skipped"));
    return;
  }
  if (!body.Skip(size_t(trueCells) * 4)) {
    out.warnings.push_back(AtByte(at, "a DRNG chunk ends inside its true-colour cells; skipped"));
    return;
  }
  std::vector<std::pair<uint8_t, uint8_t>> cells;  // cell, register
  for (uint32_t i = 0; i < registerCells; ++i) {
    uint8_t cell, index;
    if (!body.U8(cell) || !body.U8(index)) {
      out.warnings.push_back(AtByte(at, "a DRNG chunk ends inside its register cells; skipped"));
      return;
    }
    if (cell >= min && cell <= max) cells.emplace_back(cell, index);
  }
  std::sort(cells.begin(), cells.end());
  bool contiguous = cells.size() >= 2;
  for (size_t i = 1; contiguous && i < cells.size(); ++i) {
    contiguous = cells[i].first != cells[i - 1].first && cells[i].second == cells[i - 1].second + 1;
  }
  if (!contiguous) {
    out.warnings.push_back(AtByte(at, "a DRNG cycle whose registers are not one ascending run; "
                                      "it cannot be run and is skipped"));
    return;
  }
  if (trueCells) {
    out.warnings.push_back(AtByte(at, "a DRNG cycle with " + std::to_string(trueCells) +
                                          " true-colour cells: only its registers cycle"));
  }
  const int32_t low = cells.front().second, high = cells.back().second;
  PictureCycle pc = Stepping("DRNG", at, low, high, StepsPerSecond(rate));
  pc.active = Runs(rate, flags, low, high, options);
  out.cycles.push_back(pc);
}

}  // namespace

CycleReadResult ReadCycleChunks(const std::vector<uint8_t>& bytes, const CycleReadOptions& options) {
  CycleReadResult out;
  ByteReader form(bytes);
  uint32_t formSize = 0;
  std::string_view type;
  if (!form.Peek("FORM") || !form.Skip(4) || !form.U32BE(formSize) || !form.Take(4, type) ||
      (type != "ILBM" && type != "PBM ")) {
    return out;
  }
  size_t end = bytes.size();
  if (uint64_t(formSize) + 8 != bytes.size()) {
    out.warnings.push_back(AtByte(4, "the FORM says " + std::to_string(formSize) +
                                         " bytes after its header; the file has " +
                                         std::to_string(bytes.size() - 8)));
    end = std::min<uint64_t>(end, uint64_t(formSize) + 8);
  }
  ByteReader chunks(bytes.data(), end);
  chunks.Skip(12);
  while (chunks.Remaining() >= 8) {
    const size_t at = chunks.Offset();
    std::string_view id, data;
    uint32_t length = 0;
    chunks.Take(4, id);
    chunks.U32BE(length);
    if (!chunks.Take(length, data)) {
      out.warnings.push_back(AtByte(at, "chunk '" + Printable(id) + "' says " + std::to_string(length) +
                                            " bytes; only " + std::to_string(chunks.Remaining()) +
                                            " remain, so the chunks end here"));
      break;
    }
    if (length & 1) chunks.Skip(1);  // chunks start on even offsets
    ByteReader body(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    if (id == "CRNG") {
      ReadCrng(body, at, options, out);
    } else if (id == "CCRT") {
      ReadCcrt(body, at, out);
    } else if (id == "DRNG") {
      ReadDrng(body, at, options, out);
    }
  }
  return out;
}

std::vector<Cycle> RunningCycles(const std::vector<PictureCycle>& cycles) {
  std::vector<Cycle> running;
  for (const PictureCycle& pc : cycles) {
    if (pc.active) running.push_back(pc.cycle);
  }
  return running;
}

}  // namespace quorvel
