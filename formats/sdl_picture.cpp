// For now PCX and BMP pictures are decoded through SDL2_image, which gives a surface with
// its palette. Their header has been checked first (picture_header.cpp).
#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <memory>

#include <quorvel/formats.hpp>

#include "formats/iff.hpp"
#include "formats/picture_decoders.hpp"

namespace quorvel {
namespace {

struct SurfaceDeleter {
  void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

// The index of pixel x of a row of 1, 2, 4 or 8 bits a pixel.
uint8_t IndexAt(const uint8_t* row, int32_t x, int32_t bits, bool lowFirst) {
  if (bits == 8) return row[x];
  const int32_t perByte = 8 / bits;
  const int32_t slot = lowFirst ? x % perByte : perByte - 1 - x % perByte;
  return uint8_t(row[x / perByte] >> (slot * bits) & ((1 << bits) - 1));
}

// Copies an indexed surface; false for any other. SDL2_image widens planar IFF pictures
// to a multiple of 16 pixels: the picture keeps the width its BMHD gives.
bool CopySurface(SDL_Surface& surface, const std::vector<uint8_t>& bytes, IndexedPicture& picture) {
  const SDL_PixelFormat* format = surface.format;
  const int32_t bits = format->BitsPerPixel;
  if (!format->palette || (bits != 1 && bits != 2 && bits != 4 && bits != 8)) return false;
  int32_t width = surface.w, height = surface.h;
  if (formats::IffPictureSize(bytes, width, height)) {
    width = std::min(width, surface.w);
    height = std::min(height, surface.h);
  }
  picture.width = width;
  picture.height = height;
  picture.colourCount = std::min(format->palette->ncolors, 256);
  for (int32_t i = 0; i < picture.colourCount; ++i) {
    const SDL_Color c = format->palette->colors[i];
    picture.palette[size_t(i)] = {c.r, c.g, c.b};
  }
  const bool lowFirst = SDL_PIXELORDER(format->format) == SDL_BITMAPORDER_4321;
  picture.pixels.resize(size_t(width) * size_t(height));
  SDL_LockSurface(&surface);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = static_cast<const uint8_t*>(surface.pixels) + size_t(y) * size_t(surface.pitch);
    uint8_t* to = picture.pixels.data() + size_t(y) * size_t(width);
    for (int32_t x = 0; x < width; ++x) to[x] = IndexAt(row, x, bits, lowFirst);
  }
  SDL_UnlockSurface(&surface);
  return true;
}

// Decodes through SDL2_image; `kind` names the picture in messages.
std::string DecodeWithSdl(const formats::Bytes& bytes, IndexedPicture& picture) {
  SDL_RWops* stream = SDL_RWFromConstMem(bytes.data(), int(bytes.size()));
  SurfacePtr surface(stream ? IMG_Load_RW(stream, 1) : nullptr);
  if (!surface) return std::string("(") + SDL_GetError() + ")";
  if (!CopySurface(*surface, bytes, picture)) {
    picture = {};
    return std::string("a true-colour picture (") + SDL_GetPixelFormatName(surface->format->format) +
           "), not an indexed one: only pictures of at most 256 palette colours can be shown "
           "through the palette";
  }
  return "";
}

}  // namespace

namespace formats {

std::string DecodePcx(const Bytes& bytes, IndexedPicture& picture) { return DecodeWithSdl(bytes, picture); }
std::string DecodeBmp(const Bytes& bytes, IndexedPicture& picture) { return DecodeWithSdl(bytes, picture); }

}  // namespace formats

}  // namespace quorvel
