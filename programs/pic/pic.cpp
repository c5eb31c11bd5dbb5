// quorvel-pic: info, convert, quantize, remap and swatch over the formats library and the
// quantizer.
#include "programs/pic/pic.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include <quorvel/formats.hpp>
#include <quorvel/quantize.hpp>

#include "programs/common/arguments.hpp"
#include "programs/common/cycle_flags.hpp"
#include "programs/common/picture_input.hpp"
#include "programs/common/program.hpp"
#include "programs/play/play.hpp"

namespace quorvel::pic {
namespace {

constexpr char kUsage[] =
    "Usage:\n"
    "  quorvel-pic info FILE...              what each picture or scene holds\n"
    "  quorvel-pic convert IN OUT            writes IN as the format of OUT (or --to)\n"
    "  quorvel-pic quantize IN OUT           brings a true-colour picture to a palette of its own\n"
    "  quorvel-pic remap IN OUT --palette P  brings a picture to the colours of palette file P\n"
    "  quorvel-pic swatch IN OUT.png         draws the palette of IN as a 16x16 grid\n"
    "  quorvel-pic --help | --version\n"
    "\n"
    "IN is an indexed picture (IFF ILBM/PBM, PCX, GIF, PNG, BMP) or a scene (.json); quantize\n"
    "and remap also take true-colour pictures: PNG (RGB, RGBA, grey with alpha; 8 or 16 bits a\n"
    "channel), BMP of 16, 24 or 32 bits a pixel and PCX of 24 or 32.\n"
    "Writing (convert, quantize, remap):\n"
    "  --to FORMAT            ilbm, pbm, png, gif or scene; by default OUT's extension says\n"
    "                         (.lbm .ilbm .iff, .pbm .bbm, .png, .gif, .json)\n"
    "  --cycle LOW-HIGH@STEPS[:wrap|pingpong|sine]\n"
    "                         sets a running cycle over LOW..HIGH, in place of any over the\n"
    "                         same registers (repeatable; negative STEPS run backwards)\n"
    "  --no-cycle LOW-HIGH    clears the cycle over LOW..HIGH (repeatable)\n"
    "  --clear-cycles         clears every cycle of IN\n"
    "  --uncompressed         IFF rows as they are, not packed with ByteRun1\n"
    "  --aspect X:Y           the IFF pixel aspect, 1..255 each (the picture's own)\n"
    "Quantizing and remapping:\n"
    "  --colours N            registers of the new palette, 1..256 (256)\n"
    "  --dither NAME          none, bayer4, bayer8 or fs (Floyd-Steinberg, the default)\n"
    "  --reserve LOW-HIGH     keeps registers LOW..HIGH free of pixels, for a cycle\n"
    "                         (repeatable; the ranges may overlap)\n"
    "  --fix I=RRGGBB         gives register I a colour of your own (repeatable)\n"
    "  --alpha-threshold A    pixels less opaque than A (0..255; 128) are see-through\n"
    "  --transparent I        the see-through register\n"
    "  --palette P            the palette of remap: a palette file quorvel-pal reads, or a\n"
    "                         picture's palette\n"
    "  --index K              palette K (from 0) of a palette file that holds several\n"
    "Reading:\n"
    "  --dos-cycles, --strict-flags   read the cycles' flags as quorvel-play does\n"
    "Nothing is ever written onto the input; a failed write leaves nothing behind.\n";

struct Options {
  std::vector<std::string> words;
  PictureFormat to = PictureFormat::Unknown;
  programs::CycleFlags flags = programs::CycleFlags::Usual;
  PictureWriteOptions write;
  std::vector<Cycle> setCycles;
  std::vector<std::pair<int32_t, int32_t>> clearCycles;
  bool clearAll = false;
  QuantizeOptions quantize;
  bool quantizeGiven = false;  // an option only quantize and remap take
  std::string palette;
  int32_t paletteIndex = 0;
};

bool WholeNumber(std::string_view text, int32_t lo, int32_t hi, int32_t& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && text[0] != '+' && ec == std::errc() && end == text.data() + text.size() && value >= lo &&
         value <= hi;
}

// LOW-HIGH with LOW <= HIGH, registers 0..255.
bool Range(std::string_view text, int32_t& low, int32_t& high) {
  const size_t dash = text.find('-');
  return dash != std::string_view::npos && WholeNumber(text.substr(0, dash), 0, 255, low) &&
         WholeNumber(text.substr(dash + 1), 0, 255, high) && low <= high;
}

bool FixedColour(std::string_view text, FixedRegister& fixed) {
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos || !WholeNumber(text.substr(0, equals), 0, 255, fixed.index)) return false;
  std::string_view hex = text.substr(equals + 1);
  if (hex.starts_with("#")) hex.remove_prefix(1);
  uint32_t rgb = 0;
  const auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), rgb, 16);
  if (hex.size() != 6 || ec != std::errc() || end != hex.data() + hex.size()) return false;
  fixed.colour = {uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)};
  return true;
}

