// The driver: the program's phases in their fixed order.
#include <cstdio>
#include <memory>

#include "demo/demo.hpp"
#include "demo/runner.hpp"
#include <quorvel/palette.hpp>

namespace quorvel::demo {

int Run() {
  if (!OpenScreen(18, 8, 2, kFullScreen)) {
    std::fprintf(stderr, "quorvel-demo: cannot open the 640x480 256-colour screen: %s\n",
                 ScreenError().c_str());
    return 1;
  }
  auto demo = std::make_unique<Demo>();

  // Build the pictures off screen, with every register black so nothing shows.
  PalBlackout();
  SetPages(1, 0);
  LockScreen();
  DrawTitleImages(*demo);
  UnlockScreen(-1, -1);
  RestoreDefaultPalette();
  PlayTitleSequence(*demo);

  // The first test screen is drawn straight onto the visible page.
  SetPages(0, 0);
  PutImage(0, 192, demo->images.ready, kPutTransparent);
  DrawColourBars();

  for (const Group& group : TestTable()) RunGroup(*demo, group);

  DrawInfoPage(*demo);
  DrawCreditsPage(*demo);
  PlayClosingFade();
  CloseScreen();
  return 0;
}

}  // namespace quorvel::demo
