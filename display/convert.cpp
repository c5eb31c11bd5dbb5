// The conversion kernels and the choice between them.
//
// A frame is 307,200 indices in and 1.2 MB of pixels out. The AVX-512 kernel does no
// lookups in memory at all: each colour plane of the 256 registers (blue, green, red
// bytes) fits in four 64-byte registers, and two byte permutes and a select per plane
// convert 64 pixels at once. AVX2 has no such permute. Its gather instruction is slow on
// many processors (microcoded, and slower still since the microcode fixes of 2023), so the
// AVX2 kernel looks registers up one at a time like the portable one and saves on the
// stores instead: eight pixels leave in one 32-byte store. Whether that wins depends on
// the processor's load, shuffle and store ports, so the kernel is chosen by measuring.
//
// The vector kernels are compiled for their instruction sets function by function, so
// the rest of the library stays baseline x86-64 and runs on any processor.
#include "display/convert.hpp"

#include <quorvel/display.hpp>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace quorvel::detail {
namespace {

using KernelFunction = void (*)(const uint8_t*, const KernelTable&, uint32_t*, size_t);

constexpr uint32_t kOpaque = 0xFF000000u;

// The band that starts at row y ends where the first change below y starts, or at the
// picture's end; `next` moves past the changes at or above y, which apply at its top.
int32_t BandEnd(const BandChange* changes, size_t changeCount, int32_t height, int32_t y,
                size_t& next) {
  while (next < changeCount && changes[next].line <= y) ++next;
  return next < changeCount ? std::min(changes[next].line, height) : height;
}

// Red and blue trade places: 0xRRGGBB into 0xBBGGRR.
constexpr uint32_t SwapRedBlue(uint32_t c) {
  return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

void ConvertPortable(const uint8_t* indices, const KernelTable& registers, uint32_t* out,
                     size_t count) {
  const uint32_t* table = registers.pixels;
  // Eight indices per load: the table lookups and the stores are what remain.
  size_t blocks = 0;
  if constexpr (std::endian::native == std::endian::little) {
    blocks = count / 8;
    for (size_t b = 0; b < blocks; ++b) {
      uint64_t eight;
      std::memcpy(&eight, indices, 8);
      for (int k = 0; k < 8; ++k) out[k] = table[(eight >> (8 * k)) & 0xFF];
      indices += 8;
      out += 8;
    }
  }
  for (size_t rest = count - blocks * 8; rest > 0; --rest) *out++ = table[*indices++];
}

#if defined(__x86_64__)

[[gnu::target("avx2")]] void ConvertAvx2(const uint8_t* indices, const KernelTable& registers,
                                         uint32_t* out, size_t count) {
  const uint32_t* table = registers.pixels;
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t e;
    std::memcpy(&e, indices + i, 8);
    const __m256i pixels = _mm256_setr_epi32(
        int(table[e & 0xFF]), int(table[e >> 8 & 0xFF]), int(table[e >> 16 & 0xFF]),
        int(table[e >> 24 & 0xFF]), int(table[e >> 32 & 0xFF]), int(table[e >> 40 & 0xFF]),
        int(table[e >> 48 & 0xFF]), int(table[e >> 56]));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), pixels);
  }
  for (; i < count; ++i) out[i] = table[indices[i]];
}

// The AVX-512 kernel's tables: one colour plane of the registers in four vectors.
struct Plane {
  __m512i quarter[4];
};

// Mask of the first `n` of 64 lanes (n <= 64).
[[gnu::target("avx512f,avx512bw"), gnu::always_inline]] inline __mmask64 FirstLanes(size_t n) {
  return n >= 64 ? ~__mmask64{0} : (__mmask64{1} << n) - 1;
}