// Parses the arguments; "" or what is wrong.
std::string ParseArgs(const std::vector<std::string>& args, Options& o, bool& help, bool& version) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& text) {
      if (i + 1 == args.size()) return false;
      text = args[++i];
      return true;
    };
    std::string v;
    if (arg == "--help" || arg == "-h") {
      help = true;
    } else if (arg == "--version") {
      version = true;
    } else if (arg == "--to") {
      if (!value(v)) return "--to needs a format";
      o.to = PictureFormatFromName(v);
      if (o.to == PictureFormat::Unknown) return "unknown picture format '" + v + "'";
    } else if (arg == "--cycle") {
      if (!value(v)) return "--cycle needs LOW-HIGH@STEPS";
      Cycle cycle;
      std::string error;
      if (!play::ParseCycleOption(v, cycle, error)) return error;
      o.setCycles.push_back(cycle);
    } else if (arg == "--no-cycle") {
      int32_t low = 0, high = 0;
      if (!value(v) || !Range(v, low, high)) return "--no-cycle needs LOW-HIGH, registers 0..255";
      o.clearCycles.emplace_back(low, high);
    } else if (arg == "--clear-cycles") {
      o.clearAll = true;
    } else if (arg == "--uncompressed") {
      o.write.compress = false;
    } else if (arg == "--aspect") {
      int32_t x = 0, y = 0;
      const size_t colon = value(v) ? v.find(':') : std::string::npos;
      if (colon == std::string::npos || !WholeNumber(std::string_view(v).substr(0, colon), 1, 255, x) ||
          !WholeNumber(std::string_view(v).substr(colon + 1), 1, 255, y)) {
        return "--aspect needs X:Y, each 1..255";
      }
      o.write.xAspect = uint8_t(x);
      o.write.yAspect = uint8_t(y);
    } else if (arg == "--colours" || arg == "--colors") {
      if (!value(v) || !WholeNumber(v, 1, 256, o.quantize.colours)) return arg + " needs a number 1..256";
      o.quantizeGiven = true;
    } else if (arg == "--dither") {
      if (!value(v) || !DitherFromName(v, o.quantize.dither)) return "--dither needs none, bayer4, bayer8 or fs";
      o.quantizeGiven = true;
    } else if (arg == "--reserve") {
      RegisterRange range;
      if (!value(v) || !Range(v, range.low, range.high)) return "--reserve needs LOW-HIGH, registers 0..255";
      o.quantize.reserved.push_back(range);
      o.quantizeGiven = true;
    } else if (arg == "--fix") {
      FixedRegister fixed;
      if (!value(v) || !FixedColour(v, fixed)) return "--fix needs I=RRGGBB: a register 0..255 and its colour";
      o.quantize.fixed.push_back(fixed);
      o.quantizeGiven = true;
    } else if (arg == "--alpha-threshold") {
      if (!value(v) || !WholeNumber(v, 0, 255, o.quantize.alphaThreshold)) {
        return "--alpha-threshold needs a number 0..255";
      }
      o.quantizeGiven = true;
    } else if (arg == "--transparent") {
      if (!value(v) || !WholeNumber(v, 0, 255, o.quantize.transparentIndex)) return "--transparent needs a register 0..255";
      o.quantizeGiven = true;
    } else if (arg == "--palette") {
      if (!value(o.palette)) return "--palette needs a palette file";
    } else if (arg == "--index") {
      if (!value(v) || !WholeNumber(v, 0, 255, o.paletteIndex)) return "--index needs a palette number 0..255";
    } else if (arg == "--dos-cycles" || arg == "--strict-flags") {
      std::string error;
      if (!programs::TakeCycleFlags(arg, o.flags, error)) return error;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return "unknown option '" + arg + "'";
    } else {
      o.words.push_back(arg);
    }
  }
  return "";
}

