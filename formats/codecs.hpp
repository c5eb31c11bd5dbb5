// One reader and one writer per palette format, all over the helpers of bytes.hpp.
// Readers fill `out` and return true, or return false with `out.error` saying where and
// what (without the file's name, which the caller adds). Internal to the formats library.
#pragma once

#include <string>
#include <vector>

#include <quorvel/formats.hpp>

#include "formats/bytes.hpp"

namespace quorvel::formats {

using Warnings = std::vector<std::string>;

// Adds one colour: the first 256 are kept, every one is counted.
void AddColour(PaletteReadResult& out, Rgb8 colour);
void AddNamedColour(PaletteReadResult& out, Rgb8 colour, std::string name);
// A colour of 6-bit components (their low six bits) at 8 bits, by the display's rule.
Rgb8 From6(uint8_t r, uint8_t g, uint8_t b);
// Sets `out.error` and returns false, for `return Fail(out, ...)`.
bool Fail(PaletteReadResult& out, std::string what);

// Binary layouts (binary_palettes.cpp). Readers of files of several palettes fill
// `out.sets` and leave `out.file` to ParsePalette.
bool ReadRaw(const Bytes& bytes, RawDepth depth, PaletteReadResult& out);
bool ReadPP256(const Bytes& bytes, PaletteReadResult& out);
bool ReadRiff(const Bytes& bytes, PaletteReadResult& out);
bool ReadAct(const Bytes& bytes, PaletteReadResult& out);
bool ReadColPro(const Bytes& bytes, PaletteReadResult& out);
bool ReadNes(const Bytes& bytes, PaletteReadResult& out);
void WriteRaw(const PaletteFile& file, bool sixBit, Bytes& out, Warnings& warnings);
void WritePP256(const PaletteFile& file, Bytes& out, Warnings& warnings);
void WriteRiff(const PaletteFile& file, Bytes& out, Warnings& warnings);
void WriteAct(const PaletteFile& file, Bytes& out, Warnings& warnings);
void WriteColPro(const PaletteFile& file, Bytes& out, Warnings& warnings);
// The shapes recognition looks for.
bool IsColProHeader(const Bytes& bytes);
bool IsActTrailer(const Bytes& bytes);

// Adobe swatches (adobe_swatches.cpp), read only.
bool ReadAco(const Bytes& bytes, PaletteReadResult& out);
bool ReadAse(const Bytes& bytes, PaletteReadResult& out);
// A Photoshop swatch file whose counts and colour spaces add up to its size exactly.
bool IsAcoLayout(const Bytes& bytes);

// Text formats (text_palettes.cpp).
bool ReadGpl(const Bytes& bytes, PaletteReadResult& out);
bool ReadJasc(const Bytes& bytes, PaletteReadResult& out);
bool ReadHex(const Bytes& bytes, PaletteReadResult& out);
bool ReadPaintNet(const Bytes& bytes, PaletteReadResult& out);
void WriteGpl(const PaletteFile& file, Bytes& out, Warnings& warnings);
void WriteJasc(const PaletteFile& file, Bytes& out, Warnings& warnings);
void WriteHex(const PaletteFile& file, Bytes& out, Warnings& warnings);
void WritePaintNet(const PaletteFile& file, Bytes& out, Warnings& warnings);
// Text whose every line is a colour of `digits` hex digits (6: Lospec, 8: Paint.NET),
// blank or (for Paint.NET) a ';' comment, with at least one colour.
bool IsHexList(const Bytes& bytes, size_t digits);

// When writing 6-bit components: a warning if any of the first `count` colours is
// rounded.
void WarnIfRounded(const PaletteFile& file, int32_t count, Warnings& warnings);

}  // namespace quorvel::formats