// Looks up 64 indices in one plane: the low seven bits pick from a 128-byte half, the
// top bit picks the half.
[[gnu::target("avx512f,avx512bw,avx512vbmi"), gnu::always_inline]] inline __m512i Look(const Plane& plane,
                                                                   __m512i indices,
                                                                   __mmask64 upper) {
  const __m512i low = _mm512_permutex2var_epi8(plane.quarter[0], indices, plane.quarter[1]);
  const __m512i high = _mm512_permutex2var_epi8(plane.quarter[2], indices, plane.quarter[3]);
  return _mm512_mask_blend_epi8(upper, low, high);
}

// Converts the first 64 indices or fewer: `present` names the ones that exist.
[[gnu::target("avx512f,avx512bw,avx512vbmi"), gnu::always_inline]] inline void Convert64(
    const Plane (&planes)[3], __m512i order, const uint8_t* indices, uint32_t* out,
    __mmask64 present) {
  // Byte unpacks work within 128-bit lanes, so the indices are first put in the order
  // that makes the interleaved pixels come out in page order (see kUnpackOrder).
  // (The zero-masking form with every lane kept is the same instruction; GCC 12 warns
  // about the plain form's undefined pass-through.)
  const __m512i x = _mm512_maskz_permutexvar_epi8(FirstLanes(64), order,
                                                  _mm512_maskz_loadu_epi8(present, indices));
  const __mmask64 upper = _mm512_movepi8_mask(x);
  const __m512i blue = Look(planes[0], x, upper);
  const __m512i green = Look(planes[1], x, upper);
  const __m512i red = Look(planes[2], x, upper);
  const __m512i alpha = _mm512_set1_epi8(static_cast<char>(0xFF));
  const __m512i blueGreenLow = _mm512_unpacklo_epi8(blue, green);
  const __m512i blueGreenHigh = _mm512_unpackhi_epi8(blue, green);
  const __m512i redAlphaLow = _mm512_unpacklo_epi8(red, alpha);
  const __m512i redAlphaHigh = _mm512_unpackhi_epi8(red, alpha);
  const __m512i pixels[4] = {_mm512_unpacklo_epi16(blueGreenLow, redAlphaLow),
                             _mm512_unpackhi_epi16(blueGreenLow, redAlphaLow),
                             _mm512_unpacklo_epi16(blueGreenHigh, redAlphaHigh),
                             _mm512_unpackhi_epi16(blueGreenHigh, redAlphaHigh)};
  for (int m = 0; m < 4; ++m) {
    const auto lanes = static_cast<__mmask16>(present >> (16 * m));
    if (lanes == 0xFFFF) {
      _mm512_storeu_si512(out + 16 * m, pixels[m]);
    } else if (lanes != 0) {
      _mm512_mask_storeu_epi32(out + 16 * m, lanes, pixels[m]);
    }
  }
}

// After the unpacks, output vector m holds in its 128-bit lane L the pixels of positions
// 16L + 4m + j (j = 0..3). Pixel 16m + 4L + j must sit there to come out in page order.
constexpr auto kUnpackOrder = [] {
  struct {
    uint8_t at[64];
  } order{};
  for (int lane = 0; lane < 4; ++lane) {
    for (int m = 0; m < 4; ++m) {
      for (int j = 0; j < 4; ++j) order.at[16 * lane + 4 * m + j] = uint8_t(16 * m + 4 * lane + j);
    }
  }
  return order;
}();

// One plane from 256 bytes (64-byte aligned). The quarters are named by constants only,
// here and wherever the planes are changed, so that they can stay in vector registers
// from band to band; an index the compiler cannot see through puts them in memory.
[[gnu::target("avx512f,avx512bw,avx512vbmi"), gnu::always_inline]] inline void LoadPlane(
    const uint8_t* bytes, Plane& plane) {
  plane.quarter[0] = _mm512_load_si512(bytes);
  plane.quarter[1] = _mm512_load_si512(bytes + 64);
  plane.quarter[2] = _mm512_load_si512(bytes + 128);
  plane.quarter[3] = _mm512_load_si512(bytes + 192);
}

