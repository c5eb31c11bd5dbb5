// Counting which indices a page uses. The screen does it on the program's thread when a
// register changes after drawing, so it must be quick: the portable way skips runs of
// one index, and with AVX-512 (VBMI) 64 pixels at a time are looked up in the set found
// so far, four 64-byte registers holding one byte per index.
#include "display/index_set.hpp"

#include <bit>
#include <cstring>

#include "display/convert.hpp"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace quorvel::detail {
namespace {

IndexSet IndicesPortable(const uint8_t* pixels, size_t count) {
  IndexSet set;
  if (count == 0) return set;
  // Pages are mostly runs of one index (backgrounds, boxes, bars, the blank parts of
  // text): eight pixels that all repeat the last index seen cost one comparison. The
  // others mark a byte each, independent stores that a bit set would chain.
  bool seen[256] = {};
  constexpr uint64_t kEveryByte = 0x0101010101010101u;
  seen[pixels[0]] = true;
  uint64_t run = pixels[0] * kEveryByte;
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t eight;
    std::memcpy(&eight, pixels + i, 8);
    if (eight == run) continue;
    for (int k = 0; k < 8; ++k) seen[(eight >> (8 * k)) & 0xFF] = true;
    run = (eight >> 56) * kEveryByte;  // one of the eight, seen now
  }
  for (; i < count; ++i) seen[pixels[i]] = true;
  for (int index = 0; index < 256; ++index) {
    if (seen[index]) set.Add(static_cast<uint8_t>(index));
  }
  return set;
}

#if defined(__x86_64__)

// Nearly every block of 64 pixels holds only indices already found: two byte permutes
// and a select say so. Each block that holds new ones adds at least one to the 256, so
// the slow path runs at most 256 times.
[[gnu::target("avx512f,avx512bw,avx512vbmi")]] IndexSet IndicesAvx512(const uint8_t* pixels,
                                                                      size_t count) {
  IndexSet set;
  alignas(64) uint8_t found[256] = {};  // 0xFF for each index found
  __m512i quarter[4];
  for (int q = 0; q < 4; ++q) quarter[q] = _mm512_load_si512(&found[64 * q]);
  for (size_t i = 0; i < count; i += 64) {
    const __mmask64 present =
        count - i >= 64 ? ~__mmask64{0} : (__mmask64{1} << (count - i)) - 1;
    const __m512i x = _mm512_maskz_loadu_epi8(present, pixels + i);
    const __m512i low = _mm512_permutex2var_epi8(quarter[0], x, quarter[1]);
    const __m512i high = _mm512_permutex2var_epi8(quarter[2], x, quarter[3]);
    const __m512i known = _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high);
    __mmask64 fresh = present & ~_mm512_movepi8_mask(known);
    if (fresh == 0) continue;
    for (; fresh != 0; fresh &= fresh - 1) {
      const uint8_t index = pixels[i + std::countr_zero(fresh)];
      found[index] = 0xFF;
      set.Add(index);
    }
    for (int q = 0; q < 4; ++q) quarter[q] = _mm512_load_si512(&found[64 * q]);
  }
  return set;
}

#endif  // __x86_64__

}  // namespace

IndexSet IndicesIn(const uint8_t* pixels, size_t count) {
  return IndicesInWith(ActiveKernel(), pixels, count);
}

IndexSet IndicesInWith(Kernel kernel, const uint8_t* pixels, size_t count) {
#if defined(__x86_64__)
  if (kernel == Kernel::Avx512) return IndicesAvx512(pixels, count);
#endif
  (void)kernel;
  return IndicesPortable(pixels, count);
}

}  // namespace quorvel::detail
