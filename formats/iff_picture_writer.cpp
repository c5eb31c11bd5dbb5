// IFF pictures written as DeluxePaint writes them: FORM ILBM (as few bit planes as the
// colours need, each row of each plane packed on its own) or PBM (a byte a pixel), with
// BMHD, CMAP, a cycle chunk for each cycle, and BODY.
#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

#include "formats/iff.hpp"
#include "formats/picture_encoders.hpp"

namespace quorvel::formats {
namespace {

constexpr double kRateOneStepPerFrame = 16384;  // a rate of 16384 is 60 steps a second
constexpr double kFramesPerSecond = 60;
constexpr int32_t kSlowestRunningRate = 37;     // DeluxePaint leaves 36 and less still
constexpr int32_t kFastestRate = 32767;         // an i16
constexpr uint8_t kMaskingTransparentColour = 2;
constexpr uint8_t kByteRun1 = 1;
constexpr size_t kLongestRun = 128;

// ByteRun1: repeats of 3 or more bytes as a count -(n - 1) and the byte, anything else as
// a count n - 1 and n bytes as they are, neither longer than 128.
void PackByteRun1(const uint8_t* row, size_t size, Bytes& out) {
  size_t i = 0;
  auto repeatAt = [&](size_t at) {
    size_t n = 1;
    while (at + n < size && n < kLongestRun && row[at + n] == row[at]) ++n;
    return n;
  };
  while (i < size) {
    const size_t repeat = repeatAt(i);
    if (repeat >= 3) {
      out.push_back(uint8_t(257 - repeat));
      out.push_back(row[i]);
      i += repeat;
      continue;
    }
    const size_t start = i;
    while (i < size && i - start < kLongestRun && (i == start || repeatAt(i) < 3)) ++i;
    out.push_back(uint8_t(i - start - 1));
    out.insert(out.end(), row + start, row + i);
  }
}

void PutChunk(ByteWriter& w, Bytes& out, const char* id, const Bytes& body) {
  w.Text(id);
  w.U32BE(uint32_t(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() & 1) w.U8(0);
}

uint8_t PlanesFor(int32_t colours) {
  uint8_t planes = 1;
  while ((1 << planes) < colours) ++planes;
  return planes;
}

// The cycle as CRNG or, when it came from one or its rate is outside what a CRNG holds
// running, as CCRT (the time of a step, which holds any rate).
void PutCycle(ByteWriter& w, Bytes& out, const PictureCycle& pc, size_t number, std::vector<std::string>& warnings) {
  const Cycle& c = pc.cycle;
  const std::string which = "cycle " + std::to_string(number + 1) + " (" + std::to_string(c.low) + ".." +
                            std::to_string(c.high) + ")";
  if (c.mode != CycleMode::Wrap) {
    warnings.push_back(which + std::string(" is a ") + (c.mode == CycleMode::PingPong ? "ping-pong" : "sine") +
                       " cycle, which an IFF picture cannot say: it is written as one that wraps");
  }
  if (c.phase != 0) warnings.push_back(which + " starts at a phase an IFF picture cannot hold; it starts at 0");
  const bool backwards = c.reverse != (c.stepsPerSecond < 0);
  const double speed = std::fabs(c.stepsPerSecond);
  const double rate = std::round(speed * kRateOneStepPerFrame / kFramesPerSecond);
  const bool crngHolds = rate <= kFastestRate && (!pc.active || rate >= kSlowestRunningRate);
  Bytes body;
  ByteWriter b(body);
  if (pc.chunk != "CCRT" && crngHolds) {
    b.U16BE(0);
    b.U16BE(uint32_t(rate));
    b.U16BE((pc.active ? 1u : 0u) | (backwards ? 2u : 0u));
    b.U8(uint32_t(c.low));
    b.U8(uint32_t(c.high));
    PutChunk(w, out, "CRNG", body);
    return;
  }
  const double stepSeconds = speed > 0 ? 1 / speed : 0;
  double whole = std::floor(stepSeconds);
  double micro = std::round((stepSeconds - whole) * 1e6);
  if (micro >= 1e6) {
    whole += 1;
    micro = 0;
  }
  if (whole > INT32_MAX) {
    whole = INT32_MAX;
    micro = 0;
  }
  const int32_t direction = !pc.active ? 0 : backwards ? -1 : 1;
  b.U16BE(uint32_t(direction));
  b.U8(uint32_t(c.low));
  b.U8(uint32_t(c.high));
  b.U32BE(uint32_t(whole));
  b.U32BE(uint32_t(micro));
  b.U16BE(0);
  PutChunk(w, out, "CCRT", body);
}

// The BMHD xAspect:yAspect for a pixel `pixelAspect` times as tall as wide: the ratio of
// whole numbers up to 255 nearest to it, with the smallest width of those, so the usual
// shapes come out as painters wrote them (1.1 as 10:11, 1.2 as 5:6) and square as 1:1.
std::pair<uint8_t, uint8_t> AspectRatio(double pixelAspect) {
  if (!(pixelAspect > 0) || !std::isfinite(pixelAspect)) return {1, 1};
  std::pair<uint8_t, uint8_t> best{1, 1};
  double bestError = INFINITY;
  for (int x = 1; x <= 255; ++x) {
    const int y = int(std::clamp(std::round(x * pixelAspect), 1.0, 255.0));
    const double error = std::abs(double(y) / x - pixelAspect);
    if (error < bestError - 1e-12) {
      bestError = error;
      best = {uint8_t(x), uint8_t(y)};
    }
  }
  return best;
}

}  // namespace

bool EncodeIff(const IndexedPicture& picture, bool chunky, const PictureWriteOptions& options, Bytes& out,
               std::vector<std::string>& warnings, std::string&) {
  const uint8_t planes = chunky ? 8 : PlanesFor(picture.colourCount);
  const bool transparent = picture.transparentIndex >= 0 && picture.transparentIndex < 256;
  for (int32_t i = 0; i < picture.colourCount; ++i) {
    if (picture.alpha[size_t(i)] != 255 && i != picture.transparentIndex) {
      warnings.push_back("colours of partial opacity, which an IFF picture cannot hold, are written opaque");
      break;
    }
  }
  out.clear();
  out.reserve(picture.pixels.size() + 1024);
  ByteWriter w(out);
  w.Text("FORM");
  w.U32BE(0);  // the size, once known
  w.Text(chunky ? "PBM " : "ILBM");

  Bytes bmhd;
  ByteWriter h(bmhd);
  h.U16BE(uint32_t(picture.width));
  h.U16BE(uint32_t(picture.height));
  h.U32BE(0);  // x, y
  h.U8(planes);
  h.U8(transparent ? kMaskingTransparentColour : 0);
  h.U8(options.compress ? kByteRun1 : 0);
  h.U8(0);
  h.U16BE(transparent ? uint32_t(picture.transparentIndex) : 0);
  const auto [xAspect, yAspect] = options.xAspect > 0 && options.yAspect > 0
                                      ? std::pair{options.xAspect, options.yAspect}
                                      : AspectRatio(picture.pixelAspect);
  h.U8(xAspect);
  h.U8(yAspect);
  h.U16BE(uint32_t(picture.width));  // the page: the picture's own size
  h.U16BE(uint32_t(picture.height));
  PutChunk(w, out, "BMHD", bmhd);

  Bytes cmap;
  ByteWriter m(cmap);
  for (int32_t i = 0; i < picture.colourCount; ++i) {
    const Rgb8 c = picture.palette[size_t(i)];
    m.U8(c.r), m.U8(c.g), m.U8(c.b);
  }
  PutChunk(w, out, "CMAP", cmap);
  for (size_t i = 0; i < picture.cycles.size(); ++i) PutCycle(w, out, picture.cycles[i], i, warnings);

  // Rows as the decoder reads them: ILBM planes in 16-bit words, PBM rows of even length.
  const size_t width = size_t(picture.width);
  const size_t planeBytes = (width + 15) / 16 * 2;
  const size_t rowBytes = chunky ? width + (width & 1) : planeBytes;
  Bytes row(rowBytes), body;
  auto put = [&] {
    if (options.compress) {
      PackByteRun1(row.data(), row.size(), body);
    } else {
      body.insert(body.end(), row.begin(), row.end());
    }
  };
  for (size_t y = 0; y < size_t(picture.height); ++y) {
    const uint8_t* pixels = picture.pixels.data() + y * width;
    if (chunky) {
      std::copy_n(pixels, width, row.begin());
      put();
      continue;
    }
    for (uint8_t plane = 0; plane < planes; ++plane) {
      std::fill(row.begin(), row.end(), 0);
      for (size_t x = 0; x < width; ++x) {
        if (pixels[x] >> plane & 1) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
      }
      put();
    }
  }
  PutChunk(w, out, "BODY", body);
  const uint32_t formSize = uint32_t(out.size() - 8);
  for (int i = 0; i < 4; ++i) out[4 + size_t(i)] = uint8_t(formSize >> (24 - 8 * i));
  return true;
}

}  // namespace quorvel::formats