[[gnu::target("avx512f,avx512bw,avx512vbmi"), gnu::always_inline]] inline void LoadPlanes(
    const KernelTable& registers, Plane (&planes)[3]) {
  LoadPlane(registers.planes[0], planes[0]);
  LoadPlane(registers.planes[1], planes[1]);
  LoadPlane(registers.planes[2], planes[2]);
}

[[gnu::target("avx512f,avx512bw,avx512vbmi"), gnu::always_inline]] inline void ConvertRun(
    const Plane (&planes)[3], const uint8_t* indices, uint32_t* out, size_t count) {
  const __m512i order = _mm512_loadu_si512(kUnpackOrder.at);
  // A first, partial block brings the stores to a 64-byte boundary: a store that
  // straddles two cache lines costs two.
  size_t done = 0;
  const size_t misaligned = (reinterpret_cast<uintptr_t>(out) & 63) / 4;
  if (misaligned != 0) {
    done = std::min<size_t>(16 - misaligned, count);
    Convert64(planes, order, indices, out, FirstLanes(done));
  }
  for (; done + 64 <= count; done += 64) {
    Convert64(planes, order, indices + done, out + done, FirstLanes(64));
  }
  if (done < count) {
    Convert64(planes, order, indices + done, out + done, FirstLanes(count - done));
  }
}

[[gnu::target("avx512f,avx512bw,avx512vbmi")]] void ConvertAvx512(
    const uint8_t* indices, const KernelTable& registers, uint32_t* out, size_t count) {
  Plane planes[3];
  LoadPlanes(registers, planes);
  ConvertRun(planes, indices, out, count);
}

// Sixteen registers at a time into three planes (blue, green, red; register r at byte
// first + r of each): the byte of each colour component taken from every 32-bit colour by
// one narrowing move each.
[[gnu::target("avx512f,avx512bw")]] void SetPlanes(uint8_t* const (&planes)[3], int32_t first,
                                                   const uint32_t* colours, int32_t count,
                                                   bool swap) {
  int32_t i = 0;
  for (; i + 16 <= count; i += 16) {
    __m512i c = _mm512_loadu_si512(colours + i);
    if (swap) {
      const __m512i order = _mm512_set4_epi32(0x0F0C0D0E, 0x0B08090A, 0x07040506, 0x03000102);
      c = _mm512_shuffle_epi8(c, order);
    }
    // (The zero-masking forms with every lane kept, as in Convert64.)
    constexpr __mmask16 kAll = 0xFFFF;
    for (int p = 0; p < 3; ++p) {
      const __m512i shifted = _mm512_maskz_srli_epi32(kAll, c, unsigned(8 * p));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(planes[p] + first + i),
                       _mm512_maskz_cvtepi32_epi8(kAll, shifted));
    }
  }
  for (; i < count; ++i) {
    const uint32_t c = swap ? SwapRedBlue(colours[i]) : colours[i];
    planes[0][first + i] = static_cast<uint8_t>(c);
    planes[1][first + i] = static_cast<uint8_t>(c >> 8);
    planes[2][first + i] = static_cast<uint8_t>(c >> 16);
  }
}

// Merges quarter q of a change's planes (SetChangePlanes) into the registers held: the
// mask keeps the registers outside the change.
[[gnu::target("avx512f,avx512bw,avx512vbmi"), gnu::always_inline]] inline void MergeQuarter(
    int32_t q, __m512i& blue, __m512i& green, __m512i& red, const BandChange& change,
    size_t quarters) {
  const __mmask64 lanes = change.lanes[q];
  if (lanes == 0) return;
  const PlaneBlock* block = change.planes + (q - change.first / 64);
  blue = _mm512_mask_loadu_epi8(blue, lanes, block[0].bytes);
  green = _mm512_mask_loadu_epi8(green, lanes, block[quarters].bytes);
  red = _mm512_mask_loadu_epi8(red, lanes, block[2 * quarters].bytes);
}

