// Quorvel palette library: 129 routines that animate and transform the 256 palette
// registers of the indexed screen (display/display.hpp).
//
// Colours are 6-bit components 0..63; a register is written as one packed PalColor,
// red + green*256 + blue*65536. Every routine is a procedure: arguments it may clamp are
// int32_t& and receive the clamped value (components and levels to 0..63, an index to
// 0..255, a range first..last to 0 <= first <= last <= 255); speeds, amounts and flags
// are only read. Flags are on at 1 or more. Animated routines make 64 passes, writing
// their registers in ascending order and sleeping `speed` ms (SleepMs) after each pass,
// the last included. No routine reads the registers back or keeps state between calls.
//
// The 32 operations exist for three sources of colour, as `Op::DefaultPal(...)`,
// `Op::FilePal(fileName, ...)` (a 768-byte file of r, g, b bytes) and
// `Op::PP256Pal(fileName, ...)` (a 1024-byte file of 32-bit little-endian PalColors).
#pragma once

#include <cstdint>
#include <string>

namespace quorvel {

// ---------------------------------------------------------------------------------------
// Colour model
// ---------------------------------------------------------------------------------------

// The default palette (the VGA power-on palette), 6-bit; 0 for an index outside 0..255.
int32_t DefaultPalRed(const int32_t& index);
int32_t DefaultPalGreen(const int32_t& index);
int32_t DefaultPalBlue(const int32_t& index);

// The clamps every routine uses; each writes the clamped value back.
void ClampComponent(int32_t& value);            // 0..63 (components and levels)
void ClampIndex(int32_t& index);                // 0..255
void ClampRange(int32_t& first, int32_t& last);  // first to 0..255, then last to first..255

// ((63 - t) * from + t * to) / 63, rounded down: t = 0 gives from, t = 63 gives to.
int32_t Mix(int32_t from, int32_t to, int32_t t);

// ---------------------------------------------------------------------------------------
// Primitives: write registers directly, no animation
// ---------------------------------------------------------------------------------------

void PalBlackout();                                  // registers 0..255 black
void PalBlackoutRange(int32_t& first, int32_t& last);  // registers first..last black
void PalFill(int32_t& r, int32_t& g, int32_t& b);    // registers 0..255 to (r, g, b)
void PalFillRange(int32_t& first, int32_t& last, int32_t& r, int32_t& g, int32_t& b);
void PalSetColor(int32_t& index, int32_t& r, int32_t& g, int32_t& b);  // one register

// ---------------------------------------------------------------------------------------
// Palette files
// ---------------------------------------------------------------------------------------

// Writes registers 0..255 straight from a 768-byte or a PP256 palette file.
namespace PalLoad { void FilePal(const std::string& fileName); }
namespace PalLoad { void PP256Pal(const std::string& fileName); }

// Reading a palette file never creates or changes it. A file that is missing, unreadable
// or short gives black for what it could not supply; this tells the calling thread how
// its last palette file read went.
enum class PaletteFileError { None, Missing, Unreadable, Short };
struct PaletteFileStatus {
  PaletteFileError error = PaletteFileError::None;
  std::string fileName;   // the file of the last read ("" before any)
  int32_t bytesRead = 0;  // bytes that came from it (768 or 1024 when complete)
};
PaletteFileStatus LastPaletteFileError();

// ---------------------------------------------------------------------------------------
// The 32 operations on the default palette
// ---------------------------------------------------------------------------------------

// fades every register in from black to the source palette
namespace FadeIn { void DefaultPal(const int32_t& speed); }
// fades every register out from the source palette to black
namespace FadeOut { void DefaultPal(const int32_t& speed); }
// fades in from the colour (r, g, b) to the source palette
namespace FadeInX { void DefaultPal(int32_t& r, int32_t& g, int32_t& b, const int32_t& speed); }
// fades out from the source palette to the colour (r, g, b)
namespace FadeOutX { void DefaultPal(int32_t& r, int32_t& g, int32_t& b, const int32_t& speed); }
// FadeIn over registers first..last
namespace FadeInRange { void DefaultPal(int32_t& first, int32_t& last, const int32_t& speed); }
// FadeOut over registers first..last
namespace FadeOutRange { void DefaultPal(int32_t& first, int32_t& last, const int32_t& speed); }
// FadeInX over registers first..last
namespace FadeInRangeX { void DefaultPal(int32_t& first, int32_t& last, int32_t& r, int32_t& g, int32_t& b, const int32_t& speed); }
// FadeOutX over registers first..last
namespace FadeOutRangeX { void DefaultPal(int32_t& first, int32_t& last, int32_t& r, int32_t& g, int32_t& b, const int32_t& speed); }
// one frame of FadeIn: level 0 black, 63 the source palette
namespace FadeCtrl { void DefaultPal(int32_t& level); }
// one frame of FadeInX: level 0 the colour, 63 the source palette
namespace FadeCtrlX { void DefaultPal(int32_t& r, int32_t& g, int32_t& b, int32_t& level); }
// FadeCtrlX over registers first..last
namespace FadeCtrlRangeX { void DefaultPal(int32_t& first, int32_t& last, int32_t& r, int32_t& g, int32_t& b, int32_t& level); }
// register j shows source colour (j + amount) mod 256
namespace PalRotate { void DefaultPal(int32_t& first, int32_t& last, const int32_t& amount); }
// PalRotate at a fade level from black
namespace PalRotateFC { void DefaultPal(int32_t& first, int32_t& last, const int32_t& amount, int32_t& level); }
// PalRotate at a fade level from the colour (r, g, b)
namespace PalRotateFCX { void DefaultPal(int32_t& first, int32_t& last, int32_t& r, int32_t& g, int32_t& b, const int32_t& amount, int32_t& level); }
// the negative of the source palette (flag on), or the palette itself (off)
namespace PalNeg { void DefaultPal(const int32_t& flag); }
// PalNeg over registers first..last
namespace PalNegRange { void DefaultPal(int32_t& first, int32_t& last, const int32_t& flag); }
// the negative of the rotated source palette
namespace PalNegRotate { void DefaultPal(int32_t& first, int32_t& last, const int32_t& amount); }
// fades from the source palette to its negative
namespace PalFadeToNega { void DefaultPal(const int32_t& speed); }
// fades from the negative to the source palette
namespace PalFadeFromNega { void DefaultPal(const int32_t& speed); }
// PalFadeToNega over registers first..last
namespace PalFadeRangeToNega { void DefaultPal(int32_t& first, int32_t& last, const int32_t& speed); }
// PalFadeFromNega over registers first..last
namespace PalFadeRangeFromNega { void DefaultPal(int32_t& first, int32_t& last, const int32_t& speed); }
// one frame between the source palette (0) and its negative (63)
namespace PalNegaFadeCtrl { void DefaultPal(int32_t& level); }
// PalNegaFadeCtrl over registers first..last
namespace PalNegaRangeFadeCtrl { void DefaultPal(int32_t& first, int32_t& last, int32_t& level); }
// greys (grey on) or colours, negated when neg is on
namespace PalGreyScl { void DefaultPal(const int32_t& grey, const int32_t& neg); }
// PalGreyScl over registers first..last
namespace PalGreySclRange { void DefaultPal(int32_t& first, int32_t& last, const int32_t& grey, const int32_t& neg); }
// the greys of the rotated source palette, negated when neg is on
namespace PalGreySclRotate { void DefaultPal(int32_t& first, int32_t& last, const int32_t& amount, const int32_t& neg); }
// fades from the source palette to its greys (negative greys when neg is on)
namespace PalFadeToGreyScl { void DefaultPal(const int32_t& speed, const int32_t& neg); }
// fades from the greys (negative greys when neg is on) to the source palette
namespace PalFadeFromGreyScl { void DefaultPal(const int32_t& speed, const int32_t& neg); }
// PalFadeToGreyScl over registers first..last
namespace PalFadeRangeToGreyScl { void DefaultPal(int32_t& first, int32_t& last, const int32_t& speed, const int32_t& neg); }
// PalFadeFromGreyScl over registers first..last
namespace PalFadeRangeFromGreyScl { void DefaultPal(int32_t& first, int32_t& last, const int32_t& speed, const int32_t& neg); }
// one frame between the source palette (0) and its greys (63)
namespace PalGreyFadeCtrl { void DefaultPal(int32_t& level, const int32_t& neg); }
// PalGreyFadeCtrl over registers first..last
namespace PalGreyRangeFadeCtrl { void DefaultPal(int32_t& first, int32_t& last, int32_t& level, const int32_t& neg); }

// ---------------------------------------------------------------------------------------
// The 32 operations on a 768-byte palette file
// ---------------------------------------------------------------------------------------

namespace FadeIn { void FilePal(const std::string& fileName, const int32_t& speed); }
namespace FadeOut { void FilePal(const std::string& fileName, const int32_t& speed); }
namespace FadeInX { void FilePal(const std::string& fileName, int32_t& r, int32_t& g, int32_t& b, const int32_t& speed); }
namespace FadeOutX { void FilePal(const std::string& fileName, int32_t& r, int32_t& g, int32_t& b, const int32_t& speed); }
namespace FadeInRange { void FilePal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& speed); }
namespace FadeOutRange { void FilePal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& speed); }
namespace FadeInRangeX { void FilePal(const std::string& fileName, int32_t& first, int32_t& last, int32_t& r, int32_t& g, int32_t& b, const int32_t& speed); }
namespace FadeOutRangeX { void FilePal(const std::string& fileName, int32_t& first, int32_t& last, int32_t& r, int32_t& g, int32_t& b, const int32_t& speed); }
namespace FadeCtrl { void FilePal(const std::string& fileName, int32_t& level); }
namespace FadeCtrlX { void FilePal(const std::string& fileName, int32_t& r, int32_t& g, int32_t& b, int32_t& level); }
namespace FadeCtrlRangeX { void FilePal(const std::string& fileName, int32_t& first, int32_t& last, int32_t& r, int32_t& g, int32_t& b, int32_t& level); }
namespace PalRotate { void FilePal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& amount); }
namespace PalRotateFC { void FilePal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& amount, int32_t& level); }
namespace PalRotateFCX { void FilePal(const std::string& fileName, int32_t& first, int32_t& last, int32_t& r, int32_t& g, int32_t& b, const int32_t& amount, int32_t& level); }
namespace PalNeg { void FilePal(const std::string& fileName, const int32_t& flag); }
namespace PalNegRange { void FilePal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& flag); }
namespace PalNegRotate { void FilePal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& amount); }
namespace PalFadeToNega { void FilePal(const std::string& fileName, const int32_t& speed); }
namespace PalFadeFromNega { void FilePal(const std::string& fileName, const int32_t& speed); }
namespace PalFadeRangeToNega { void FilePal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& speed); }
namespace PalFadeRangeFromNega { void FilePal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& speed); }
namespace PalNegaFadeCtrl { void FilePal(const std::string& fileName, int32_t& level); }
namespace PalNegaRangeFadeCtrl { void FilePal(const std::string& fileName, int32_t& first, int32_t& last, int32_t& level); }
namespace PalGreyScl { void FilePal(const std::string& fileName, const int32_t& grey, const int32_t& neg); }
namespace PalGreySclRange { void FilePal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& grey, const int32_t& neg); }
namespace PalGreySclRotate { void FilePal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& amount, const int32_t& neg); }
namespace PalFadeToGreyScl { void FilePal(const std::string& fileName, const int32_t& speed, const int32_t& neg); }
namespace PalFadeFromGreyScl { void FilePal(const std::string& fileName, const int32_t& speed, const int32_t& neg); }
namespace PalFadeRangeToGreyScl { void FilePal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& speed, const int32_t& neg); }
namespace PalFadeRangeFromGreyScl { void FilePal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& speed, const int32_t& neg); }
namespace PalGreyFadeCtrl { void FilePal(const std::string& fileName, int32_t& level, const int32_t& neg); }
namespace PalGreyRangeFadeCtrl { void FilePal(const std::string& fileName, int32_t& first, int32_t& last, int32_t& level, const int32_t& neg); }