int Usage(std::FILE* err, const std::string& problem) {
  std::fprintf(err, "quorvel-pic: %s\n%s", problem.c_str(), kUsage);
  return 1;
}

int Fail(std::FILE* err, const std::string& error) {
  std::fprintf(err, "quorvel-pic: %s\n", error.c_str());
  return 1;
}

void PrintWarnings(const std::vector<std::string>& warnings, std::FILE* err) {
  for (const std::string& w : warnings) std::fprintf(err, "quorvel-pic: warning: %s\n", w.c_str());
}

const char* ModeName(CycleMode mode) {
  switch (mode) {
    case CycleMode::Wrap: return "wrap";
    case CycleMode::PingPong: return "pingpong";
    case CycleMode::Sine: return "sine";
  }
  return "wrap";
}

std::string CycleText(const PictureCycle& pc) {
  char text[200];
  const std::string from = pc.chunk.empty() ? "" : " (" + pc.chunk + " at byte " + std::to_string(pc.offset) + ")";
  std::snprintf(text, sizeof text, "registers %d-%d, %.2f steps/s%s, %s, %s%s", pc.cycle.low, pc.cycle.high,
                pc.cycle.stepsPerSecond, pc.cycle.reverse ? " reversed" : "", ModeName(pc.cycle.mode),
                pc.active ? "running" : "not running", from.c_str());
  return text;
}

