#include "programs/common/cycle_flags.hpp"

#include <algorithm>

namespace quorvel::programs {

bool TakeCycleFlags(std::string_view option, CycleFlags& flags, std::string& error) {
  const CycleFlags wanted = option == "--dos-cycles" ? CycleFlags::Dos : CycleFlags::Strict;
  if (flags != CycleFlags::Usual && flags != wanted) {
    error = "--dos-cycles and --strict-flags ask for opposite readings of the cycle flags; give one";
    return false;
  }
  flags = wanted;
  return true;
}

CycleReadOptions CycleReadOptionsFor(CycleFlags flags) { return {.dosFlags = flags == CycleFlags::Dos}; }

std::vector<PictureCycle> CyclesWithMovingRates(const std::vector<uint8_t>& bytes) {
  return ReadCycleChunks(bytes, {.dosFlags = true}).cycles;
}

size_t RunCyclesNoneIsMarkedFor(const std::vector<uint8_t>& bytes, CycleFlags flags,
                                std::vector<PictureCycle>& cycles) {
  const auto runs = [](const PictureCycle& pc) { return pc.active; };
  if (flags != CycleFlags::Usual || cycles.empty() || std::any_of(cycles.begin(), cycles.end(), runs)) {
    return 0;
  }
  std::vector<PictureCycle> moving = CyclesWithMovingRates(bytes);
  const size_t running = size_t(std::count_if(moving.begin(), moving.end(), runs));
  if (running > 0) cycles = std::move(moving);
  return running;
}

}  // namespace quorvel::programs