// ---------------------------------------------------------------------------------------
// Cross-fades between the default palette and 768-byte files, and between two such files.
// "To" fades from the base palette (the suffix) to the named one; "From" the other way;
// "Ctrl" shows the base palette at level 0 and the named one at level 63.
// ---------------------------------------------------------------------------------------

// default palette -> 768-byte file, 64 steps
namespace PalFadeToFile { void DefaultPal(const std::string& fileName, const int32_t& speed); }
// 768-byte file -> default palette, 64 steps
namespace PalFadeFromFile { void DefaultPal(const std::string& fileName, const int32_t& speed); }
// PalFadeToFile.DefaultPal over first..last
namespace PalFadeRangeToFile { void DefaultPal(int32_t& first, int32_t& last, const std::string& fileName, const int32_t& speed); }
// PalFadeFromFile.DefaultPal over first..last
namespace PalFadeRangeFromFile { void DefaultPal(int32_t& first, int32_t& last, const std::string& fileName, const int32_t& speed); }
// one mix: level 0 the default palette, 63 the 768-byte file
namespace PalFileFadeCtrl { void DefaultPal(int32_t& level, const std::string& fileName); }
// PalFileFadeCtrl.DefaultPal over first..last
namespace PalFileRangeFadeCtrl { void DefaultPal(int32_t& first, int32_t& last, int32_t& level, const std::string& fileName); }
// 768-byte fromFile -> 768-byte toFile, 64 steps
namespace PalFadeToFile { void FilePal(const std::string& fromFile, const std::string& toFile, const int32_t& speed); }
// PalFadeToFile.FilePal over first..last
namespace PalFadeRangeToFile { void FilePal(int32_t& first, int32_t& last, const std::string& fromFile, const std::string& toFile, const int32_t& speed); }
// one mix: level 0 fromFile, 63 toFile (both 768-byte)
namespace PalFileFadeCtrl { void FilePal(int32_t& level, const std::string& fromFile, const std::string& toFile); }
// PalFileFadeCtrl.FilePal over first..last
namespace PalFileRangeFadeCtrl { void FilePal(int32_t& first, int32_t& last, int32_t& level, const std::string& fromFile, const std::string& toFile); }