std::string ClockText(double ms) {
  const int64_t seconds = int64_t(std::floor(ms / 1000));
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

int Info(const Options& o, std::FILE* out, std::FILE* err) {
  int status = 0;
  for (const std::string& path : o.words) {
    const programs::PictureInput in = programs::ReadPictureInput(path, o.flags);
    if (!in.error.empty()) {
      status = Fail(err, in.error);
      continue;
    }
    const IndexedPicture& p = in.scene.picture;
    const std::string kind = in.isScene ? "scene" : PictureKindOf(in.bytes) + " picture";
    std::fprintf(out, "%s\n  format   %s\n  size     %d x %d\n  colours  %d\n", path.c_str(), kind.c_str(), p.width,
                 p.height, p.colourCount);
    if (!in.scene.filename.empty()) std::fprintf(out, "  filename %s\n", in.scene.filename.c_str());
    if (p.transparentIndex >= 0) std::fprintf(out, "  transparent colour %d\n", p.transparentIndex);
    std::fprintf(out, "  cycles   %zu\n", p.cycles.size());
    for (const PictureCycle& pc : p.cycles) std::fprintf(out, "    %s\n", CycleText(pc).c_str());
    if (in.runningUnmarked > 0) {
      std::fprintf(out, "  note     none is marked running; the %zu whose rate moves them run, as quorvel-play "
                        "runs them (--strict-flags keeps them still)\n", in.runningUnmarked);
    }
    const PaletteTimeline& timeline = in.scene.timeline;
    if (!timeline.keys.empty()) {
      std::fprintf(out, "  timeline %zu palettes over %s:", timeline.keys.size(), ClockText(timeline.periodMs).c_str());
      for (const TimedPalette& key : timeline.keys) std::fprintf(out, " %s", ClockText(key.timeMs).c_str());
      std::fprintf(out, "\n");
    }
    for (const std::string& w : in.warnings) {
      const bool named = w.rfind(path + ": ", 0) == 0;  // the file is already named above
      std::fprintf(out, "  warning  %s\n", w.c_str() + (named ? path.size() + 2 : 0));
    }
  }
  return status;
}

// The cycles asked for: all cleared, some cleared, then those set, each in place of any
// over the same registers. "" or what is wrong.
std::string EditCycles(const Options& o, IndexedPicture& picture) {
  std::vector<PictureCycle>& cycles = picture.cycles;
  if (o.clearAll) cycles.clear();
  auto over = [](int32_t low, int32_t high) {
    return [=](const PictureCycle& pc) { return pc.cycle.low == low && pc.cycle.high == high; };
  };
  for (const auto& [low, high] : o.clearCycles) {
    const auto gone = std::remove_if(cycles.begin(), cycles.end(), over(low, high));
    if (gone == cycles.end() && !o.clearAll) {
      return "--no-cycle " + std::to_string(low) + "-" + std::to_string(high) + ": the picture has no cycle over "
             "those registers";
    }
    cycles.erase(gone, cycles.end());
  }
  for (const Cycle& c : o.setCycles) {
    PictureCycle pc;
    pc.cycle = c;
    pc.active = true;
    const auto same = std::find_if(cycles.begin(), cycles.end(), over(c.low, c.high));
    if (same != cycles.end()) {
      *same = pc;
    } else {
      cycles.push_back(pc);
    }
  }
  return "";
}

// The format OUT is written in: --to, else by its extension.
PictureFormat OutputFormat(const Options& o, const std::string& path) {
  return o.to != PictureFormat::Unknown ? o.to : PictureFormatOfPath(path);
}

// Writes the scene (its picture alone unless the format is a scene), after the cycle
// edits, and tells what was written.
int Write(const Options& o, Scene scene, const std::string& path, std::FILE* out, std::FILE* err) {
  if (std::string problem = EditCycles(o, scene.picture); !problem.empty()) return Fail(err, problem);
  const PictureFormat format = OutputFormat(o, path);
  const PictureWriteResult written = format == PictureFormat::Scene ? WriteScene(path, scene)
                                                                    : WritePicture(path, scene.picture, format, o.write);
  PrintWarnings(written.warnings, err);
  if (!written.ok()) return Fail(err, written.error);
  const bool keepsCycles = format != PictureFormat::Png && format != PictureFormat::Gif;
  const std::string cycles = keepsCycles ? ", " + std::to_string(scene.picture.cycles.size()) + " cycles" : "";
  std::fprintf(out, "%s: %d x %d, %d colours%s as %s\n", path.c_str(), scene.picture.width, scene.picture.height,
               scene.picture.colourCount, cycles.c_str(), std::string(PictureFormatName(format)).c_str());
  return 0;
}

// Checks a command that writes OUT: the format is known and OUT is not the input.
std::string CheckOutput(const Options& o, const std::string& in, const std::string& outPath) {
  if (OutputFormat(o, outPath) == PictureFormat::Unknown) {
    return "cannot tell the format of " + outPath + " by its name; give --to ilbm, pbm, png, gif or scene";
  }
  if (programs::SameFile(in, outPath)) return outPath + " is the input; write to another file";
  return "";
}

// An input as true colour: a scene's picture, or any picture the quantizer reads.
RgbaReadResult ReadTrueColour(const std::string& path, std::vector<std::string>& warnings) {
  std::vector<uint8_t> bytes;
  RgbaReadResult read;
  read.error = ReadSmallFile(path, kMaxSceneFileBytes, bytes);
  if (!read.ok()) return read;
  if (!LooksLikePicture(bytes) && LooksLikeScene(bytes)) {
    SceneReadResult scene = ParseScene(bytes, path);
    warnings = scene.warnings;
    read.error = scene.error;
    if (read.ok()) read.picture = ExpandIndexedPicture(scene.scene.picture);
    return read;
  }
  return ParseRgbaPicture(bytes, path);
}

// A cycle set on a quantized picture over registers the quantizer fills would spin the
// picture's own colours, which lie in no order; the registers kept for a cycle are
// reserved or fixed. Written all the same, since the options are the caller's.
void WarnOfCyclesOverQuantizedColours(const Options& o, std::FILE* err) {
  std::vector<bool> kept(256, false);
  for (const RegisterRange& range : o.quantize.reserved) {
    for (int32_t i = range.low; i <= range.high; ++i) kept[size_t(i)] = true;
  }
  for (const FixedRegister& fixed : o.quantize.fixed) kept[size_t(fixed.index)] = true;
  for (const Cycle& c : o.setCycles) {
    bool filled = false;
    for (int32_t i = c.low; i <= c.high && i < o.quantize.colours; ++i) filled = filled || !kept[size_t(i)];
    if (!filled) continue;
    const std::string range = std::to_string(c.low) + "-" + std::to_string(c.high);
    std::fprintf(err, "quorvel-pic: warning: --cycle %s runs over registers the quantizer fills with the "
                      "picture's colours; --reserve %s keeps them for the cycle\n", range.c_str(), range.c_str());
  }
}

int Quantize(const Options& o, std::FILE* out, std::FILE* err) {
  std::vector<std::string> warnings;
  const RgbaReadResult read = ReadTrueColour(o.words[0], warnings);
  PrintWarnings(warnings, err);
  if (!read.ok()) return Fail(err, read.error);
  QuantizeResult result = quorvel::Quantize(read.picture, o.quantize);
  if (!result.ok()) return Fail(err, result.error);
  WarnOfCyclesOverQuantizedColours(o, err);
  Scene scene;
  scene.picture = std::move(result.picture);
  return Write(o, std::move(scene), o.words[1], out, err);
}

// The palette of remap: a palette file (the --index'th of a set), or a picture's or
// scene's palette.
PaletteReadResult ReadRemapPalette(const Options& o) {
  PaletteReadResult read;
  std::vector<uint8_t> bytes;
  read.error = ReadSmallFile(o.palette, kMaxPaletteFileBytes, bytes);
  if (!read.ok() || (!LooksLikePicture(bytes) && !LooksLikeScene(bytes))) {
    return read.ok() ? ParsePalette(bytes, o.palette, {.index = o.paletteIndex}) : read;
  }
  const programs::PictureInput in = programs::ReadPictureInput(o.palette, o.flags);
  read.warnings = in.warnings;
  read.error = in.error;
  if (read.ok() && o.paletteIndex != 0) {
    read.error = o.palette + ": palette " + std::to_string(o.paletteIndex) + " is asked for; a picture holds one, palette 0";
  }
  if (!read.ok()) return read;
  read.file.colours = in.scene.picture.palette;
  read.file.count = in.scene.picture.colourCount;
  read.file.transparentIndex = in.scene.picture.transparentIndex;
  return read;
}

int Remap(const Options& o, std::FILE* out, std::FILE* err) {
  if (o.palette.empty()) return Usage(err, "remap needs --palette P");
  if (programs::SameFile(o.palette, o.words[1])) return Fail(err, o.words[1] + " is the palette; write to another file");
  const PaletteReadResult palette = ReadRemapPalette(o);
  PrintWarnings(palette.warnings, err);
  if (!palette.ok()) return Fail(err, palette.error);
  // An indexed picture goes register by register; one that is not, pixel by pixel.
  const programs::PictureInput in = programs::ReadPictureInput(o.words[0], o.flags);
  QuantizeResult result;
  Scene scene;
  if (in.error.empty()) {
    PrintWarnings(in.warnings, err);
    if (!in.scene.picture.cycles.empty() && !o.clearAll) {
      std::fprintf(err, "quorvel-pic: warning: %s: its %zu cycles name registers of its own palette and are "
                        "left out; set new ones with --cycle\n", o.words[0].c_str(), in.scene.picture.cycles.size());
    }
    result = RemapPicture(in.scene.picture, palette.file, o.quantize);
    scene.filename = in.scene.filename;
  } else {
    std::vector<std::string> warnings;
    const RgbaReadResult read = ReadTrueColour(o.words[0], warnings);
    PrintWarnings(warnings, err);
    if (!read.ok()) return Fail(err, read.error);
    result = RemapToPalette(read.picture, palette.file, o.quantize);
  }
  if (!result.ok()) return Fail(err, result.error);
  scene.picture = std::move(result.picture);
  return Write(o, std::move(scene), o.words[1], out, err);
}

int Convert(const Options& o, std::FILE* out, std::FILE* err) {
  programs::PictureInput in = programs::ReadPictureInput(o.words[0], o.flags);
  PrintWarnings(in.warnings, err);
  if (!in.error.empty()) return Fail(err, in.error);
  if (in.runningUnmarked > 0) {
    std::fprintf(err, "quorvel-pic: %s marks none of its colour cycles as running; the %zu whose rate moves them "
                      "are written running, as quorvel-play runs them (--strict-flags keeps them still)\n",
                 o.words[0].c_str(), in.runningUnmarked);
  }
  return Write(o, std::move(in.scene), o.words[1], out, err);
}

int Swatch(const Options& o, std::FILE* out, std::FILE* err) {
  if (programs::SameFile(o.words[0], o.words[1])) return Fail(err, o.words[1] + " is the input; write to another file");
  const programs::PictureInput in = programs::ReadPictureInput(o.words[0], o.flags);
  PrintWarnings(in.warnings, err);
  if (!in.error.empty()) return Fail(err, in.error);
  PaletteFile file;
  file.colours = in.scene.picture.palette;
  file.count = in.scene.picture.colourCount;
  if (const std::string error = WriteSwatchPng(o.words[1], file); !error.empty()) return Fail(err, error);
  std::fprintf(out, "%s: swatch of %d colours\n", o.words[1].c_str(), file.count);
  return 0;
}

}  // namespace

