// The title sequence (placeholder: only the caption is built).
#include "demo/runner.hpp"

namespace quorvel::demo {

void DrawTitleImages(Demo& demo) {
  SetTextColor(91, 0);
  LocateText(1, 1);
  PrintText("R E A D Y   T O   T E S T :", true);
  GetImage(0, 0, 224, 16, demo.images.ready);
  ClearScreen();
}

void PlayTitleSequence(Demo& demo) { (void)demo; }

}  // namespace quorvel::demo
