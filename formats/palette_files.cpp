// Palette files as a whole: format names, recognition, and reading or writing a file in
// any format through the readers and writers of the formats.
#include <algorithm>
#include <cctype>
#include <filesystem>

#include <quorvel/display.hpp>
#include <quorvel/formats.hpp>

#include "formats/codecs.hpp"
#include "formats/file_io.hpp"
#include "formats/picture_header.hpp"

namespace quorvel {
namespace {

using formats::Bytes;
using formats::StartsWith;
using formats::Warnings;

struct FormatInfo {
  PaletteFormat format;
  std::string_view name;
  std::string_view title;
  bool writable;
};

constexpr FormatInfo kFormats[] = {
    {PaletteFormat::Raw6, "raw6", "raw 768 bytes, 6-bit", true},
    {PaletteFormat::Raw8, "raw8", "raw 768 bytes, 8-bit", true},
    {PaletteFormat::PP256, "pp256", "PP256 (1024 bytes of 32-bit PalColors)", true},
    {PaletteFormat::Gpl, "gpl", "GIMP palette (.gpl)", true},
    {PaletteFormat::Jasc, "jasc", "JASC-PAL (Paint Shop Pro)", true},
    {PaletteFormat::Riff, "riff", "Microsoft RIFF palette", true},
    {PaletteFormat::Act, "act", "Adobe colour table (.act)", true},
    {PaletteFormat::Hex, "hex", "Lospec hex list (.hex)", true},
    {PaletteFormat::Col, "col", "Animator palette (.col, 6-bit)", true},
    {PaletteFormat::ColPro, "colpro", "Animator Pro palette (.col)", true},
    {PaletteFormat::PaintNet, "paintnet", "Paint.NET palette (.txt)", true},
    {PaletteFormat::Aco, "aco", "Photoshop swatches (.aco)", false},
    {PaletteFormat::Ase, "ase", "Adobe swatch exchange (.ase)", false},
    {PaletteFormat::Nes, "nes", "NES palette (64 colours, or 8 emphasis sets of them)", false},
};

const FormatInfo* Find(PaletteFormat format) {
  for (const FormatInfo& info : kFormats) {
    if (info.format == format) return &info;
  }
  return nullptr;
}

std::string Extension(const std::string& name) {
  const std::u8string wide = detail::PathFromUtf8(name).extension().u8string();
  std::string ext(wide.begin(), wide.end());
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return ext;
}

bool AllSixBit(const Bytes& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b <= 63; });
}

PaletteFormat RawFormat(const Bytes& bytes) {
  return AllSixBit(bytes) ? PaletteFormat::Raw6 : PaletteFormat::Raw8;
}

constexpr size_t kRawBytes = 768;
constexpr size_t kNesBytes = 192;  // 64 colours

// Reads with the reader of `format`; false with out.error on failure.
bool ReadAs(PaletteFormat format, const Bytes& bytes, RawDepth depth, PaletteReadResult& out) {
  using namespace formats;
  switch (format) {
    case PaletteFormat::Raw6:
    case PaletteFormat::Raw8:
    case PaletteFormat::Col: return ReadRaw(bytes, depth, out);
    case PaletteFormat::PP256: return ReadPP256(bytes, out);
    case PaletteFormat::Gpl: return ReadGpl(bytes, out);
    case PaletteFormat::Jasc: return ReadJasc(bytes, out);
    case PaletteFormat::Riff: return ReadRiff(bytes, out);
    case PaletteFormat::Act: return ReadAct(bytes, out);
    case PaletteFormat::Hex: return ReadHex(bytes, out);
    case PaletteFormat::ColPro: return ReadColPro(bytes, out);
    case PaletteFormat::PaintNet: return ReadPaintNet(bytes, out);
    case PaletteFormat::Aco: return ReadAco(bytes, out);
    case PaletteFormat::Ase: return ReadAse(bytes, out);
    case PaletteFormat::Nes: return ReadNes(bytes, out);
    case PaletteFormat::Unknown: break;
  }
  return Fail(out, "no reader for this format");
}

}  // namespace

namespace formats {

void AddColour(PaletteReadResult& out, Rgb8 colour) {
  if (out.entriesInFile < 256) out.file.colours[size_t(out.entriesInFile)] = colour;
  ++out.entriesInFile;
}

void AddNamedColour(PaletteReadResult& out, Rgb8 colour, std::string name) {
  if (out.entriesInFile < 256) out.file.entryNames.push_back(std::move(name));
  AddColour(out, colour);
}

Rgb8 From6(uint8_t r, uint8_t g, uint8_t b) {
  return {uint8_t(Expand6To8(r & 63u)), uint8_t(Expand6To8(g & 63u)), uint8_t(Expand6To8(b & 63u))};
}

bool Fail(PaletteReadResult& out, std::string what) {
  out.error = std::move(what);
  return false;
}

void WarnIfRounded(const PaletteFile& file, int32_t count, Warnings& warnings) {
  int32_t rounded = 0;
  for (int32_t i = 0; i < count; ++i) {
    for (uint8_t c : {file.colours[size_t(i)].r, file.colours[size_t(i)].g, file.colours[size_t(i)].b}) {
      if (Expand6To8(Reduce8To6(c)) != c) {
        ++rounded;
        break;
      }
    }
  }
  if (rounded) {
    warnings.push_back(std::to_string(rounded) + " colours are rounded to 6 bits a component");
  }
}

}  // namespace formats

