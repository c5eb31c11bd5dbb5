// DeluxePaint's IFF pictures (FORM ILBM or PBM), all big-endian: the chunk walk, the
// BMHD, planar ILBM and chunky PBM pictures, and the colour-cycle chunks turned into
// Animator cycles:
//   CRNG  i16 pad, i16 rate, i16 flags, u8 low, u8 high
//   CCRT  i16 direction, u8 start, u8 end, i32 seconds, i32 microseconds, i16 pad
//   DRNG  u8 min, u8 max, i16 rate, i16 flags, u8 ntrue, u8 nregs,
//         ntrue x {u8 cell, u8 r, u8 g, u8 b}, nregs x {u8 cell, u8 index}
#include <algorithm>
#include <functional>
#include <optional>

#include <quorvel/formats.hpp>

#include "formats/iff.hpp"
#include "formats/picture_decoders.hpp"
#include "formats/picture_header.hpp"

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
  formats::ForEachIffChunk(bytes, out.warnings, [&](std::string_view id, ByteReader& body, size_t at) {
    if (id == "CRNG") {
      ReadCrng(body, at, options, out);
    } else if (id == "CCRT") {
      ReadCcrt(body, at, out);
    } else if (id == "DRNG") {
      ReadDrng(body, at, options, out);
    }
  });
  return out;
}

