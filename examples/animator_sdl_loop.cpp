// The Animator in your own SDL2 program: your window, your 8-bit surface, your loop.
// Each frame the Animator computes the palette from the clock, and SDL_SetPaletteColors
// hands it to the surface; Quorvel's own screen is not used at all.
#include <SDL.h>

#include <quorvel/animator.hpp>

int main(int, char**) {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
  SDL_Window* window = SDL_CreateWindow("Animator in an SDL loop", SDL_WINDOWPOS_CENTERED,
                                        SDL_WINDOWPOS_CENTERED, 640, 480, 0);
  SDL_Surface* canvas = SDL_CreateRGBSurfaceWithFormat(0, 640, 480, 8, SDL_PIXELFORMAT_INDEX8);
  if (!window || !canvas) return 1;

  // Diagonal bands of registers 32..247: turning them makes the bands flow.
  for (int y = 0; y < 480; ++y) {
    auto* row = static_cast<Uint8*>(canvas->pixels) + y * canvas->pitch;
    for (int x = 0; x < 640; ++x) row[x] = Uint8(32 + (x / 3 + y / 2) % 216);
  }

  quorvel::Animator anim(quorvel::Palette::Default());
  anim.AddCycle({.low = 32, .high = 247, .stepsPerSecond = 40});
  anim.FadeFrom({0, 0, 0}, {.durationMs = 2000});

  for (bool running = true; running;) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
      if (event.type == SDL_QUIT) running = false;
      if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) running = false;
    }
    anim.Update(double(SDL_GetTicks64()));
    SDL_Color colours[256];
    for (int i = 0; i < 256; ++i) {
      const quorvel::Rgb8 c = anim.Output()[i];
      colours[i] = {c.r, c.g, c.b, 255};
    }
    SDL_SetPaletteColors(canvas->format->palette, colours, 0, 256);
    SDL_BlitSurface(canvas, nullptr, SDL_GetWindowSurface(window), nullptr);
    SDL_UpdateWindowSurface(window);
    SDL_Delay(16);
  }
  SDL_FreeSurface(canvas);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