std::string_view PaletteFormatName(PaletteFormat format) {
  const FormatInfo* info = Find(format);
  return info ? info->name : "unknown";
}

std::string_view PaletteFormatTitle(PaletteFormat format) {
  const FormatInfo* info = Find(format);
  return info ? info->title : "unknown format";
}

PaletteFormat PaletteFormatFromName(std::string_view name) {
  for (const FormatInfo& info : kFormats) {
    if (info.name == name) return info.format;
  }
  return PaletteFormat::Unknown;
}

std::vector<PaletteFormat> WritablePaletteFormats() {
  std::vector<PaletteFormat> formats;
  for (const FormatInfo& info : kFormats) {
    if (info.writable) formats.push_back(info.format);
  }
  return formats;
}

PaletteFormat RecognisePalette(const std::vector<uint8_t>& bytes, const std::string& name) {
  // Content: magic words first, then layouts that add up exactly.
  const size_t bom = StartsWith(bytes, 0, "\xEF\xBB\xBF") ? 3 : 0;
  if (StartsWith(bytes, bom, "GIMP Palette")) return PaletteFormat::Gpl;
  if (StartsWith(bytes, bom, "JASC-PAL")) return PaletteFormat::Jasc;
  if (StartsWith(bytes, 0, "RIFF")) return PaletteFormat::Riff;
  if (StartsWith(bytes, 0, "ASEF")) return PaletteFormat::Ase;
  if (formats::IsColProHeader(bytes)) return PaletteFormat::ColPro;
  if (formats::IsAcoLayout(bytes)) return PaletteFormat::Aco;
  if (formats::IsHexList(bytes, 6)) return PaletteFormat::Hex;
  if (formats::IsHexList(bytes, 8)) return PaletteFormat::PaintNet;
  // Then the extension.
  const std::string ext = Extension(name);
  if (ext == ".gpl") return PaletteFormat::Gpl;
  if (ext == ".act") return PaletteFormat::Act;
  if (ext == ".hex") return PaletteFormat::Hex;
  if (ext == ".aco") return PaletteFormat::Aco;
  if (ext == ".ase") return PaletteFormat::Ase;
  if (ext == ".txt") return PaletteFormat::PaintNet;
  if (ext == ".col") {
    if (bytes.size() != kRawBytes) return PaletteFormat::ColPro;
    return AllSixBit(bytes) ? PaletteFormat::Col : PaletteFormat::Raw8;
  }
  // Then the size, but never for a file that starts like a picture: a damaged picture of
  // 768 or 1024 bytes is not a palette.
  if (LooksLikePicture(bytes)) return PaletteFormat::Unknown;
  if (bytes.size() == kRawBytes) return RawFormat(bytes);
  if (formats::IsActTrailer(bytes)) return PaletteFormat::Act;
  if (bytes.size() == 1024) return PaletteFormat::PP256;
  // NES palettes before sets of raw ones: 1536 bytes are 8 sets of 64 far more often
  // than two palettes of 256.
  if (bytes.size() == kNesBytes || bytes.size() == kNesBytes * 8) return PaletteFormat::Nes;
  if (bytes.size() > kRawBytes && bytes.size() % kRawBytes == 0) return RawFormat(bytes);
  return PaletteFormat::Unknown;
}