namespace formats {
namespace {

constexpr uint8_t kMostPlanes = 8;
constexpr uint8_t kHasMask = 1;              // BMHD masking: a mask plane follows each row's planes
constexpr uint8_t kHasTransparentColour = 2;
constexpr uint8_t kLasso = 3;
constexpr uint8_t kByteRun1 = 1;             // BMHD compression
constexpr uint32_t kCamgHam = 0x800;
constexpr uint32_t kCamgHalfBright = 0x80;
constexpr uint32_t kSmallestForm = 4;        // a FORM holds at least its type

std::string Printable(std::string_view id) {
  std::string text(id);
  for (char& c : text) {
    if (uint8_t(c) < 0x20 || uint8_t(c) > 0x7E) c = '?';
  }
  return text;
}

// ByteRun1: a count n, then n + 1 bytes to copy (n >= 0) or one byte to repeat 1 - n
// times (n < 0; -128 does nothing). Fills `out` exactly or returns false.
bool UnpackByteRun1(ByteReader& in, std::vector<uint8_t>& out) {
  size_t filled = 0;
  while (filled < out.size()) {
    uint8_t n;
    if (!in.U8(n)) return false;
    const int32_t count = int8_t(n);
    if (count == -128) continue;
    const size_t run = size_t(count >= 0 ? count + 1 : 1 - count);
    if (run > out.size() - filled) return false;
    if (count >= 0) {
      std::string_view bytes;
      if (!in.Take(run, bytes)) return false;
      std::copy(bytes.begin(), bytes.end(), out.begin() + std::ptrdiff_t(filled));
    } else {
      uint8_t value;
      if (!in.U8(value)) return false;
      std::fill_n(out.begin() + std::ptrdiff_t(filled), run, value);
    }
    filled += run;
  }
  return true;
}

// Decodes one BODY by its BMHD, which BmhdProblem has passed, into palette indices.
// Returns "" or what is wrong.
std::string DecodeBody(ByteReader& body, const Bmhd& h, bool chunky, std::vector<uint8_t>& pixels) {
  // Rows are stored whole: ILBM planes in 16-bit words, the mask plane (masking 1 only)
  // after them; PBM pixels padded to an even number of bytes.
  const size_t planeBytes = (size_t(h.width) + 15) / 16 * 2;
  const size_t rowBytes = chunky ? size_t(h.width) + (h.width & 1)
                                 : planeBytes * (h.planes + (h.masking == kHasMask ? 1 : 0));
  const std::string size = std::to_string(h.width) + " x " + std::to_string(h.height) + " pixels";
  // ByteRun1 makes at most 128 bytes of 2, so a BODY too small for the picture is refused
  // before the picture's memory is taken.
  constexpr size_t kMostExpansion = 64;
  if (rowBytes * h.height > (body.Remaining() + 2) * kMostExpansion) return "the BODY is too small for " + size;
  std::vector<uint8_t> rows(rowBytes * h.height);
  std::string_view plain;
  const bool whole = h.compression == kByteRun1 ? UnpackByteRun1(body, rows) : body.Take(rows.size(), plain);
  if (!whole) return "the BODY holds less than " + size;
  std::copy(plain.begin(), plain.end(), rows.begin());  // nothing when it was unpacked
  pixels.assign(size_t(h.width) * h.height, 0);
  for (size_t y = 0; y < h.height; ++y) {
    const uint8_t* row = rows.data() + y * rowBytes;
    uint8_t* to = pixels.data() + y * h.width;
    if (chunky) {
      std::copy_n(row, h.width, to);
      continue;
    }
    for (size_t plane = 0; plane < h.planes; ++plane) {
      const uint8_t* bits = row + plane * planeBytes;
      for (size_t x = 0; x < h.width; ++x) {
        if (bits[x >> 3] & (0x80 >> (x & 7))) to[x] |= uint8_t(1 << plane);
      }
    }
  }
  return "";
}

}  // namespace

bool ForEachIffChunk(const Bytes& bytes, std::vector<std::string>& warnings,
                     const std::function<void(std::string_view, ByteReader&, size_t)>& chunk) {
  ByteReader form(bytes);
  uint32_t formSize = 0;
  std::string_view type;
  if (!form.Peek("FORM") || !form.Skip(4) || !form.U32BE(formSize) || !form.Take(4, type) ||
      (type != "ILBM" && type != "PBM ")) {
    return false;
  }
  size_t end = bytes.size();
  if (formSize < kSmallestForm) {
    // Not a size that bounds anything: the writer left it out. The chunks carry their own
    // lengths, and the BODY must still hold the whole picture.
    warnings.push_back(AtByte(4, "the FORM gives a size of " + std::to_string(formSize) +
                                     ", too small for its own type; its chunks are read to the end of the file"));
  } else if (uint64_t(formSize) + 8 != bytes.size()) {
    warnings.push_back(AtByte(4, "the FORM says " + std::to_string(formSize) +
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
      warnings.push_back(AtByte(at, "chunk '" + Printable(id) + "' says " + std::to_string(length) +
                                        " bytes; only " + std::to_string(chunks.Remaining()) +
                                        " remain, so the chunks end here"));
      break;
    }
    if (length & 1) chunks.Skip(1);  // chunks start on even offsets
    ByteReader body(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    chunk(id, body, at);
  }
  return true;
}

bool ReadBmhd(ByteReader& body, Bmhd& bmhd) {
  int16_t x, y, pageWidth, pageHeight;
  uint8_t pad;
  return body.U16BE(bmhd.width) && body.U16BE(bmhd.height) && body.I16BE(x) && body.I16BE(y) &&
         body.U8(bmhd.planes) && body.U8(bmhd.masking) && body.U8(bmhd.compression) && body.U8(pad) &&
         body.U16BE(bmhd.transparentColour) && body.U8(bmhd.xAspect) && body.U8(bmhd.yAspect) &&
         body.I16BE(pageWidth) && body.I16BE(pageHeight);
}

std::string BmhdProblem(const Bmhd& h, bool chunky) {
  const std::string gives = "the BMHD gives ";
  if (h.planes > kMostPlanes) {
    return gives + std::to_string(h.planes) + " bit planes: not an indexed picture of at most 256 colours";
  }
  if (h.planes == 0) return gives + "0 bit planes: a picture without colours";
  if (chunky && h.planes != kMostPlanes) {
    return gives + std::to_string(h.planes) + " bit planes for a PBM picture, whose pixels are bytes: it must be 8";
  }
  if (h.masking > kLasso) {
    return gives + "masking " + std::to_string(h.masking) +
           ": only 0 (none), 1 (a mask plane), 2 (a transparent colour) and 3 (lasso) are read";
  }
  if (chunky && h.masking == kHasMask) return gives + "masking 1 for a PBM picture: a PBM has no mask plane";
  if (h.compression > kByteRun1) {
    return gives + "compression " + std::to_string(h.compression) + ": only 0 (none) and 1 (ByteRun1) are read";
  }
  return "";
}

bool DecodeIffPicture(const Bytes& bytes, IndexedPicture& picture, std::string& error) {
  picture = {};
  error.clear();
  const bool chunky = StartsWith(bytes, 8, "PBM ");
  std::vector<std::string> warnings;
  Bmhd bmhd;
  bool haveBmhd = false;
  size_t bmhdAt = 0;
  std::optional<size_t> cmapAt;
  uint32_t camg = 0;
  std::optional<ByteReader> body;
  size_t bodyAt = 0;
  const bool iff = ForEachIffChunk(bytes, warnings, [&](std::string_view id, ByteReader& data, size_t at) {
    if (!error.empty()) return;
    if (id == "BMHD") {
      haveBmhd = ReadBmhd(data, bmhd);
      bmhdAt = at;
      if (!haveBmhd) error = AtByte(at, "a BMHD chunk shorter than its 20 bytes");
    } else if (id == "CMAP") {
      cmapAt = at;
      for (picture.colourCount = 0; picture.colourCount < 256 && data.Remaining() >= 3; ++picture.colourCount) {
        Rgb8& c = picture.palette[size_t(picture.colourCount)];
        data.U8(c.r), data.U8(c.g), data.U8(c.b);
      }
    } else if (id == "CAMG") {
      data.U32BE(camg);
    } else if (id == "BODY") {
      body = data;
      bodyAt = at;
    }
  });
  auto decode = [&]() -> std::string {
    if (!iff) return "not an IFF ILBM or PBM picture";
    if (!error.empty()) return error;
    if (!haveBmhd) return "no BMHD chunk: the picture's size is missing";
    if (std::string problem = PictureSizeProblem(bmhd.width, bmhd.height); !problem.empty()) {
      return AtByte(bmhdAt, "the BMHD gives " + problem);
    }
    if (std::string problem = BmhdProblem(bmhd, chunky); !problem.empty()) return AtByte(bmhdAt, problem);
    if (!body) return "no BODY chunk" + (warnings.empty() ? std::string() : ": " + warnings.back());
    if (!chunky && (camg & kCamgHam)) return "a HAM picture, not an indexed one";
    std::string problem = DecodeBody(*body, bmhd, chunky, picture.pixels);
    return problem.empty() ? "" : AtByte(bodyAt, problem);
  };
  error = decode();
  if (!error.empty()) {
    picture = {};
    return false;
  }
  picture.width = bmhd.width;
  picture.height = bmhd.height;
  // A shape of 0 on either side says nothing; DeluxePaint wrote 10:11 or 5:6 at 320x200.
  if (bmhd.xAspect > 0 && bmhd.yAspect > 0) {
    picture.pixelAspect = double(bmhd.yAspect) / bmhd.xAspect;
  }
  if (!chunky && (camg & kCamgHalfBright) && bmhd.planes == 6) {
    // Extra-half-brite: colours 32..63 are 0..31 at half brightness.
    for (size_t i = 0; i < 32; ++i) {
      const Rgb8 c = picture.palette[i];
      picture.palette[32 + i] = {uint8_t(c.r / 2), uint8_t(c.g / 2), uint8_t(c.b / 2)};
    }
    picture.colourCount = 64;
  }
  // More bit planes than the CMAP has colours is fine as long as no pixel uses the colours
  // it lacks; a pixel that does has no colour to show.
  if (std::string problem = CheckPixelColours(picture, "the CMAP"); !problem.empty()) {
    error = cmapAt ? AtByte(*cmapAt, problem) : "no CMAP chunk: " + problem;
    picture = {};
    return false;
  }
  // Lasso (masking 3) makes the transparent colour see-through only where it reaches the
  // picture's edge, which one index cannot say: those pictures are shown whole.
  if (bmhd.masking == kHasTransparentColour && bmhd.transparentColour < picture.colourCount) {
    picture.transparentIndex = bmhd.transparentColour;
    picture.alpha[bmhd.transparentColour] = 0;
  }
  return true;
}

std::string DecodeIff(const Bytes& bytes, IndexedPicture& picture) {
  std::string error;
  return DecodeIffPicture(bytes, picture, error) ? "" : error;
}

}  // namespace formats

std::vector<Cycle> RunningCycles(const std::vector<PictureCycle>& cycles) {
  std::vector<Cycle> running;
  for (const PictureCycle& pc : cycles) {
    if (pc.active) running.push_back(pc.cycle);
  }
  return running;
}

}  // namespace quorvel