// ---------------------------------------------------------------------------------------
// The 32 operations on a PP256 palette file
// ---------------------------------------------------------------------------------------

namespace FadeIn { void PP256Pal(const std::string& fileName, const int32_t& speed); }
namespace FadeOut { void PP256Pal(const std::string& fileName, const int32_t& speed); }
namespace FadeInX { void PP256Pal(const std::string& fileName, int32_t& r, int32_t& g, int32_t& b, const int32_t& speed); }
namespace FadeOutX { void PP256Pal(const std::string& fileName, int32_t& r, int32_t& g, int32_t& b, const int32_t& speed); }
namespace FadeInRange { void PP256Pal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& speed); }
namespace FadeOutRange { void PP256Pal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& speed); }
namespace FadeInRangeX { void PP256Pal(const std::string& fileName, int32_t& first, int32_t& last, int32_t& r, int32_t& g, int32_t& b, const int32_t& speed); }
namespace FadeOutRangeX { void PP256Pal(const std::string& fileName, int32_t& first, int32_t& last, int32_t& r, int32_t& g, int32_t& b, const int32_t& speed); }
namespace FadeCtrl { void PP256Pal(const std::string& fileName, int32_t& level); }
namespace FadeCtrlX { void PP256Pal(const std::string& fileName, int32_t& r, int32_t& g, int32_t& b, int32_t& level); }
namespace FadeCtrlRangeX { void PP256Pal(const std::string& fileName, int32_t& first, int32_t& last, int32_t& r, int32_t& g, int32_t& b, int32_t& level); }
namespace PalRotate { void PP256Pal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& amount); }
namespace PalRotateFC { void PP256Pal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& amount, int32_t& level); }
namespace PalRotateFCX { void PP256Pal(const std::string& fileName, int32_t& first, int32_t& last, int32_t& r, int32_t& g, int32_t& b, const int32_t& amount, int32_t& level); }
namespace PalNeg { void PP256Pal(const std::string& fileName, const int32_t& flag); }
namespace PalNegRange { void PP256Pal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& flag); }
namespace PalNegRotate { void PP256Pal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& amount); }
namespace PalFadeToNega { void PP256Pal(const std::string& fileName, const int32_t& speed); }
namespace PalFadeFromNega { void PP256Pal(const std::string& fileName, const int32_t& speed); }
namespace PalFadeRangeToNega { void PP256Pal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& speed); }
namespace PalFadeRangeFromNega { void PP256Pal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& speed); }
namespace PalNegaFadeCtrl { void PP256Pal(const std::string& fileName, int32_t& level); }
namespace PalNegaRangeFadeCtrl { void PP256Pal(const std::string& fileName, int32_t& first, int32_t& last, int32_t& level); }
namespace PalGreyScl { void PP256Pal(const std::string& fileName, const int32_t& grey, const int32_t& neg); }
namespace PalGreySclRange { void PP256Pal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& grey, const int32_t& neg); }
namespace PalGreySclRotate { void PP256Pal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& amount, const int32_t& neg); }
namespace PalFadeToGreyScl { void PP256Pal(const std::string& fileName, const int32_t& speed, const int32_t& neg); }
namespace PalFadeFromGreyScl { void PP256Pal(const std::string& fileName, const int32_t& speed, const int32_t& neg); }
namespace PalFadeRangeToGreyScl { void PP256Pal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& speed, const int32_t& neg); }
namespace PalFadeRangeFromGreyScl { void PP256Pal(const std::string& fileName, int32_t& first, int32_t& last, const int32_t& speed, const int32_t& neg); }
namespace PalGreyFadeCtrl { void PP256Pal(const std::string& fileName, int32_t& level, const int32_t& neg); }
namespace PalGreyRangeFadeCtrl { void PP256Pal(const std::string& fileName, int32_t& first, int32_t& last, int32_t& level, const int32_t& neg); }

