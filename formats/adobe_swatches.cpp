// Adobe's swatch files, read only: Photoshop .aco (versions 1 and 2) and swatch exchange
// .ase. Both are big-endian. Colours in spaces other than RGB, HSB and grey keep their
// place in the palette as black, with a warning, so the indices of the rest hold. A file
// cut short gives the colours before the cut, with a warning; one cut before its first
// colour is an error, not an empty palette.
#include <algorithm>
#include <cmath>

#include "formats/codecs.hpp"

namespace quorvel::formats {
namespace {

enum AcoSpace : uint16_t { kAcoRgb = 0, kAcoHsb = 1, kAcoGrey = 8, kAcoLastSpace = 10 };
constexpr uint16_t kAseColour = 0x0001;

struct AcoRecord {
  size_t offset = 0;
  uint16_t space = 0;
  uint16_t w = 0, x = 0, y = 0, z = 0;
  std::string name;
};

// Reads `count` records of a version 1 or 2 section. Stops at the first record that does
// not fit and says so in `problem`.
std::vector<AcoRecord> ReadAcoSection(ByteReader& reader, uint16_t version, uint16_t count,
                                      std::string& problem) {
  std::vector<AcoRecord> records;
  for (uint32_t i = 0; i < count; ++i) {
    AcoRecord rec;
    rec.offset = reader.Offset();
    if (!reader.U16BE(rec.space) || !reader.U16BE(rec.w) || !reader.U16BE(rec.x) ||
        !reader.U16BE(rec.y) || !reader.U16BE(rec.z)) {
      problem = AtByte(rec.offset, "the file ends inside colour " + std::to_string(i));
      break;
    }
    if (version == 2) {
      uint32_t units = 0;
      std::string_view name;
      if (!reader.U32BE(units) || units > reader.Remaining() / 2 || !reader.Take(size_t(units) * 2, name)) {
        problem = AtByte(rec.offset + 10, "the name of colour " + std::to_string(i) +
                                              " runs past the end of the file");
        break;
      }
      rec.name = Utf16BeToUtf8(name);
    }
    records.push_back(std::move(rec));
  }
  return records;
}

// 0..1 to 0..255; NaN is 0.
uint8_t Unit(double v) {
  if (!(v > 0)) return 0;
  return uint8_t(std::lround(std::min(v, 1.0) * 255));
}

// Hue in turns, saturation and brightness 0..1.
Rgb8 FromHsb(double hue, double s, double v) {
  const double h = (hue - std::floor(hue)) * 6;
  const int sector = std::min(5, int(h));
  const double f = h - sector;
  const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
  double r = v, g = t, b = p;
  switch (sector) {
    case 1: r = q, g = v, b = p; break;
    case 2: r = p, g = v, b = t; break;
    case 3: r = p, g = q, b = v; break;
    case 4: r = t, g = p, b = v; break;
    case 5: r = v, g = p, b = q; break;
    default: break;
  }
  return {Unit(r), Unit(g), Unit(b)};
}

// Warns once about colours in spaces that are not converted, naming the first.
struct Unconverted {
  size_t count = 0;
  std::string first;
  void Add(size_t offset, const std::string& space) {
    if (count++ == 0) first = AtByte(offset, "a colour in " + space);
  }
  void Report(Warnings& warnings) const {
    if (count) {
      warnings.push_back(first + " (" + std::to_string(count) +
                         " such): only RGB, HSB and grey are converted; they are black");
    }
  }
};

std::string AcoSpaceName(uint16_t space) {
  switch (space) {
    case 2: return "CMYK";
    case 7: return "Lab";
    case 9: return "wide CMYK";
    default: return "colour space " + std::to_string(space);
  }
}

bool ParsesToEnd(const Bytes& bytes) {
  ByteReader reader(bytes);
  uint16_t version = 0, count = 0;
  if (!reader.U16BE(version) || !reader.U16BE(count) || count == 0 || (version != 1 && version != 2)) {
    return false;
  }
  std::string problem;
  auto records = ReadAcoSection(reader, version, count, problem);
  if (!problem.empty()) return false;
  for (const AcoRecord& rec : records) {
    if (rec.space > kAcoLastSpace) return false;
  }
  if (reader.AtEnd()) return true;
  uint16_t version2 = 0, count2 = 0;
  if (version != 1 || !reader.U16BE(version2) || !reader.U16BE(count2) || version2 != 2 || count2 != count) {
    return false;
  }
  ReadAcoSection(reader, 2, count2, problem);
  return problem.empty() && reader.AtEnd();
}

}  // namespace

bool IsAcoLayout(const Bytes& bytes) { return ParsesToEnd(bytes); }

bool ReadAco(const Bytes& bytes, PaletteReadResult& out) {
  ByteReader reader(bytes);
  uint16_t version = 0, count = 0;
  if (!reader.U16BE(version) || !reader.U16BE(count)) {
    return Fail(out, "the file ends inside the 4-byte header of Photoshop swatches");
  }
  if (version != 1 && version != 2) {
    return Fail(out, AtByte(0, "version " + std::to_string(version) +
                                   "; Photoshop swatches are version 1 or 2"));
  }
  std::string problem;
  std::vector<AcoRecord> records = ReadAcoSection(reader, version, count, problem);
  if (version == 1 && problem.empty() && reader.Remaining() >= 4) {
    // Version 2 repeats the colours with their names; use it when it is whole.
    const size_t at = reader.Offset();
    uint16_t version2 = 0, count2 = 0;
    reader.U16BE(version2);
    reader.U16BE(count2);
    std::string problem2;
    std::vector<AcoRecord> named = ReadAcoSection(reader, 2, count2, problem2);
    if (version2 == 2 && problem2.empty()) {
      records = std::move(named);
      version = 2;
    } else {
      out.warnings.push_back(AtByte(at, "the version 2 part is broken; the colours of version 1 are used"));
    }
  }
  if (!problem.empty() && records.empty()) return Fail(out, problem + ", before any colour");
  if (!problem.empty()) out.warnings.push_back(problem + "; the colours before it are used");
  out.bits = 16;
  Unconverted unconverted;
  for (const AcoRecord& rec : records) {
    Rgb8 colour{};
    if (rec.space == kAcoRgb) {
      colour = {uint8_t((rec.w + 128) / 257), uint8_t((rec.x + 128) / 257), uint8_t((rec.y + 128) / 257)};
    } else if (rec.space == kAcoHsb) {
      colour = FromHsb(rec.w / 65536.0, rec.x / 65535.0, rec.y / 65535.0);
    } else if (rec.space == kAcoGrey) {
      // Grey is the amount of black ink: 0 is white, 10000 black.
      const uint8_t v = Unit(1 - std::min<uint16_t>(rec.w, 10000) / 10000.0);
      colour = {v, v, v};
    } else {
      unconverted.Add(rec.offset, AcoSpaceName(rec.space));
    }
    if (version == 2) {
      AddNamedColour(out, colour, rec.name);
    } else {
      AddColour(out, colour);
    }
  }
  unconverted.Report(out.warnings);
  return true;
}

// Blocks are always skipped by their length, so block kinds this reader does not know
// (and groups) cost nothing.
bool ReadAse(const Bytes& bytes, PaletteReadResult& out) {
  ByteReader reader(bytes);
  uint16_t major = 0, minor = 0;
  uint32_t blocks = 0;
  if (!reader.Peek("ASEF") || !reader.Skip(4) || !reader.U16BE(major) || !reader.U16BE(minor) ||
      !reader.U32BE(blocks)) {
    return Fail(out, "not an Adobe swatch exchange file (it starts with 'ASEF' and a 12-byte header)");
  }
  if (major != 1) out.warnings.push_back(AtByte(4, "version " + std::to_string(major) + ", not 1"));
  out.bits = 32;
  Unconverted unconverted;
  uint32_t seen = 0;
  for (; seen < blocks && !reader.AtEnd(); ++seen) {
    const size_t at = reader.Offset();
    uint16_t type = 0;
    uint32_t length = 0;
    std::string_view body;
    if (!reader.U16BE(type) || !reader.U32BE(length) || !reader.Take(length, body)) {
      if (out.entriesInFile == 0) {
        return Fail(out, AtByte(at, "a block runs past the end of the file, before any colour"));
      }
      out.warnings.push_back(AtByte(at, "a block runs past the end of the file; the colours before it are used"));
      break;
    }
    if (type != kAseColour) continue;
    ByteReader block(reinterpret_cast<const uint8_t*>(body.data()), body.size());
    uint16_t units = 0;
    std::string_view name, model;
    float v[4] = {};
    const bool head = block.U16BE(units) && block.Take(size_t(units) * 2, name) && block.Take(4, model);
    const int32_t components = model == "RGB " ? 3 : model == "Gray" ? 1 : model == "CMYK" ? 4 : 3;
    bool whole = head;
    for (int32_t k = 0; whole && k < components; ++k) whole = block.F32BE(v[k]);
    if (!whole) {
      out.warnings.push_back(AtByte(at, "a colour block too short for its colour; skipped"));
      continue;
    }
    Rgb8 colour{};
    if (model == "RGB ") {
      colour = {Unit(v[0]), Unit(v[1]), Unit(v[2])};
    } else if (model == "Gray") {
      colour = {Unit(v[0]), Unit(v[0]), Unit(v[0])};
    } else {
      std::string label = "model '";
      label.append(model).append("'");
      unconverted.Add(at, label);
    }
    AddNamedColour(out, colour, Utf16BeToUtf8(name));
  }
  if (seen < blocks && reader.AtEnd()) {
    if (out.entriesInFile == 0) {
      return Fail(out, AtByte(reader.Offset(), "the file ends after " + std::to_string(seen) + " of the " +
                                                   std::to_string(blocks) +
                                                   " blocks its header gives, before any colour"));
    }
    out.warnings.push_back("the header gives " + std::to_string(blocks) + " blocks; the file holds " +
                           std::to_string(seen));
  }
  unconverted.Report(out.warnings);
  return true;
}

}  // namespace quorvel::formats
