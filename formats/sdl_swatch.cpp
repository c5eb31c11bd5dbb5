// A palette drawn as a PNG swatch: 16 x 16 cells, written with SDL2_image into memory and
// put in place in one step.
#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <memory>

#include <quorvel/formats.hpp>

#include "formats/file_io.hpp"

namespace quorvel {
namespace {

constexpr int32_t kCell = 16;  // pixels a colour
constexpr int32_t kGap = 1;    // pixels of grid between cells
constexpr int32_t kSide = 16 * (kCell + kGap) + kGap;
constexpr uint8_t kGrid = 0x40;  // the grid and empty cells: dark grey

// An SDL stream that appends what is written to a byte vector.
size_t AppendToVector(SDL_RWops* stream, const void* data, size_t size, size_t count) {
  auto* bytes = static_cast<std::vector<uint8_t>*>(stream->hidden.unknown.data1);
  const auto* from = static_cast<const uint8_t*>(data);
  bytes->insert(bytes->end(), from, from + size * count);
  return count;
}

Sint64 VectorSize(SDL_RWops* stream) {
  return Sint64(static_cast<std::vector<uint8_t>*>(stream->hidden.unknown.data1)->size());
}

Sint64 VectorEnd(SDL_RWops* stream, Sint64, int) { return VectorSize(stream); }

int FreeStream(SDL_RWops* stream) {
  SDL_FreeRW(stream);
  return 0;
}

struct SurfaceDeleter {
  void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};

}  // namespace

std::string WriteSwatchPng(const std::string& path, const PaletteFile& file) {
  std::unique_ptr<SDL_Surface, SurfaceDeleter> surface(
      SDL_CreateRGBSurfaceWithFormat(0, kSide, kSide, 24, SDL_PIXELFORMAT_RGB24));
  if (!surface) return path + ": " + SDL_GetError();
  SDL_FillRect(surface.get(), nullptr, SDL_MapRGB(surface->format, kGrid, kGrid, kGrid));
  for (int32_t i = 0; i < std::min(file.count, 256); ++i) {
    const Rgb8 c = file.colours[size_t(i)];
    const SDL_Rect cell{kGap + (i % 16) * (kCell + kGap), kGap + (i / 16) * (kCell + kGap), kCell, kCell};
    SDL_FillRect(surface.get(), &cell, SDL_MapRGB(surface->format, c.r, c.g, c.b));
  }
  std::vector<uint8_t> png;
  SDL_RWops* stream = SDL_AllocRW();
  if (!stream) return path + ": " + SDL_GetError();
  stream->type = SDL_RWOPS_UNKNOWN;
  stream->hidden.unknown.data1 = &png;
  stream->write = AppendToVector;
  stream->size = VectorSize;
  stream->seek = VectorEnd;
  stream->read = [](SDL_RWops*, void*, size_t, size_t) -> size_t { return 0; };
  stream->close = FreeStream;
  if (IMG_SavePNG_RW(surface.get(), stream, 1) != 0) return path + ": " + SDL_GetError();
  const std::string error = formats::ReplaceFile(path, png);
  return error.empty() ? "" : path + ": " + error;
}

}  // namespace quorvel
