// Golden pictures: captured frames compared with PNG files kept under tests/data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::testing {

// Compares a captured frame (CaptureFrame) with tests/data/<name>.png and reports every
// difference as a test failure, leaving this run's frame beside the test's temporary
// files. QUORVEL_UPDATE_GOLDEN=1 rewrites the file instead, to be looked at before it is
// committed.
void ExpectGolden(const std::string& name, const std::vector<uint32_t>& frame);

}  // namespace quorvel::testing