// Merges a change into the registers held. A canvas's byte order reads the blue plane as
// red and red as blue. (A whole palette takes plain loads: merging ones cost more.)
[[gnu::target("avx512f,avx512bw,avx512vbmi"), gnu::always_inline]] inline void MergeChange(
    Plane& blue, Plane& green, Plane& red, const BandChange& change) {
  const size_t quarters = PlaneBlocksOf(change.first, change.count) / 3;
  if (change.count == 256) {
    LoadPlane(change.planes[0].bytes, blue);
    LoadPlane(change.planes[4].bytes, green);
    LoadPlane(change.planes[8].bytes, red);
    return;
  }
  MergeQuarter(0, blue.quarter[0], green.quarter[0], red.quarter[0], change, quarters);
  MergeQuarter(1, blue.quarter[1], green.quarter[1], red.quarter[1], change, quarters);
  MergeQuarter(2, blue.quarter[2], green.quarter[2], red.quarter[2], change, quarters);
  MergeQuarter(3, blue.quarter[3], green.quarter[3], red.quarter[3], change, quarters);
}

// ConvertBandsWith for the AVX-512 kernel when every change has its planes: the registers
// stay in vector registers from band to band and a change merges planes made when its
// list was. Converting a change's colours at its band, in 16-byte pieces that the kernel
// then loads as 64-byte vectors, stalled every band until those pieces (and the pixels
// stored before them) reached the cache: that cost more than converting the band.
[[gnu::target("avx512f,avx512bw,avx512vbmi")]] void ConvertBandsAvx512(
    const BandPicture& picture, const uint32_t* registers, const BandChange* changes,
    size_t changeCount, bool swap) {
  KernelTable table;
  SetTableEntries(Kernel::Avx512, table, 0, registers, 256, swap);
  Plane planes[3];
  LoadPlanes(table, planes);
  const bool packed = picture.indexPitch == size_t(picture.width) && picture.outPitch == size_t(picture.width);
  size_t next = 0;
  for (int32_t y = 0; y < picture.height;) {
    const size_t from = next;
    const int32_t end = BandEnd(changes, changeCount, picture.height, y, next);
    for (size_t c = from; c < next; ++c) {
      if (swap) {
        MergeChange(planes[2], planes[1], planes[0], changes[c]);
      } else {
        MergeChange(planes[0], planes[1], planes[2], changes[c]);
      }
    }
    for (int32_t row = y; row < end; row = packed ? end : row + 1) {
      const size_t rows = packed ? size_t(end - row) : 1;
      ConvertRun(planes, picture.indices + size_t(row) * picture.indexPitch,
                 picture.out + size_t(row) * picture.outPitch, rows * size_t(picture.width));
    }
    y = end;
  }
}

#endif  // __x86_64__

KernelFunction FunctionOf(Kernel kernel) {
  switch (kernel) {
#if defined(__x86_64__)
    case Kernel::Avx2: return ConvertAvx2;
    case Kernel::Avx512: return ConvertAvx512;
#endif
    default: return ConvertPortable;
  }
}

constexpr Kernel kKernels[] = {Kernel::Portable, Kernel::Avx2, Kernel::Avx512};

