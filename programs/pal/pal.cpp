// quorvel-pal: info, convert and swatch over the formats library.
#include "programs/pal/pal.hpp"

#include <algorithm>
#include <cinttypes>

#include <quorvel/formats.hpp>

#include "programs/common/arguments.hpp"
#include "programs/common/cycle_flags.hpp"
#include "programs/common/program.hpp"

namespace quorvel::pal {
namespace {

constexpr char kUsage[] =
    "Usage:\n"
    "  quorvel-pal info FILE...                  what each palette or picture holds\n"
    "  quorvel-pal convert IN OUT --to FORMAT    writes the palette of IN as FORMAT\n"
    "  quorvel-pal swatch IN OUT.png             draws the palette of IN as a 16x16 grid\n"
    "  quorvel-pal --help | --version\n"
    "\n"
    "IN may be a palette file or an indexed picture (IFF ILBM/PBM, PCX, GIF, PNG, BMP),\n"
    "whose palette is taken. Options of every command:\n"
    "  --from FORMAT   read IN as FORMAT instead of recognising it (raw6 or raw8 say the\n"
    "                  depth of a raw file, and read one shorter than 768 bytes)\n"
    "  --index K       take palette K (from 0) of a file that holds several, such as a\n"
    "                  raw file of K x 768 bytes (PLAYPAL) or a NES file of 8 sets\n"
    "  --dos-cycles    take every cycle whose rate moves it as running, whatever its flags\n"
    "  --strict-flags  take only the cycles marked active as running, as DeluxePaint does\n"
    "                  (by default, when none is marked, those whose rate moves them run)\n"
    "                  Cycles are told as quorvel-play runs them with the same option.\n"
    "\n"
    "FORMAT for --to: raw6 raw8 pp256 gpl jasc riff act hex col colpro paintnet\n"
    "Also read: aco (Photoshop swatches), ase (Adobe swatch exchange), nes (NES palettes).\n"
    "Nothing is ever written onto the input; a failed write leaves nothing behind.\n";

// What a command reads from its input: a palette file or a picture's palette.
struct Input {
  PaletteFile file;
  std::string description;  // the format
  std::string depth;        // the precision of a component, and whether it was guessed
  int32_t entriesInFile = 0;
  std::vector<PaletteFile> sets;  // every palette of a file that holds several
  int32_t index = 0;              // the one taken
  bool picture = false;
  int32_t width = 0, height = 0;
  std::vector<PictureCycle> cycles;
  size_t runningUnmarked = 0;  // cycles that run because none is marked running
  std::vector<std::string> warnings;
  std::string error;
};

Input Failed(std::string error) {
  Input in;
  in.error = std::move(error);
  return in;
}

std::string DepthText(int32_t bits, bool guessed) {
  std::string text = bits == 32 ? "floating point" : std::to_string(bits) + "-bit";
  if (guessed) text += " (guessed: no byte is over 63)";
  return text;
}

Input FromPicture(const std::vector<uint8_t>& bytes, const std::string& path, programs::CycleFlags flags) {
  Input in;
  PictureReadResult read = ParsePicture(bytes, path, programs::CycleReadOptionsFor(flags));
  if (read.ok()) in.runningUnmarked = programs::RunCyclesNoneIsMarkedFor(bytes, flags, read.picture.cycles);
  in.error = read.error;
  in.warnings = read.warnings;
  in.picture = true;
  in.width = read.picture.width;
  in.height = read.picture.height;
  in.file.colours = read.picture.palette;
  in.file.count = read.picture.colourCount;
  in.entriesInFile = read.picture.colourCount;
  in.cycles = read.picture.cycles;
  in.description = PictureKindOf(bytes) + " picture";
  in.depth = "8-bit";
  return in;
}

// The format a palette was read as. A raw format's title names 768 bytes, what its
// writer always writes; a raw file read may be a set of palettes or, its depth given,
// shorter, and then says its own size.
std::string FormatText(const PaletteReadResult& read, size_t bytes) {
  const bool raw = read.format == PaletteFormat::Raw6 || read.format == PaletteFormat::Raw8;
  if (!raw || bytes == 768) return std::string(PaletteFormatTitle(read.format));
  const std::string size = read.sets.empty() ? std::to_string(bytes) : std::to_string(read.sets.size()) + " x 768";
  return "raw " + size + " bytes, " + std::to_string(read.bits) + "-bit";
}

Input FromPalette(const std::vector<uint8_t>& bytes, const std::string& path, const PaletteReadOptions& options) {
  Input in;
  const PaletteReadResult read = ParsePalette(bytes, path, options);
  in.sets = read.sets;
  in.index = options.index;
  in.error = read.error;
  in.warnings = read.warnings;
  in.file = read.file;
  in.entriesInFile = read.entriesInFile;
  in.description = FormatText(read, bytes.size());
  in.depth = DepthText(read.bits, read.bitsGuessed);
  return in;
}

// Pictures are told by their signatures before palettes are, so that a 1024-byte PNG is
// never read as a PP256 palette. A picture that cannot be read is a palette only when its
// content or name says so and it reads as one: a damaged picture of 768 or 1024 bytes
// gives the picture's error, not a palette of garbage.
Input Load(const std::string& path, const PaletteReadOptions& from, programs::CycleFlags cycles) {
  std::vector<uint8_t> bytes;
  const std::string error = ReadSmallFile(path, kMaxPictureFileBytes, bytes);
  if (!error.empty()) return Failed(error);
  if (from.format != PaletteFormat::Unknown) return FromPalette(bytes, path, from);
  if (LooksLikePicture(bytes)) {
    Input picture = FromPicture(bytes, path, cycles);
    if (picture.error.empty() && from.index != 0) {
      return Failed(path + ": palette " + std::to_string(from.index) +
                    " is asked for; a picture holds one, palette 0");
    }
    if (picture.error.empty() || RecognisePalette(bytes, path) == PaletteFormat::Unknown ||
        int64_t(bytes.size()) > kMaxPaletteFileBytes) {
      return picture;
    }
    Input palette = FromPalette(bytes, path, from);
    return palette.error.empty() ? palette : picture;
  }
  if (int64_t(bytes.size()) > kMaxPaletteFileBytes) {
    if (const std::string kind = PictureKindOf(bytes); !kind.empty()) {
      return Failed(path + ": a picture of a kind that is not read (" + kind + ", " + std::to_string(bytes.size()) +
                    " bytes)");
    }
    return Failed(path + ": " + std::to_string(bytes.size()) +
                  " bytes is too big for a palette file and it is not a picture");
  }
  return FromPalette(bytes, path, from);
}

std::string CycleText(const PictureCycle& pc) {
  char text[200];
  std::snprintf(text, sizeof text, "%s at byte %zu: registers %d-%d, %.2f steps/s%s, %s", pc.chunk.c_str(),
                pc.offset, pc.cycle.low, pc.cycle.high, pc.cycle.stepsPerSecond,
                pc.cycle.reverse ? " reversed" : "", pc.active ? "running" : "not running");
  return text;
}

// A palette of a set in one line: how many colours, and the first and the brightest.
std::string SetText(const PaletteFile& file) {
  auto hex = [](Rgb8 c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
    return std::string(text);
  };
  Rgb8 brightest;
  for (int32_t i = 0; i < file.count; ++i) {
    const Rgb8 c = file.colours[size_t(i)];
    if (c.r + c.g + c.b > brightest.r + brightest.g + brightest.b) brightest = c;
  }
  return std::to_string(file.count) + " colours, first " + hex(file.colours[0]) + ", brightest " + hex(brightest);
}

void PrintWarnings(const std::vector<std::string>& warnings, std::FILE* err) {
  for (const std::string& w : warnings) std::fprintf(err, "quorvel-pal: warning: %s\n", w.c_str());
}

int Info(const std::vector<std::string>& files, const PaletteReadOptions& from, programs::CycleFlags cycles,
         std::FILE* out, std::FILE* err) {
  int status = 0;
  for (const std::string& path : files) {
    const Input in = Load(path, from, cycles);
    if (!in.error.empty()) {
      std::fprintf(err, "quorvel-pal: %s\n", in.error.c_str());
      status = 1;
      continue;
    }
    std::fprintf(out, "%s\n  format   %s\n  depth    %s\n", path.c_str(), in.description.c_str(),
                 in.depth.c_str());
    if (in.picture) std::fprintf(out, "  size     %d x %d\n", in.width, in.height);
    std::fprintf(out, "  colours  %d", in.file.count);
    if (in.entriesInFile > in.file.count) std::fprintf(out, " used of %d in the file", in.entriesInFile);
    std::fprintf(out, "\n");
    if (!in.sets.empty()) {
      std::fprintf(out, "  palettes %zu (--index K takes one; these are palette %d)\n", in.sets.size(), in.index);
      for (size_t i = 0; i < in.sets.size(); ++i) std::fprintf(out, "    %2zu  %s\n", i, SetText(in.sets[i]).c_str());
    }
    if (!in.file.name.empty()) std::fprintf(out, "  name     %s\n", in.file.name.c_str());
    if (in.file.transparentIndex >= 0) std::fprintf(out, "  transparent colour %d\n", in.file.transparentIndex);
    if (in.picture) {
      std::fprintf(out, "  cycles   %zu\n", in.cycles.size());
      for (const PictureCycle& pc : in.cycles) std::fprintf(out, "    %s\n", CycleText(pc).c_str());
      if (in.runningUnmarked > 0) {
        std::fprintf(out, "  note     none is marked running; the %zu whose rate moves them run, as "
                          "quorvel-play runs them (--strict-flags keeps them still)\n", in.runningUnmarked);
      }
    }
    for (const std::string& w : in.warnings) {
      const bool named = w.rfind(path + ": ", 0) == 0;  // the file is already named above
      std::fprintf(out, "  warning  %s\n", w.c_str() + (named ? path.size() + 2 : 0));
    }
  }
  return status;
}

// Refuses an output that is the input itself (by any name).
bool SameAsInput(const std::string& in, const std::string& out, std::FILE* err) {
  if (programs::SameFile(in, out)) {
    std::fprintf(err, "quorvel-pal: %s is the input; write to another file\n", out.c_str());
    return true;
  }
  return false;
}

// Loads the input of a command that writes a file: refuses an output that is the input,
// and reports the input's error or warnings on `err`. False when nothing should be written.
bool LoadForOutput(const std::string& inPath, const std::string& outPath, const PaletteReadOptions& from, Input& in,
                   std::FILE* err) {
  if (SameAsInput(inPath, outPath, err)) return false;
  in = Load(inPath, from, programs::CycleFlags::Usual);
  if (!in.error.empty()) {
    std::fprintf(err, "quorvel-pal: %s\n", in.error.c_str());
    return false;
  }
  PrintWarnings(in.warnings, err);
  return true;
}

int Convert(const std::string& inPath, const std::string& outPath, PaletteFormat to, const PaletteReadOptions& from,
            std::FILE* out, std::FILE* err) {
  Input in;
  if (!LoadForOutput(inPath, outPath, from, in, err)) return 1;
  const PaletteWriteResult written = WritePaletteFile(outPath, in.file, to);
  PrintWarnings(written.warnings, err);
  if (!written.ok()) {
    std::fprintf(err, "quorvel-pal: %s\n", written.error.c_str());
    return 1;
  }
  std::fprintf(out, "%s: %d colours as %s\n", outPath.c_str(), in.file.count,
               std::string(PaletteFormatTitle(to)).c_str());
  return 0;
}

int Swatch(const std::string& inPath, const std::string& outPath, const PaletteReadOptions& from, std::FILE* out,
           std::FILE* err) {
  Input in;
  if (!LoadForOutput(inPath, outPath, from, in, err)) return 1;
  const std::string error = WriteSwatchPng(outPath, in.file);
  if (!error.empty()) {
    std::fprintf(err, "quorvel-pal: %s\n", error.c_str());
    return 1;
  }
  std::fprintf(out, "%s: swatch of %d colours\n", outPath.c_str(), in.file.count);
  return 0;
}

int Usage(std::FILE* err, const std::string& problem) {
  std::fprintf(err, "quorvel-pal: %s\n%s", problem.c_str(), kUsage);
  return 1;
}

}  // namespace

int RunPal(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  std::vector<std::string> words;
  PaletteFormat to = PaletteFormat::Unknown;
  PaletteReadOptions from;
  bool toGiven = false;
  programs::CycleFlags cycles = programs::CycleFlags::Usual;
  std::string error;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, out);
      return 0;
    }
    if (arg == "--version") {
      programs::PrintVersion("quorvel-pal", out);
      return 0;
    }
    if (arg == "--to" || arg == "--from") {
      if (i + 1 == args.size()) return Usage(err, arg + " needs a format");
      const PaletteFormat format = PaletteFormatFromName(args[++i]);
      if (format == PaletteFormat::Unknown) return Usage(err, "unknown format '" + args[i] + "'");
      (arg == "--to" ? to : from.format) = format;
      toGiven = toGiven || arg == "--to";
    } else if (arg == "--index") {
      double index = 0;
      if (i + 1 == args.size() || !programs::ParseDecimal(args[i + 1], index) || index < 0 || index > 255 ||
          index != int32_t(index)) {
        return Usage(err, "--index needs a palette number 0..255");
      }
      from.index = int32_t(index);
      ++i;
    } else if (arg == "--dos-cycles" || arg == "--strict-flags") {
      if (!programs::TakeCycleFlags(arg, cycles, error)) return Usage(err, error);
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage(err, "unknown option '" + arg + "'");
    } else {
      words.push_back(arg);
    }
  }
  if (words.empty()) return Usage(err, "no command");
  const std::string command = words[0];
  words.erase(words.begin());
  if (command == "info") {
    if (words.empty()) return Usage(err, "info needs at least one file");
    return Info(words, from, cycles, out, err);
  }
  if (command == "convert") {
    if (words.size() != 2) return Usage(err, "convert needs IN and OUT");
    if (!toGiven) return Usage(err, "convert needs --to FORMAT");
    const auto writable = WritablePaletteFormats();
    if (std::find(writable.begin(), writable.end(), to) == writable.end()) {
      return Usage(err, std::string(PaletteFormatTitle(to)) + " can be read but not written");
    }
    return Convert(words[0], words[1], to, from, out, err);
  }
  if (command == "swatch") {
    if (words.size() != 2) return Usage(err, "swatch needs IN and OUT.png");
    return Swatch(words[0], words[1], from, out, err);
  }
  return Usage(err, "unknown command '" + command + "'");
}

}  // namespace quorvel::pal
