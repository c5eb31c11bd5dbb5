// The four test groups (placeholder: group 1's labels, no tests yet).
#include "demo/runner.hpp"

namespace quorvel::demo {

std::vector<Group> TestTable() {
  return {{ScreenAction::Keep,
           {"FadeIn.DefaultPal", "FadeOut.DefaultPal", "FadeInX.DefaultPal",
            "FadeOutX.DefaultPal", "FadeInRange.DefaultPal", "FadeOutRange.DefaultPal",
            "FadeInRangeX.DefaultPal", "FadeOutRangeX.DefaultPal"},
           {}}};
}

}  // namespace quorvel::demo