// The least time of a few conversions of a stretch of page-like indices by each kernel,
// taking the kernels in turn so that a burst of other work on the machine hurts all alike.
std::vector<KernelTime> MeasureKernels(bool withAvx512) {
  constexpr size_t kPixels = 16384;  // a few microseconds each: the whole choice is well under a millisecond
  constexpr int kRounds = 7;
  std::vector<uint8_t> indices(kPixels);
  for (size_t i = 0; i < kPixels; ++i) indices[i] = uint8_t(i / 7 * 37 + i / 640 * 11);
  std::vector<uint32_t> registers(256), out(kPixels);
  for (uint32_t i = 0; i < 256; ++i) registers[i] = i * 0x010203u;
  std::vector<KernelTable> tables(std::size(kKernels));
  std::vector<KernelTime> times;
  for (Kernel kernel : kKernels) {
    if (KernelRuns(kernel) && (withAvx512 || kernel != Kernel::Avx512)) times.push_back({kernel, 1e300});
  }
  for (int round = 0; round <= kRounds; ++round) {
    for (KernelTime& time : times) {
      const auto start = std::chrono::steady_clock::now();
      KernelTable& table = tables[size_t(time.kernel)];
      SetTableEntries(time.kernel, table, 0, registers.data(), 256);
      FunctionOf(time.kernel)(indices.data(), table, out.data(), kPixels);
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      if (round > 0) time.seconds = std::min(time.seconds, took.count());  // round 0 warms the caches
    }
  }
  return times;
}

}  // namespace

Kernel FastestByTime(const std::vector<KernelTime>& times) {
  double portable = 0;
  for (const KernelTime& time : times) {
    if (time.kernel == Kernel::Portable) portable = time.seconds;
  }
  Kernel fastest = Kernel::Portable;
  double best = portable * kVectorMustWin;
  for (const KernelTime& time : times) {
    if (time.kernel != Kernel::Portable && time.seconds < best) {
      fastest = time.kernel;
      best = time.seconds;
    }
  }
  return fastest;
}

Kernel MeasuredFastest(bool withAvx512) { return FastestByTime(MeasureKernels(withAvx512)); }

Kernel FastestKernel() {
  static const Kernel fastest = MeasuredFastest(true);
  return fastest;
}

Kernel KernelFor(const char* asked, std::string& complaint) {
  complaint.clear();
  if (!asked || !*asked) return FastestKernel();
  for (Kernel kernel : kKernels) {
    if (std::strcmp(asked, KernelName(kernel)) != 0) continue;
    if (KernelRuns(kernel)) return kernel;
    complaint = std::string("QUORVEL_KERNEL=") + asked + " cannot run on this processor; using " +
                KernelName(FastestKernel());
    return FastestKernel();
  }
  complaint = std::string("QUORVEL_KERNEL=") + asked +
              " is not a kernel (portable, avx2 or avx512); using " + KernelName(FastestKernel());
  return FastestKernel();
}

const char* KernelName(Kernel kernel) {
  switch (kernel) {
    case Kernel::Avx2: return "avx2";
    case Kernel::Avx512: return "avx512";
    default: return "portable";
  }
}

bool KernelRuns(Kernel kernel) {
  switch (kernel) {
    case Kernel::Portable: return true;
#if defined(__x86_64__)
    case Kernel::Avx2: return __builtin_cpu_supports("avx2");
    case Kernel::Avx512:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512vbmi");
#endif
    default: return false;
  }
}

Kernel ActiveKernel() {
  static const Kernel chosen = [] {
    std::string complaint;
    const Kernel kernel = KernelFor(std::getenv("QUORVEL_KERNEL"), complaint);
    if (!complaint.empty()) std::fprintf(stderr, "quorvel: %s\n", complaint.c_str());
    return kernel;
  }();
  return chosen;
}

void SetTableEntries(Kernel kernel, KernelTable& table, int32_t first, const uint32_t* colours,
                     int32_t count, bool swapRedBlue) {
#if defined(__x86_64__)
  if (kernel == Kernel::Avx512) {
    uint8_t* const planes[3] = {table.planes[0], table.planes[1], table.planes[2]};
    SetPlanes(planes, first, colours, count, swapRedBlue);
    return;
  }
#else
  (void)kernel;
#endif
  uint32_t* pixels = table.pixels + first;
  if (swapRedBlue) {
    for (int32_t i = 0; i < count; ++i) pixels[i] = SwapRedBlue(colours[i]) | kOpaque;
  } else {
    for (int32_t i = 0; i < count; ++i) pixels[i] = colours[i] | kOpaque;
  }
}

