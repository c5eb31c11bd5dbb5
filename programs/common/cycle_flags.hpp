// How the programs read the flags that say which of a picture's colour cycles run, so that
// quorvel-pal info tells the cycles quorvel-play runs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <quorvel/formats.hpp>

namespace quorvel::programs {

enum class CycleFlags {
  // DeluxePaint's active flag; but where it leaves every cycle still, the cycles whose rate
  // moves them run, as most players run them: many files mark running cycles with flags 0
  // (or 2, reversed) and nothing else.
  Usual,
  Strict,  // --strict-flags: the active flag alone, as DeluxePaint reads it
  Dos,     // --dos-cycles: every cycle whose rate moves it, whatever its flags
};

// Takes --dos-cycles or --strict-flags into `flags`. False, with `error`, when the other
// one came before: they ask for opposite readings.
bool TakeCycleFlags(std::string_view option, CycleFlags& flags, std::string& error);

// How to read a picture's cycles for `flags`; Usual reads the active flag first.
CycleReadOptions CycleReadOptionsFor(CycleFlags flags);

// The cycles of the picture in `bytes` that run whatever their flags say: those whose
// rate moves them.
std::vector<PictureCycle> CyclesWithMovingRates(const std::vector<uint8_t>& bytes);

// For Usual, when none of `cycles` (read from `bytes` with CycleReadOptionsFor) runs but
// some have a rate that moves them: puts those cycles, running, in their place and returns
// how many run. Otherwise leaves `cycles` as they are and returns 0.
size_t RunCyclesNoneIsMarkedFor(const std::vector<uint8_t>& bytes, CycleFlags flags,
                                std::vector<PictureCycle>& cycles);

}  // namespace quorvel::programs
