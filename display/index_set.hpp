// Sets of palette indices, one bit each: which registers a page shows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quorvel::detail {

struct IndexSet {
  std::array<uint64_t, 4> words{};

  bool Has(uint8_t index) const { return words[index >> 6] >> (index & 63) & 1; }
  void Add(uint8_t index) { words[index >> 6] |= uint64_t{1} << (index & 63); }
  void Add(const IndexSet& other) {
    for (size_t w = 0; w < words.size(); ++w) words[w] |= other.words[w];
  }
  static IndexSet Of(uint8_t index) {
    IndexSet set;
    set.Add(index);
    return set;
  }
  static IndexSet Every() { return {{~uint64_t{0}, ~uint64_t{0}, ~uint64_t{0}, ~uint64_t{0}}}; }
};

enum class Kernel;

// The indices that occur among `count` pixels, counted with the AVX-512 kernel when that
// is the conversion kernel in use (convert.hpp), else with the portable one.
IndexSet IndicesIn(const uint8_t* pixels, size_t count);
// The same with a given kernel, which must be one that runs (AVX2 counts portably).
IndexSet IndicesInWith(Kernel kernel, const uint8_t* pixels, size_t count);

}  // namespace quorvel::detail
