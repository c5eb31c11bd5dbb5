// The Quorvel demonstration program.
#pragma once

namespace quorvel::demo {

// Runs the whole demonstration: title, the four test groups, the information and credits
// pages and the closing fade. Returns the exit code: 0, or 1 when no screen could be
// opened (the reason is printed on stderr).
int Run();

}  // namespace quorvel::demo