void ConvertWithTable(Kernel kernel, const uint8_t* indices, const KernelTable& table,
                      uint32_t* out, size_t count) {
  FunctionOf(kernel)(indices, table, out, count);
}

size_t PlaneBlocksOf(int32_t first, int32_t count) {
  return count <= 0 ? 0 : 3 * size_t((first + count - 1) / 64 - first / 64 + 1);
}

void SetChangePlanes(BandChange& change, PlaneBlock* blocks) {
  const size_t quarters = PlaneBlocksOf(change.first, change.count) / 3;
  change.planes = blocks;
  for (int32_t q = 0; q < 4; ++q) {
    const int32_t lo = std::clamp(change.first - 64 * q, 0, 64);
    const int32_t hi = std::clamp(change.first + change.count - 64 * q, 0, 64);
    change.lanes[q] = lo < hi ? (hi == 64 ? ~uint64_t{0} : (uint64_t{1} << hi) - 1) & ~((uint64_t{1} << lo) - 1) : 0;
  }
  if (quarters == 0) return;
  uint8_t* const planes[3] = {blocks[0].bytes, blocks[quarters].bytes, blocks[2 * quarters].bytes};
  const int32_t at = change.first % 64;  // the change's first register within its first block
  for (uint8_t* plane : planes) {
    std::memset(plane, 0, size_t(at));
    std::memset(plane + at + change.count, 0, 64 * quarters - size_t(at + change.count));
  }
#if defined(__x86_64__)
  SetPlanes(planes, at, change.colours, change.count, false);
#endif
}

void ConvertBandsWith(Kernel kernel, const BandPicture& picture, const uint32_t* registers,
                      const BandChange* changes, size_t changeCount, bool swapRedBlue) {
  if (picture.width <= 0 || picture.height <= 0) return;
#if defined(__x86_64__)
  if (kernel == Kernel::Avx512 &&
      std::all_of(changes, changes + changeCount,
                  [](const BandChange& c) { return c.planes || c.count <= 0; })) {
    ConvertBandsAvx512(picture, registers, changes, changeCount, swapRedBlue);
    return;
  }
#endif
  KernelTable table;
  SetTableEntries(kernel, table, 0, registers, 256, swapRedBlue);
  // Rows that follow one another without a gap convert as one stretch.
  const bool packed = picture.indexPitch == size_t(picture.width) && picture.outPitch == size_t(picture.width);
  const KernelFunction convert = FunctionOf(kernel);
  size_t next = 0;
  for (int32_t y = 0; y < picture.height;) {
    const size_t from = next;
    const int32_t end = BandEnd(changes, changeCount, picture.height, y, next);
    for (size_t c = from; c < next; ++c) {
      SetTableEntries(kernel, table, changes[c].first, changes[c].colours, changes[c].count, swapRedBlue);
    }
    for (int32_t row = y; row < end; row = packed ? end : row + 1) {
      const size_t rows = packed ? size_t(end - row) : 1;
      convert(picture.indices + size_t(row) * picture.indexPitch, table,
              picture.out + size_t(row) * picture.outPitch, rows * size_t(picture.width));
    }
    y = end;
  }
}

void ConvertPixels(const uint8_t* indices, const uint32_t* registers, uint32_t* out,
                   size_t count) {
  ConvertPixelsWith(ActiveKernel(), indices, registers, out, count);
}

void ConvertPixelsWith(Kernel kernel, const uint8_t* indices, const uint32_t* registers,
                       uint32_t* out, size_t count) {
  KernelTable table;
  SetTableEntries(kernel, table, 0, registers, 256);
  FunctionOf(kernel)(indices, table, out, count);
}

}  // namespace quorvel::detail

namespace quorvel {

const char* ConversionKernel() { return detail::KernelName(detail::ActiveKernel()); }

}  // namespace quorvel
