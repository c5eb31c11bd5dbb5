// The player: the picture drawn once at its scale, then only the palette changes.
#include <algorithm>

#include <quorvel/display.hpp>

#include "programs/play/play.hpp"

namespace quorvel::play {
namespace {

constexpr double kSlowest = 0.125, kFastest = 8, kSpeedStep = 1.25;

}  // namespace

ScreenOptions ScreenFor(const IndexedPicture& picture, bool fullScreen) {
  constexpr int32_t kSmallest = 16, kLargest = 4096;
  ScreenOptions options;
  options.width = std::clamp(picture.width, kSmallest, kLargest);
  options.height = std::clamp(picture.height, kSmallest, kLargest);
  options.pixelAspect = std::clamp(picture.pixelAspect, 0.25, 4.0);
  options.pages = 1;
  options.fullScreen = fullScreen;
  options.title = "quorvel-play";
  return options;
}

Layout FitPicture(int32_t width, int32_t height, int32_t screenWidth, int32_t screenHeight) {
  Layout layout;
  if (width <= 0 || height <= 0) return layout;
  layout.scale = std::max(1, std::min(screenWidth / width, screenHeight / height));
  layout.shownWidth = std::min(width, screenWidth);
  layout.shownHeight = std::min(height, screenHeight);
  layout.sourceX = (width - layout.shownWidth) / 2;
  layout.sourceY = (height - layout.shownHeight) / 2;
  layout.left = (screenWidth - layout.shownWidth * layout.scale) / 2;
  layout.top = (screenHeight - layout.shownHeight * layout.scale) / 2;
  return layout;
}

Player::Player(const IndexedPicture& picture, const std::vector<Cycle>& cycles)
    : picture_(picture), animator_(picture.palette) {
  for (const Cycle& cycle : cycles) cycles_.push_back(animator_.AddCycle(cycle));
  for (EffectHandle cycle : cycles_) animator_.SetCycleBlend(cycle, blend_);
}

void Player::Draw() const {
  ClearScreen();
  const Layout at = FitPicture(picture_.width, picture_.height, ScreenWidth(), ScreenHeight());
  const int32_t width = at.shownWidth * at.scale, height = at.shownHeight * at.scale;
  if (width == 0 || height == 0) return;
  // One PutImage of the scaled rows.
  ImageBuffer image = MakeImage(width, height);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* from = picture_.pixels.data() + size_t(at.sourceY + y / at.scale) * size_t(picture_.width) + at.sourceX;
    uint8_t* to = ImagePixels(image) + size_t(y) * size_t(width);
    for (int32_t x = 0; x < width; ++x) to[x] = from[x / at.scale];
  }
  PutImage(at.left, at.top, image, kPutCopy);
}

bool Player::Frame(double nowMs) {
  while (KeyWaiting()) {
    if (!Key(ReadKeyCode())) return false;
  }
  animator_.Update(nowMs);
  animator_.PresentToScreen();
  return true;
}

bool Player::Key(int32_t code) {
  switch (code) {
    case 27: return false;
    case 'b': case 'B':
      blend_ = !blend_;
      for (EffectHandle cycle : cycles_) animator_.SetCycleBlend(cycle, blend_);
      break;
    case kKeyLeft: speed_ = std::max(kSlowest, speed_ / kSpeedStep); ApplyTime(); break;
    case kKeyRight: speed_ = std::min(kFastest, speed_ * kSpeedStep); ApplyTime(); break;
    case ' ': paused_ = !paused_; ApplyTime(); break;
    case 'a': case 'A':
      SetScaling(CurrentScaling() == Scaling::Integer ? Scaling::Aspect : Scaling::Integer);
      break;
    default: break;
  }
  return true;
}

void Player::ApplyTime() { animator_.SetTimeScale(paused_ ? 0 : speed_); }

}  // namespace quorvel::play
