// The page kernels: every conversion kernel this processor runs gives the portable
// kernel's pixels, byte for byte, for random pages and registers, at any start and
// length; counting a page's indices misses none.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "display/convert.hpp"
#include "display/index_set.hpp"
#include "display/lines.hpp"
#include "display/screen.hpp"
#include <quorvel/display.hpp>

namespace quorvel::detail {
namespace {

constexpr Kernel kVectorKernels[] = {Kernel::Avx2, Kernel::Avx512};

TEST(ConvertKernels, EveryKernelMatchesThePortableOne) {
  std::mt19937 random(13);
  // Room around the page so that starts and ends fall on every alignment.
  constexpr size_t kMargin = 80;
  std::vector<uint8_t> indices(kPagePixels + 2 * kMargin);
  std::vector<uint32_t> want(indices.size()), got(indices.size());
  uint32_t registers[256];
  for (Kernel kernel : kVectorKernels) {
    if (!KernelRuns(kernel)) {
      std::printf("kernel %s does not run here; skipped\n", KernelName(kernel));
      continue;
    }
    for (int round = 0; round < 8; ++round) {
      // Random top bytes too: the kernels must ignore them.
      for (uint32_t& r : registers) r = random();
      for (uint8_t& i : indices) i = static_cast<uint8_t>(random());
      // The whole page, then short and odd stretches starting anywhere.
      std::vector<std::pair<size_t, size_t>> stretches = {{kMargin, kPagePixels}};
      for (size_t count : {0, 1, 15, 16, 17, 63, 64, 65, 127, 200, 641}) {
        stretches.push_back({random() % (2 * kMargin), count});
      }
      stretches.push_back({kMargin + kPagePixels - 37, 37});  // the page's last pixels
      for (auto [start, count] : stretches) {
        // Sentinels on both sides show a kernel writing outside its stretch.
        std::fill(want.begin(), want.end(), 0x12345678u);
        std::fill(got.begin(), got.end(), 0x12345678u);
        ConvertPixelsWith(Kernel::Portable, indices.data() + start, registers,
                          want.data() + start, count);
        ConvertPixelsWith(kernel, indices.data() + start, registers, got.data() + start, count);
        ASSERT_EQ(got, want) << KernelName(kernel) << " from " << start << ", " << count;
        if (count > 0) {
          ASSERT_EQ(want[start], registers[indices[start]] | 0xFF000000u);
        }
      }
    }
  }
}

// Line palettes of random changes: any first register and count (so across the kernels'
// blocks of 64 registers, partly and wholly), several at one line, on a picture with
// padded rows; every kernel, converting a list for the first time or again (when a kernel
// may have prepared it), in either byte order, gives the portable kernel's pixels and
// leaves the padding alone.
TEST(ConvertKernels, EveryKernelConvertsRandomBandsAsThePortableOne) {
  std::mt19937 random(29);
  constexpr int32_t kWidth = 77, kHeight = 90, kIndexPitch = 80, kOutPitch = 83;
  std::vector<uint8_t> indices(size_t(kIndexPitch) * kHeight);
  uint32_t registers[256];
  for (int round = 0; round < 12; ++round) {
    for (uint32_t& r : registers) r = random();
    for (uint8_t& i : indices) i = static_cast<uint8_t>(random());
    LinePalettes lines;
    for (int c = 0; c < 40; ++c) {
      const int32_t first = int32_t(random() % 256);
      const int32_t count = c % 8 == 0 ? 256 - first : int32_t(random() % uint32_t(257 - first));
      std::vector<uint32_t> colours(static_cast<size_t>(count));
      for (uint32_t& colour : colours) colour = random();
      lines.Add(int32_t(random() % (kHeight + 5)) - 2, first, colours.data(), count);
    }
    for (bool swap : {false, true}) {
      std::vector<uint32_t> want(size_t(kOutPitch) * kHeight, 0x12345678u);
      const std::shared_ptr<const LineList> list = MakeLineList(lines);
      ConvertBands(Kernel::Portable, indices.data(), kIndexPitch, kWidth, kHeight, registers,
                   list.get(), want.data(), kOutPitch, swap);
      for (Kernel kernel : kVectorKernels) {
        if (!KernelRuns(kernel)) continue;
        const std::shared_ptr<const LineList> fresh = MakeLineList(lines);
        for (int conversion = 1; conversion <= 2; ++conversion) {
          std::vector<uint32_t> got(want.size(), 0x12345678u);
          ConvertBands(kernel, indices.data(), kIndexPitch, kWidth, kHeight, registers,
                       fresh.get(), got.data(), kOutPitch, swap);
          ASSERT_EQ(got, want) << KernelName(kernel) << " (conversion " << conversion
                               << "), round " << round << (swap ? ", swapped" : "");
        }
      }
    }
  }
}

TEST(ConvertKernels, QuorvelKernelChoosesOneThatRunsOrSaysWhyNot) {
  std::string complaint = "stale";
  const Kernel fastest = KernelFor(nullptr, complaint);
  EXPECT_EQ(complaint, "");
  EXPECT_EQ(fastest, FastestKernel());
  EXPECT_TRUE(KernelRuns(fastest));
  EXPECT_EQ(KernelFor("", complaint), fastest);
  EXPECT_EQ(KernelFor("portable", complaint), Kernel::Portable);
  EXPECT_EQ(complaint, "");
  for (Kernel kernel : kVectorKernels) {
    const bool runs = KernelRuns(kernel);
    EXPECT_EQ(KernelFor(KernelName(kernel), complaint), runs ? kernel : fastest);
    EXPECT_EQ(complaint.empty(), runs) << complaint;
  }
  EXPECT_EQ(KernelFor("AVX2 ", complaint), fastest);
  EXPECT_EQ(complaint, std::string("QUORVEL_KERNEL=AVX2  is not a kernel (portable, avx2 or "
                                   "avx512); using ") + KernelName(fastest));
  EXPECT_STREQ(ConversionKernel(), KernelName(ActiveKernel()));
}

// The choice by measurement: a vector kernel must beat the portable one clearly, and the
// fastest of those that do wins.
TEST(ConvertKernels, AVectorKernelIsChosenOnlyWhenItClearlyBeatsThePortableOne) {
  using P = Kernel;
  EXPECT_EQ(FastestByTime({{P::Portable, 1.0}, {P::Avx2, 0.96}}), P::Portable);
  EXPECT_EQ(FastestByTime({{P::Portable, 1.0}, {P::Avx2, 1.4}}), P::Portable);
  EXPECT_EQ(FastestByTime({{P::Portable, 1.0}, {P::Avx2, 0.9}}), P::Avx2);
  EXPECT_EQ(FastestByTime({{P::Avx512, 0.3}, {P::Portable, 1.0}, {P::Avx2, 0.9}}), P::Avx512);
  EXPECT_EQ(FastestByTime({{P::Portable, 1.0}, {P::Avx512, 0.8}, {P::Avx2, 0.7}}), P::Avx2);
  EXPECT_EQ(FastestByTime({{P::Portable, 1.0}, {P::Avx2, 2.0}, {P::Avx512, 0.99}}), P::Portable);
  EXPECT_NE(MeasuredFastest(false), P::Avx512);
}

TEST(PageIndices, EveryIndexCountsInRunsAndTails) {
  std::mt19937 random(7);
  std::vector<uint8_t> page(1000);
  for (int round = 0; round < 300; ++round) {
    // Runs of one index with strays, or every pixel random, at any length.
    std::fill(page.begin(), page.end(), static_cast<uint8_t>(random()));
    const size_t strays = round % 3 == 2 ? page.size() : round % 3;
    for (size_t stray = 0; stray < strays; ++stray) {
      page[random() % page.size()] = static_cast<uint8_t>(random());
    }
    const size_t count = random() % page.size();
    IndexSet want;
    for (size_t i = 0; i < count; ++i) want.Add(page[i]);
    for (Kernel kernel : {Kernel::Portable, Kernel::Avx512}) {
      if (!KernelRuns(kernel)) continue;
      ASSERT_EQ(IndicesInWith(kernel, page.data(), count).words, want.words)
          << KernelName(kernel) << ", round " << round;
    }
  }
}

}  // namespace
}  // namespace quorvel::detail