PaletteReadResult ParsePalette(const std::vector<uint8_t>& bytes, const std::string& name,
                               const PaletteReadOptions& options) {
  PaletteReadResult out;
  const bool forced = options.format != PaletteFormat::Unknown;
  const PaletteFormat format = forced ? options.format : RecognisePalette(bytes, name);
  out.format = format;
  if (format == PaletteFormat::Unknown) {
    const formats::PictureKind picture = formats::RecognisePicture(bytes);
    out.file.count = 0;
    // A picture of a kind that is not read (JPEG, TGA, ...) is told as that.
    if (const std::string kind = PictureKindOf(bytes); picture == formats::PictureKind::Unknown && !kind.empty()) {
      out.error = name + ": a picture of a kind that is not read (" + kind + ", " + std::to_string(bytes.size()) +
                  " bytes)";
      return out;
    }
    out.error = name + ": not a palette file of a known format (" + std::to_string(bytes.size()) + " bytes" +
                (picture != formats::PictureKind::Unknown
                     ? std::string("; it starts like a ") + formats::PictureKindName(picture) + " picture"
                     : "") +
                ")";
    return out;
  }
  RawDepth depth = options.rawDepth;
  if (depth == RawDepth::Guess && (format == PaletteFormat::Col || (forced && format == PaletteFormat::Raw6))) {
    depth = RawDepth::Six;
  } else if (depth == RawDepth::Guess && forced && format == PaletteFormat::Raw8) {
    depth = RawDepth::Eight;
  }
  if (!ReadAs(format, bytes, depth, out)) {
    PaletteReadResult failed;
    failed.format = format;
    failed.file.count = 0;
    failed.error = name + ": " + out.error;
    return failed;
  }
  if (format == PaletteFormat::Raw6 || format == PaletteFormat::Raw8 || format == PaletteFormat::Col) {
    out.format = out.bits == 8 ? PaletteFormat::Raw8 : format == PaletteFormat::Col ? PaletteFormat::Col : PaletteFormat::Raw6;
    if (!forced && format == PaletteFormat::Raw8 && Extension(name) == ".col") {
      out.warnings.push_back("named .col but holds bytes over 63: read as 8-bit");
    }
  }
  const size_t palettes = std::max<size_t>(out.sets.size(), 1);
  if (options.index < 0 || size_t(options.index) >= palettes) {
    PaletteReadResult failed;
    failed.format = out.format;
    failed.file.count = 0;
    failed.error = name + ": palette " + std::to_string(options.index) + " is asked for; the file holds " +
                   (palettes == 1 ? std::string("one, palette 0") : std::to_string(palettes) + ", 0.." + std::to_string(palettes - 1));
    return failed;
  }
  if (!out.sets.empty()) out.file = out.sets[size_t(options.index)];
  if (out.entriesInFile > 256) {
    out.warnings.push_back("holds " + std::to_string(out.entriesInFile) + " colours; the first 256 are used");
  }
  out.file.count = std::min(out.entriesInFile, 256);
  std::vector<std::string>& names = out.file.entryNames;
  if (std::all_of(names.begin(), names.end(), [](const std::string& n) { return n.empty(); })) names.clear();
  for (std::string& warning : out.warnings) warning = name + ": " + warning;
  return out;
}

std::string ReadSmallFile(const std::string& path, int64_t maxBytes, std::vector<uint8_t>& bytes) {
  std::string error;
  return formats::ReadWholeFile(path, maxBytes, bytes, error) ? "" : path + ": " + error;
}

PaletteReadResult ReadPaletteFile(const std::string& path, const PaletteReadOptions& options) {
  Bytes bytes;
  std::string error;
  if (!formats::ReadWholeFile(path, kMaxPaletteFileBytes, bytes, error)) {
    PaletteReadResult out;
    out.file.count = 0;
    out.error = path + ": " + error;
    return out;
  }
  return ParsePalette(bytes, path, options);
}

PaletteWriteResult EncodePalette(const PaletteFile& file, PaletteFormat format) {
  using namespace formats;
  PaletteWriteResult out;
  switch (format) {
    case PaletteFormat::Raw6: WriteRaw(file, true, out.bytes, out.warnings); break;
    case PaletteFormat::Raw8: WriteRaw(file, false, out.bytes, out.warnings); break;
    case PaletteFormat::Col: WriteRaw(file, true, out.bytes, out.warnings); break;
    case PaletteFormat::PP256: WritePP256(file, out.bytes, out.warnings); break;
    case PaletteFormat::Gpl: WriteGpl(file, out.bytes, out.warnings); break;
    case PaletteFormat::Jasc: WriteJasc(file, out.bytes, out.warnings); break;
    case PaletteFormat::Riff: WriteRiff(file, out.bytes, out.warnings); break;
    case PaletteFormat::Act: WriteAct(file, out.bytes, out.warnings); break;
    case PaletteFormat::Hex: WriteHex(file, out.bytes, out.warnings); break;
    case PaletteFormat::ColPro: WriteColPro(file, out.bytes, out.warnings); break;
    case PaletteFormat::PaintNet: WritePaintNet(file, out.bytes, out.warnings); break;
    case PaletteFormat::Aco:
    case PaletteFormat::Ase:
    case PaletteFormat::Nes:
    case PaletteFormat::Unknown:
      out.error = std::string(PaletteFormatTitle(format)) + " cannot be written";
      break;
  }
  return out;
}

PaletteWriteResult WritePaletteFile(const std::string& path, const PaletteFile& file, PaletteFormat format) {
  PaletteWriteResult out = EncodePalette(file, format);
  if (out.ok()) {
    const std::string error = formats::ReplaceFile(path, out.bytes);
    if (!error.empty()) out.error = error;
  }
  out.bytes.clear();
  if (!out.ok()) out.error = path + ": " + out.error;
  for (std::string& warning : out.warnings) warning = path + ": " + warning;
  return out;
}

}  // namespace quorvel
