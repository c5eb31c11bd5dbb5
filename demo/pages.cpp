// The information and credits pages and the closing fade (placeholder).
#include "demo/runner.hpp"

namespace quorvel::demo {

void DrawInfoPage(const Demo& demo) { (void)demo; }
void DrawCreditsPage(const Demo& demo) { (void)demo; }
void PlayClosingFade() {}

}  // namespace quorvel::demo
