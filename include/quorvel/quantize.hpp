// Quorvel quantizing and remapping: true-colour pictures brought to at most 256 palette
// colours, chosen in OKLab, with registers kept free for colour cycles or fixed to given
// colours, and pictures remapped to a palette of the artist's own.
//
//   quorvel::RgbaReadResult read = quorvel::LoadRgbaPicture("photo.png");
//   if (!read.ok()) { std::fprintf(stderr, "%s\n", read.error.c_str()); return 1; }
//   quorvel::QuantizeOptions options;
//   options.reserved = {{16, 31}, {240, 255}};  // two ranges kept for colour cycles
//   quorvel::QuantizeResult result = quorvel::Quantize(read.picture, options);
//
// The same picture and options always give the same result, on every run: nothing
// depends on timing, threads or the order of a hash table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <quorvel/colour.hpp>
#include <quorvel/display.hpp>
#include <quorvel/formats.hpp>

namespace quorvel {

// ---------------------------------------------------------------------------------------
// True-colour pictures
// ---------------------------------------------------------------------------------------

// One pixel: sRGB colour and opacity (0 see-through, 255 opaque), not premultiplied.
struct Rgba8 {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  uint8_t a = 255;
  bool operator==(const Rgba8&) const = default;
};

struct RgbaPicture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<Rgba8> pixels;  // width * height, row by row
};

struct RgbaReadResult {
  RgbaPicture picture;
  std::string error;  // "" on success; names the file
  bool ok() const { return error.empty(); }
};

// Loads any picture LoadIndexedPicture reads, and besides them true-colour PNGs (RGB,
// RGBA, grey with alpha; 16-bit channels keep their high bytes), BMPs of 16, 24 and 32
// bits a pixel and PCXs of 3 or 4 planes of 8 bits, as sRGB and alpha. An indexed picture comes as its palette's colours with
// their opacities. Colours are taken as stored, as the palette registers show them.
RgbaReadResult LoadRgbaPicture(const std::string& path);
// The same from the bytes of a file; `name` names it in messages.
RgbaReadResult ParseRgbaPicture(const std::vector<uint8_t>& bytes, const std::string& name);
// An indexed picture's pixels as the colours of their registers, with their opacities.
RgbaPicture ExpandIndexedPicture(const IndexedPicture& picture);

// ---------------------------------------------------------------------------------------
// Quantizing and remapping
// ---------------------------------------------------------------------------------------

enum class Dither {
  None,            // every pixel the nearest colour
  Bayer4,          // ordered, 4 x 4 threshold matrix
  Bayer8,          // ordered, 8 x 8
  FloydSteinberg,  // error diffusion, rows in alternate directions
};

// "none", "bayer4", "bayer8", "floyd-steinberg".
std::string_view DitherName(Dither dither);
// The dithering of a name above ("fs" is Floyd-Steinberg too); false when there is none.
bool DitherFromName(std::string_view name, Dither& dither);

// Registers low..high, both included.
struct RegisterRange {
  int32_t low = 0;
  int32_t high = 0;
  bool operator==(const RegisterRange&) const = default;
};

// A register given a colour of the caller's: pixels may take it, the quantizer keeps it.
struct FixedRegister {
  int32_t index = 0;
  Rgb8 colour;
};

struct QuantizeOptions {
  // Registers 0..colours-1 make the picture's palette, 1..256. The reserved, fixed and
  // transparent registers below are among them; the quantizer chooses the others.
  // Remapping takes the palette's own count instead.
  int32_t colours = 256;
  Dither dither = Dither::FloydSteinberg;
  // Pixels less opaque than this are see-through: they all take one transparent
  // register. 0: every pixel is opaque (its colour taken, its alpha ignored).
  int32_t alphaThreshold = 128;
  // The transparent register; -1: quantizing takes the lowest register left free,
  // remapping the palette file's transparent index. Used only when a pixel needs it.
  int32_t transparentIndex = -1;
  // One more reserved range besides `reserved` below, low..high; -1 for none. Callers
  // that keep a single range for a cycle set these.
  int32_t reservedLow = -1;
  int32_t reservedHigh = -1;
  // Registers with given colours (the 16 system colours, an artist's ramp). Quantizing
  // chooses the other colours around them; remapping puts them into the palette.
  std::vector<FixedRegister> fixed;
  // Passes of k-means that refine Wu's boxes, followed by swaps towards large flat areas;
  // 0 keeps the boxes' means.
  int32_t refinePasses = 3;
  // Registers no pixel takes, such as the ranges of a picture's colour cycles: they stay
  // black in a quantized palette and keep their colours in a remapped one. Ranges may
  // overlap. Last among the options, so that options written in order before it still
  // mean what they meant.
  std::vector<RegisterRange> reserved;
};

struct QuantizeResult {
  IndexedPicture picture;  // colourCount registers; no cycles
  std::string error;       // "" on success: which option or register is wrong
  bool ok() const { return error.empty(); }
};

// Quantizes a true-colour picture: Xiaolin Wu's variance-minimising boxes (Graphics Gems
// II, 1991) in OKLab, refined by k-means, then each pixel mapped with the dithering asked
// for. A picture of no more distinct opaque colours than the free registers comes back
// exact, undithered.
QuantizeResult Quantize(const RgbaPicture& picture, const QuantizeOptions& options = {});
// Maps a true-colour picture to the registers 0..count-1 of a palette (as
// ReadPaletteFile gives it), with the options' dithering, reserved and fixed registers.
QuantizeResult RemapToPalette(const RgbaPicture& picture, const PaletteFile& palette,
                              const QuantizeOptions& options = {});
// Remaps an indexed picture from its own palette to another. Without dithering each
// register goes to its nearest and the see-through one to the transparent register;
// with dithering the picture is remapped through its colours. Cycles are dropped: they
// name registers of the old palette.
QuantizeResult RemapPicture(const IndexedPicture& picture, const PaletteFile& palette,
                            const QuantizeOptions& options = {});

// The register of `to` (0..toCount-1, reserved ones left out) nearest in OKLab to each
// register of `from`: a remap table for MapIndices or PutImage. Registers past
// fromCount map to themselves.
IndexMap NearestIndexMap(const Palette& from, int32_t fromCount, const Palette& to, int32_t toCount,
                         const QuantizeOptions& options = {});

// The mean OKLab distance between two pictures' pixels of the same size, opaque ones of
// either only (the difference a person sees); -1 when the sizes differ.
double MeanOkLabDifference(const RgbaPicture& a, const RgbaPicture& b);

}  // namespace quorvel
