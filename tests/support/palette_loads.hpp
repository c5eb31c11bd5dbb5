// What the blocking palette file loaders write to the registers, and the status they
// leave, checked as every loader must behave.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <quorvel/palette.hpp>

namespace quorvel::testing {

// A PalColor packed by hand, not by the library.
int32_t Packed(int32_t r, int32_t g, int32_t b);

// The colours PalLoad::FilePal and PalLoad::PP256Pal write; expects 256 register writes
// in ascending order and no sleep.
std::vector<int32_t> LoadFilePal(const std::string& name);
std::vector<int32_t> LoadPP256Pal(const std::string& name);

// Expects the last palette file status on this thread to be `error` for `name`, after
// `bytes` bytes.
void ExpectStatus(PaletteFileError error, const std::string& name, int32_t bytes);

}  // namespace quorvel::testing
