// Turning palette indices into 32-bit pixels: the conversion every presented frame pays.
// A portable kernel everywhere and, on x86-64, vector kernels for AVX2 and for AVX-512
// with byte permutes (VBMI), chosen once by measuring those the processor runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::detail {

enum class Kernel { Portable, Avx2, Avx512 };

// "portable", "avx2" or "avx512", the names QUORVEL_KERNEL takes.
const char* KernelName(Kernel kernel);

// Whether this build and this processor can run `kernel`.
bool KernelRuns(Kernel kernel);

// How long a kernel took to convert the same indices as the others.
struct KernelTime {
  Kernel kernel;
  double seconds;
};
// A vector kernel is chosen only when it takes at most this share of the portable
// kernel's time: a tie within the noise of measuring goes to the portable kernel, so
// whatever is chosen is never slower than it.
constexpr double kVectorMustWin = 0.95;
// The kernel to use given each one's time (the portable kernel's among them).
Kernel FastestByTime(const std::vector<KernelTime>& times);
// Measures the kernels that run here (in well under a millisecond) and chooses by
// FastestByTime; without `withAvx512`, as a processor without AVX-512 VBMI would.
Kernel MeasuredFastest(bool withAvx512);
// MeasuredFastest(true), measured on first use and kept.
Kernel FastestKernel();

// The kernel for a value of QUORVEL_KERNEL (null or "" when unset): the one it names when
// that one runs, else FastestKernel(), with `complaint` saying why the name was not
// followed.
Kernel KernelFor(const char* asked, std::string& complaint);

// The kernel ConvertPixels uses, chosen on first use by KernelFor from the environment;
// a complaint goes to stderr, once.
Kernel ActiveKernel();

// The registers as a kernel reads them. A frame with palettes per line keeps one table
// from band to band, so a change of a few registers costs those registers only. Only the
// part of the kernel it was filled for is meaningful.
struct KernelTable {
  alignas(64) uint32_t pixels[256];    // 0xFF000000 | colour: the portable and AVX2 kernels
  alignas(64) uint8_t planes[3][256];  // blue, green and red bytes: the AVX-512 kernel
};
// Puts `count` colours (0xRRGGBB; the top byte is ignored) into registers first.. of the
// table as `kernel` reads them; with `swapRedBlue` as 0xBBGGRR (a canvas's byte order).
void SetTableEntries(Kernel kernel, KernelTable& table, int32_t first, const uint32_t* colours,
                     int32_t count, bool swapRedBlue = false);
// Converts `count` indices through a table that SetTableEntries filled for `kernel`.
void ConvertWithTable(Kernel kernel, const uint8_t* indices, const KernelTable& table,
                      uint32_t* out, size_t count);

// 64 bytes of one colour plane, as the AVX-512 kernel loads them.
struct PlaneBlock {
  alignas(64) uint8_t bytes[64];
};

// A change of registers part-way down a picture, as the kernels take it: from row `line`
// (0 or more) on, registers first..first + count - 1 hold `colours` (0xRRGGBB).
// `planes`, when not null, holds the same colours as SetChangePlanes made them: the
// AVX-512 kernel then merges them into the registers it holds instead of converting the
// colours at every frame.
struct BandChange {
  int32_t line;
  int32_t first;
  int32_t count;
  const uint32_t* colours;
  const PlaneBlock* planes = nullptr;
  uint64_t lanes[4] = {};  // per 64 registers, the ones the change sets
};
// How many blocks SetChangePlanes needs for registers first..first + count - 1: three
// (blue, green, red) for each 64 registers (from a multiple of 64) they touch.
size_t PlaneBlocksOf(int32_t first, int32_t count);
// Puts the change's colours into `blocks` as the AVX-512 kernel reads them and points the
// change at them. Only where that kernel runs.
void SetChangePlanes(BandChange& change, PlaneBlock* blocks);

// Rows of indices and the pixels they become; pitches count indices and pixels.
struct BandPicture {
  const uint8_t* indices;
  size_t indexPitch;
  int32_t width;
  int32_t height;
  uint32_t* out;
  size_t outPitch;
};
// Converts the picture through the registers and `changes` (in order of line; at one line
// applied in turn), one band of rows between changes at a time, with `kernel`;
// `swapRedBlue` gives 0xFFBBGGRR, a canvas's byte order. One table serves every band: a
// change costs the registers it names, and with the AVX-512 kernel and every change's
// planes made, the table stays in vector registers from the first band to the last.
void ConvertBandsWith(Kernel kernel, const BandPicture& picture, const uint32_t* registers,
                      const BandChange* changes, size_t changeCount, bool swapRedBlue = false);

// Converts `count` palette indices through 256 registers (0xRRGGBB; the top byte is
// ignored) into 0xFFRRGGBB pixels. Every kernel gives the same pixels.
void ConvertPixels(const uint8_t* indices, const uint32_t* registers, uint32_t* out,
                   size_t count);
// The same with a given kernel, which must be one that runs.
void ConvertPixelsWith(Kernel kernel, const uint8_t* indices, const uint32_t* registers,
                       uint32_t* out, size_t count);

}  // namespace quorvel::detail
