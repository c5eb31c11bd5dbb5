// What the clock needs from the page when the program runs in a browser (Emscripten).
#pragma once

namespace quorvel::detail {

// Suspends the program until the page's next animation frame, yielding to the browser
// meanwhile. With a screen open its frame comes before the presentation of that frame.
void WaitForAnimationFrame();

}  // namespace quorvel::detail