int RunPic(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  Options o;
  bool help = false, version = false;
  if (const std::string problem = ParseArgs(args, o, help, version); !problem.empty()) return Usage(err, problem);
  if (help) {
    std::fputs(kUsage, out);
    return 0;
  }
  if (version) {
    programs::PrintVersion("quorvel-pic", out);
    return 0;
  }
  if (o.words.empty()) return Usage(err, "no command");
  const std::string command = o.words[0];
  o.words.erase(o.words.begin());
  const bool writes = command == "convert" || command == "quantize" || command == "remap";
  if (command == "info") {
    if (o.words.empty()) return Usage(err, "info needs at least one file");
    return Info(o, out, err);
  }
  if (command != "swatch" && !writes) return Usage(err, "unknown command '" + command + "'");
  if (o.words.size() != 2) return Usage(err, command + " needs IN and OUT");
  if (o.quantizeGiven && command != "quantize" && command != "remap") {
    return Usage(err, "the quantizing options are for quantize and remap, not " + command);
  }
  if (command == "swatch") return Swatch(o, out, err);
  if (const std::string problem = CheckOutput(o, o.words[0], o.words[1]); !problem.empty()) return Fail(err, problem);
  if (command == "convert") return Convert(o, out, err);
  if (command == "quantize") return Quantize(o, out, err);
  return Remap(o, out, err);
}

}  // namespace quorvel::pic
