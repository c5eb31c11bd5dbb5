// Where the native presenter puts a screen's picture (its border not included) in an
// output of a given size, under each scaling, for the browser test to compare with where
// a page puts its canvas:
//   quorvel_web_place WIDTH HEIGHT PIXEL_ASPECT BORDER OUTPUT_WIDTH OUTPUT_HEIGHT
// prints "integer x y w h", then the same for aspect and stretch.
#include <cstdio>
#include <cstdlib>

#include "display/geometry.hpp"

int main(int argc, char** argv) {
  using namespace quorvel;
  if (argc != 7) {
    std::fprintf(stderr, "usage: %s WIDTH HEIGHT PIXEL_ASPECT BORDER OUTPUT_WIDTH OUTPUT_HEIGHT\n", argv[0]);
    return 2;
  }
  const auto whole = [&](int i) { return static_cast<int32_t>(std::strtol(argv[i], nullptr, 10)); };
  const detail::ScreenShape shape{whole(1), whole(2), std::strtod(argv[3], nullptr), whole(4)};
  if (shape.width <= 0 || shape.height <= 0 || !(shape.pixelAspect > 0) || shape.borderWidth < 0) {
    std::fprintf(stderr, "%s: a screen of at least 1x1, a pixel aspect above 0 and a border of 0 or more\n", argv[0]);
    return 2;
  }
  const struct {
    const char* name;
    Scaling scaling;
  } kPolicies[] = {{"integer", Scaling::Integer}, {"aspect", Scaling::Aspect}, {"stretch", Scaling::Stretch}};
  for (const auto& policy : kPolicies) {
    const detail::Area a = detail::PlacePicture(shape, policy.scaling, whole(5), whole(6));
    std::printf("%s %d %d %d %d\n", policy.name, a.x, a.y, a.w, a.h);
  }
  return 0;
}