// ---------------------------------------------------------------------------------------
// Cross-fades involving PP256 files
// ---------------------------------------------------------------------------------------

// PP256 fromFile -> PP256 toFile, 64 steps
namespace PalFadeToPP256 { void PP256Pal(const std::string& fromFile, const std::string& toFile, const int32_t& speed); }
// PalFadeToPP256.PP256Pal over first..last
namespace PalFadeRangeToPP256 { void PP256Pal(int32_t& first, int32_t& last, const std::string& fromFile, const std::string& toFile, const int32_t& speed); }
// one mix: level 0 fromFile, 63 toFile (both PP256)
namespace PalPP256FadeCtrl { void PP256Pal(int32_t& level, const std::string& fromFile, const std::string& toFile); }
// PalPP256FadeCtrl.PP256Pal over first..last
namespace PalPP256RangeFadeCtrl { void PP256Pal(int32_t& first, int32_t& last, int32_t& level, const std::string& fromFile, const std::string& toFile); }
// default palette -> PP256 file, 64 steps
namespace PalFadeToPP256 { void DefaultPal(const std::string& fileName, const int32_t& speed); }
// PP256 file -> default palette, 64 steps
namespace PalFadeFromPP256 { void DefaultPal(const std::string& fileName, const int32_t& speed); }
// PalFadeToPP256.DefaultPal over first..last
namespace PalFadeRangeToPP256 { void DefaultPal(int32_t& first, int32_t& last, const std::string& fileName, const int32_t& speed); }
// PalFadeFromPP256.DefaultPal over first..last
namespace PalFadeRangeFromPP256 { void DefaultPal(int32_t& first, int32_t& last, const std::string& fileName, const int32_t& speed); }
// one mix: level 0 the default palette, 63 the PP256 file
namespace PalPP256FadeCtrl { void DefaultPal(int32_t& level, const std::string& fileName); }
// PalPP256FadeCtrl.DefaultPal over first..last
namespace PalPP256RangeFadeCtrl { void DefaultPal(int32_t& first, int32_t& last, int32_t& level, const std::string& fileName); }
// 768-byte fromFile -> PP256 toFile, 64 steps
namespace PalFadeToPP256 { void FilePal(const std::string& fromFile, const std::string& toFile, const int32_t& speed); }
// PP256 fromFile -> 768-byte toFile, 64 steps
namespace PalFadeFromPP256 { void FilePal(const std::string& fromFile, const std::string& toFile, const int32_t& speed); }
// PalFadeToPP256.FilePal over first..last
namespace PalFadeRangeToPP256 { void FilePal(int32_t& first, int32_t& last, const std::string& fromFile, const std::string& toFile, const int32_t& speed); }
// PalFadeFromPP256.FilePal over first..last
namespace PalFadeRangeFromPP256 { void FilePal(int32_t& first, int32_t& last, const std::string& fromFile, const std::string& toFile, const int32_t& speed); }
// one mix: level 0 the 768-byte fromFile, 63 the PP256 toFile
namespace PalPP256FadeCtrl { void FilePal(int32_t& level, const std::string& fromFile, const std::string& toFile); }
// PalPP256FadeCtrl.FilePal over first..last
namespace PalPP256RangeFadeCtrl { void FilePal(int32_t& first, int32_t& last, int32_t& level, const std::string& fromFile, const std::string& toFile); }

}  // namespace quorvel
