// The Animator in an SDL2 game loop that draws like most do: an SDL_Renderer and a
// streaming texture. The game keeps its own 8-bit picture; each frame the Animator gives
// the palette for this instant, a gradient per line colours the sky, and ConvertIndices
// turns the picture through both into the texture. Escape
// or closing the window quits.
#include <SDL.h>

#include <cstdint>
#include <vector>

#include <quorvel/animator.hpp>

int main(int, char**) {
  constexpr int kWidth = 320, kHeight = 240;  // the game's picture, shown at twice its size

  // A window, a renderer synchronised with the display, a texture the processor fills.
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
  SDL_Window* window = SDL_CreateWindow("Animator with an SDL texture", SDL_WINDOWPOS_CENTERED,
                                        SDL_WINDOWPOS_CENTERED, kWidth * 2, kHeight * 2, SDL_WINDOW_RESIZABLE);
  SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_PRESENTVSYNC) : nullptr;
  SDL_Texture* texture = renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                                      SDL_TEXTUREACCESS_STREAMING, kWidth, kHeight)
                                  : nullptr;
  if (!texture) return 1;
  SDL_RenderSetLogicalSize(renderer, kWidth, kHeight);  // keeps 4:3 however the window is shaped
  SDL_RendererInfo info;
  const bool waitsForRefresh = SDL_GetRendererInfo(renderer, &info) == 0 && (info.flags & SDL_RENDERER_PRESENTVSYNC);

  // The picture, drawn once: a sky of register 16 over a sea of 80..143.
  std::vector<uint8_t> picture(size_t(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      picture[size_t(y) * kWidth + x] = uint8_t(y < 120 ? 16 : 80 + (x / 5 + y * 3) % 64);
    }
  }

  // Its palette: a dusk sky and a sea of blues, which cycles; everything fades in.
  quorvel::Palette palette = quorvel::Palette::Default();
  for (int i = 0; i < 64; ++i) {
    palette[size_t(16 + i)] = {uint8_t(40 + i * 3), uint8_t(20 + i), uint8_t(90 - i)};
    const int wave = i < 32 ? i : 63 - i;
    palette[size_t(80 + i)] = {uint8_t(wave * 3), uint8_t(60 + wave * 4), uint8_t(120 + wave * 4)};
  }
  quorvel::Animator anim(palette);
  anim.AddCycle({.low = 80, .high = 143, .stepsPerSecond = 16});
  anim.FadeFrom({0, 0, 0}, {.durationMs = 1500, .easing = quorvel::Easing::QuadOut});

  for (bool running = true; running;) {
    // Events, as the game reads them anyway.
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
      if (event.type == SDL_QUIT) running = false;
      if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) running = false;
    }
    // The palette for this instant, from the game's clock.
    anim.Update(double(SDL_GetTicks64()));
    uint32_t colours[256];
    for (int i = 0; i < 256; ++i) colours[i] = quorvel::PackedColor(anim.Output()[size_t(i)]);
    // The sky gets a gradient of its own, line by line, over its top register.
    quorvel::LinePalettes lines;
    quorvel::AddGradient(lines, 16, 0, 119, anim.Output()[16], anim.Output()[79]);
    // The picture through the palette into the texture (its rows may be padded), with
    // Quorvel's conversion kernel.
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(texture, nullptr, &pixels, &pitch) == 0) {
      quorvel::ConvertIndices(picture.data(), kWidth, kHeight, kWidth, colours, &lines,
                              static_cast<uint32_t*>(pixels), pitch);
      SDL_UnlockTexture(texture);
    }
    // Sprites, text and the rest of the game would be drawn here too; then the frame shows.
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
    if (!waitsForRefresh) SDL_Delay(16);  // no synchronised present here: about 60 frames a second
  }
  SDL_DestroyTexture(texture);
  SDL_DestroyRenderer(renderer);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
