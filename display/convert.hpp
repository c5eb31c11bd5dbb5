// Turning palette indices into 32-bit pixels: the conversion every presented frame pays.
// A portable kernel everywhere and, on x86-64, vector kernels for AVX2 and for AVX-512
// with byte permutes (VBMI), chosen once from what the processor offers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvel::detail {

enum class Kernel { Portable, Avx2, Avx512 };

// "portable", "avx2" or "avx512", the names QUORVEL_KERNEL takes.
const char* KernelName(Kernel kernel);

// Whether this build and this processor can run `kernel`.
bool KernelRuns(Kernel kernel);

// The kernel for a value of QUORVEL_KERNEL (null or "" when unset): the one it names when
// that one runs, else the fastest that runs, with `complaint` saying why the name was
// not followed.
Kernel KernelFor(const char* asked, std::string& complaint);

// The kernel ConvertPixels uses, chosen on first use by KernelFor from the environment;
// a complaint goes to stderr, once.
Kernel ActiveKernel();

// Converts `count` palette indices through 256 registers (0xRRGGBB; the top byte is
// ignored) into 0xFFRRGGBB pixels. Every kernel gives the same pixels.
void ConvertPixels(const uint8_t* indices, const uint32_t* registers, uint32_t* out,
                   size_t count);
// The same with a given kernel, which must be one that runs.
void ConvertPixelsWith(Kernel kernel, const uint8_t* indices, const uint32_t* registers,
                       uint32_t* out, size_t count);

}  // namespace quorvel::detail
