// The text palette formats: GIMP .gpl, JASC-PAL, Lospec .hex and Paint.NET .txt. Lines
// may end in LF, CRLF or CR and the file may start with a UTF-8 byte order mark; numbers
// are decimal, 0..255.
#include <algorithm>
#include <cctype>

#include "formats/codecs.hpp"

namespace quorvel::formats {
namespace {

constexpr int64_t kMostColumns = 256;
constexpr int64_t kMostJascColours = 1 << 20;
constexpr int32_t kPaintNetColours = 96;  // what Paint.NET's palette holds

// Reads `count` components from the start of `rest`, leaving what follows them.
bool ReadComponents(std::string_view& rest, int32_t line, int32_t count, uint8_t* values,
                    const std::string& expected, PaletteReadResult& out) {
  const std::string_view whole = Trim(rest);
  for (int32_t k = 0; k < count; ++k) {
    const std::string_view token = NextToken(rest);
    if (token.empty()) return Fail(out, AtLine(line, "expected " + expected + ", found " + Quoted(whole)));
    std::string why;
    if (!ParseComponent(token, values[k], why)) {
      if (k == 0 && (token[0] < '0' || token[0] > '9')) {
        return Fail(out, AtLine(line, "expected " + expected + ", found " + Quoted(whole)));
      }
      return Fail(out, AtLine(line, why));
    }
  }
  return true;
}

// A name fit for one line of a text file.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (uint8_t(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return std::string(Trim(text));
}

void Line(ByteWriter& writer, const std::string& text, bool crlf = false) {
  writer.Text(text);
  writer.Text(crlf ? "\r\n" : "\n");
}

std::string Decimal(uint8_t value, size_t width) {
  std::string text = std::to_string(value);
  return std::string(width - std::min(width, text.size()), ' ') + text;
}

// Whether a trimmed line of a hex list is a colour; `digits` 6 also allows a leading '#'.
bool HexColour(std::string_view text, size_t digits, uint32_t& value) {
  if (digits == 6 && text.starts_with('#')) text.remove_prefix(1);
  return ParseHex(text, digits, value);
}

bool ReadHexList(const Bytes& bytes, size_t digits, PaletteReadResult& out) {
  bool alphaDropped = false;
  for (const TextLine& line : SplitLines(bytes)) {
    const std::string_view text = Trim(line.text);
    if (text.empty() || (digits == 8 && text.starts_with(';'))) continue;
    uint32_t v = 0;
    if (!HexColour(text, digits, v)) {
      return Fail(out, AtLine(line.number, Quoted(text) + " is not a colour " +
                                               (digits == 6 ? "rrggbb" : "aarrggbb")));
    }
    if (digits == 8 && v >> 24 != 0xFF && !alphaDropped) {
      alphaDropped = true;
      out.warnings.push_back(AtLine(line.number, "colours are not all opaque; alpha is dropped"));
    }
    AddColour(out, {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
  }
  return true;
}

}  // namespace

bool ReadGpl(const Bytes& bytes, PaletteReadResult& out) {
  const std::vector<TextLine> lines = SplitLines(bytes);
  if (lines.empty() || Trim(lines[0].text) != "GIMP Palette") {
    return Fail(out, AtLine(1, "a GIMP palette starts with 'GIMP Palette'"));
  }
  int32_t channels = 3;
  for (size_t i = 1; i < lines.size(); ++i) {
    const int32_t number = lines[i].number;
    std::string_view text = Trim(lines[i].text);
    if (text.empty() || text.starts_with('#')) continue;
    if (text.starts_with("Name:")) {
      out.file.name = std::string(Trim(text.substr(5)));
      continue;
    }
    if (text.starts_with("Columns:")) {
      int64_t columns = 0;
      if (ParseDecimal(Trim(text.substr(8)), kMostColumns, columns)) {
        out.file.columns = int32_t(columns);
      } else {
        out.warnings.push_back(AtLine(number, Quoted(Trim(text.substr(8))) +
                                                  " is not a number of columns; ignored"));
      }
      continue;
    }
    if (text.starts_with("Channels:")) {
      const std::string_view value = Trim(text.substr(9));
      if (value != "RGB" && value != "RGBA") {
        return Fail(out, AtLine(number, "channels " + Quoted(value) + ": only RGB and RGBA are known"));
      }
      channels = value == "RGBA" ? 4 : 3;
      if (channels == 4) out.warnings.push_back(AtLine(number, "alpha is dropped"));
      continue;
    }
    uint8_t c[4] = {};
    const std::string expected = channels == 4 ? "'R G B A name'" : "'R G B name'";
    if (!ReadComponents(text, number, channels, c, expected, out)) return false;
    AddNamedColour(out, {c[0], c[1], c[2]}, std::string(Trim(text)));
  }
  return true;
}

void WriteGpl(const PaletteFile& file, Bytes& out, Warnings&) {
  ByteWriter writer(out);
  Line(writer, "GIMP Palette");
  Line(writer, "Name: " + (file.name.empty() ? std::string("Quorvel") : OneLine(file.name)));
  if (file.columns > 0) Line(writer, "Columns: " + std::to_string(file.columns));
  Line(writer, "#");
  for (int32_t i = 0; i < std::clamp(file.count, 0, 256); ++i) {
    const Rgb8 c = file.colours[size_t(i)];
    std::string entry = Decimal(c.r, 3) + " " + Decimal(c.g, 3) + " " + Decimal(c.b, 3);
    const std::string name = size_t(i) < file.entryNames.size() ? OneLine(file.entryNames[size_t(i)]) : "";
    if (!name.empty()) entry += "\t" + name;
    Line(writer, entry);
  }
}

bool ReadJasc(const Bytes& bytes, PaletteReadResult& out) {
  const std::vector<TextLine> lines = SplitLines(bytes);
  if (lines.empty() || Trim(lines[0].text) != "JASC-PAL") {
    return Fail(out, AtLine(1, "a JASC palette starts with 'JASC-PAL'"));
  }
  if (lines.size() < 3) {
    return Fail(out, AtLine(int32_t(lines.size()) + 1, "the file ends before the colour count"));
  }
  if (Trim(lines[1].text) != "0100") {
    out.warnings.push_back(AtLine(2, "version " + Quoted(Trim(lines[1].text)) + ", not '0100'"));
  }
  int64_t count = 0;
  if (!ParseDecimal(Trim(lines[2].text), kMostJascColours, count)) {
    return Fail(out, AtLine(3, Quoted(Trim(lines[2].text)) + " is not a colour count"));
  }
  int64_t read = 0, extra = 0;
  int32_t firstExtra = 0;
  for (size_t i = 3; i < lines.size(); ++i) {
    std::string_view text = Trim(lines[i].text);
    if (text.empty()) continue;
    if (read == count) {
      if (extra++ == 0) firstExtra = lines[i].number;
      continue;
    }
    uint8_t c[3];
    if (!ReadComponents(text, lines[i].number, 3, c, "'R G B'", out)) return false;
    if (!Trim(text).empty()) {
      return Fail(out, AtLine(lines[i].number, Quoted(Trim(text)) + " after the colour"));
    }
    AddColour(out, {c[0], c[1], c[2]});
    ++read;
  }
  if (read < count) {
    out.warnings.push_back(AtLine(3, "the header gives " + std::to_string(count) +
                                         " colours; the file holds " + std::to_string(read)));
  }
  if (extra) {
    out.warnings.push_back(AtLine(firstExtra, std::to_string(extra) + " lines after the " +
                                                  std::to_string(count) +
                                                  " colours of the header are ignored"));
  }
  return true;
}

void WriteJasc(const PaletteFile& file, Bytes& out, Warnings&) {
  ByteWriter writer(out);
  const int32_t count = std::clamp(file.count, 0, 256);
  Line(writer, "JASC-PAL", true);
  Line(writer, "0100", true);
  Line(writer, std::to_string(count), true);
  for (int32_t i = 0; i < count; ++i) {
    const Rgb8 c = file.colours[size_t(i)];
    Line(writer, std::to_string(c.r) + " " + std::to_string(c.g) + " " + std::to_string(c.b), true);
  }
}

bool IsHexList(const Bytes& bytes, size_t digits) {
  PaletteReadResult read;
  return LooksLikeText(bytes) && ReadHexList(bytes, digits, read) && read.entriesInFile > 0;
}

bool ReadHex(const Bytes& bytes, PaletteReadResult& out) { return ReadHexList(bytes, 6, out); }

void WriteHex(const PaletteFile& file, Bytes& out, Warnings&) {
  ByteWriter writer(out);
  for (int32_t i = 0; i < std::clamp(file.count, 0, 256); ++i) {
    const Rgb8 c = file.colours[size_t(i)];
    Line(writer, HexDigits(uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b, 6));
  }
}

bool ReadPaintNet(const Bytes& bytes, PaletteReadResult& out) { return ReadHexList(bytes, 8, out); }

void WritePaintNet(const PaletteFile& file, Bytes& out, Warnings& warnings) {
  ByteWriter writer(out);
  const int32_t count = std::clamp(file.count, 0, 256);
  Line(writer, "; paint.net Palette File", true);
  Line(writer, "; Colors are 8-digit hexadecimal numbers: aarrggbb", true);
  for (int32_t i = 0; i < count; ++i) {
    const Rgb8 c = file.colours[size_t(i)];
    std::string text = HexDigits(0xFF000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b, 8);
    std::transform(text.begin(), text.end(), text.begin(), [](char ch) { return char(std::toupper(ch)); });
    Line(writer, text, true);
  }
  if (count > kPaintNetColours) {
    warnings.push_back("Paint.NET shows only the first " + std::to_string(kPaintNetColours) +
                       " of the " + std::to_string(count) + " colours");
  }
}

}  // namespace quorvel::formats
