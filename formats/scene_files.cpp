// The scenes of the colour-cycling web players: one object of JSON or of JavaScript
// object-literal syntax, read by a small parser that knows the scene's keys. The pixels
// go straight into bytes (a scene may hold millions of them); any key it does not know
// is skipped whole, whatever it holds.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include <quorvel/formats.hpp>

#include "formats/file_io.hpp"
#include "formats/picture_decoders.hpp"
#include "formats/picture_encoders.hpp"
#include "formats/picture_header.hpp"

namespace quorvel {
namespace {

using formats::Bytes;

constexpr double kRateOneStepPerFrame = 16384;  // the LBM's rate: 16384 is 60 steps a second
constexpr double kFramesPerSecond = 60;
constexpr int32_t kDeepestNesting = 64;         // in values that are skipped

enum class SceneMode { Forward = 0, Backwards = 2, PingPong = 3, Sine = 4 };

// A failure on the way: where (a byte offset into the text) and what.
struct ParseError {
  size_t at = 0;
  std::string what;
};

class SceneParser {
 public:
  explicit SceneParser(std::string_view text) : text_(text) {}

  size_t Offset() const { return pos_; }
  void Skip(size_t count) { pos_ = std::min(text_.size(), pos_ + count); }
  std::optional<ParseError>& Error() { return error_; }

  // Blanks and comments, which JavaScript allows and JSON readers meet in hand-made files.
  void SkipSpace() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (text_.substr(pos_, 2) == "//") {
        const size_t end = text_.find_first_of("\r\n", pos_);
        pos_ = end == std::string_view::npos ? text_.size() : end;
      } else if (text_.substr(pos_, 2) == "/*") {
        const size_t end = text_.find("*/", pos_ + 2);
        if (end == std::string_view::npos) {
          Fail("a /* comment that is never closed");
          pos_ = text_.size();
          return;
        }
        pos_ = end + 2;
      } else {
        return;
      }
    }
  }

  // The next character after blanks, or 0 at the end.
  char PeekChar() {
    SkipSpace();
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }

  bool Accept(char c) {
    if (PeekChar() != c) return false;
    ++pos_;
    return true;
  }

  bool Expect(char c, const char* where) {
    if (Accept(c)) return true;
    return Fail(std::string("expected '") + c + "' " + where + ", found " + Found());
  }

  bool Fail(std::string what) { return FailAt(pos_, std::move(what)); }
  bool FailAt(size_t at, std::string what) {
    if (!error_) error_ = ParseError{at, std::move(what)};
    return false;
  }

  // What stands at the current place, for messages.
  std::string Found() {
    SkipSpace();
    if (pos_ >= text_.size()) return "the end of the file";
    const char c = text_[pos_];
    if (uint8_t(c) < 0x20 || uint8_t(c) > 0x7E) return "byte " + std::to_string(uint8_t(c));
    return std::string("'") + c + "'";
  }

  // A key: a quoted string, or (JavaScript) a name.
  bool Key(std::string& key) {
    const char c = PeekChar();
    if (c == '"' || c == '\'') return String(key);
    const size_t start = pos_;
    while (pos_ < text_.size() && IsNameChar(text_[pos_], pos_ == start)) ++pos_;
    if (pos_ == start) return Fail("expected a key, found " + Found());
    key.assign(text_.substr(start, pos_ - start));
    return true;
  }

  bool String(std::string& out) {
    const char quote = PeekChar();
    if (quote != '"' && quote != '\'') return Fail("expected a string, found " + Found());
    const size_t start = pos_++;
    out.clear();
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == quote) return true;
      if (c == '\n' || c == '\r') break;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= text_.size()) break;
      const char e = text_[pos_++];
      switch (e) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'u': {
          uint32_t unit = 0;
          if (!formats::ParseHex(text_.substr(pos_, 4), 4, unit)) {
            return FailAt(pos_ - 2, "a \\u escape without four hexadecimal digits");
          }
          pos_ += 4;
          const uint8_t be[2] = {uint8_t(unit >> 8), uint8_t(unit)};
          out += formats::Utf16BeToUtf8(std::string_view(reinterpret_cast<const char*>(be), 2));
          break;
        }
        default: out += e; break;  // \" \' \\ \/ and JavaScript's identity escapes
      }
    }
    return FailAt(start, "a string that is not closed on its line");
  }

  // A number as JSON writes it, or JavaScript's leading '+' or '.'.
  bool Number(double& value) {
    PeekChar();
    const size_t start = pos_;
    if (pos_ < text_.size() && text_[pos_] == '+') ++pos_;
    // strtod over the number's own characters (no "inf", "nan" or hexadecimal): the
    // browser's library has no from_chars for floating point.
    const size_t span = std::min(text_.find_first_not_of("0123456789.eE+-", pos_), text_.size()) - pos_;
    const std::string number(text_.substr(pos_, span));
    char* end = nullptr;
    value = std::strtod(number.c_str(), &end);
    if (end == number.c_str() || !std::isfinite(value)) {
      pos_ = start;
      return Fail("expected a number, found " + Found());
    }
    pos_ += size_t(end - number.c_str());
    return true;
  }

  // A whole number lo..hi; `what` names it in messages.
  bool Integer(int64_t lo, int64_t hi, const std::string& what, int64_t& value) {
    PeekChar();
    const size_t at = pos_;
    double number = 0;
    if (!Number(number)) return false;
    if (number != std::floor(number) || number < double(lo) || number > double(hi)) {
      return FailAt(at, what + " is " + std::string(text_.substr(at, pos_ - at)) + ": it must be a whole number " +
                            std::to_string(lo) + ".." + std::to_string(hi));
    }
    value = int64_t(number);
    return true;
  }

  // [item, item, ...] with a trailing comma allowed; `item` parses one.
  template <typename Item>
  bool List(const char* what, Item item) {
    if (!Expect('[', what)) return false;
    while (!Accept(']')) {
      if (!item()) return false;
      if (Accept(']')) return true;
      if (!Expect(',', (std::string("or ']' between the items of ") + what).c_str())) return false;
    }
    return true;
  }

  // {key: value, ...}; `member` parses the value of each key.
  template <typename Member>
  bool Object(const char* what, Member member) {
    if (!Expect('{', what)) return false;
    while (!Accept('}')) {
      std::string key;
      const size_t at = pos_;
      if (!Key(key) || !Expect(':', "after a key")) return false;
      if (!member(key, at)) return false;
      if (Accept('}')) return true;
      if (!Expect(',', (std::string("or '}' between the members of ") + what).c_str())) return false;
    }
    return true;
  }

  // Any value, read and dropped.
  bool SkipValue(int32_t depth = 0) {
    if (depth > kDeepestNesting) return Fail("values nested more than " + std::to_string(kDeepestNesting) + " deep");
    const char c = PeekChar();
    if (c == '{') return Object("", [&](const std::string&, size_t) { return SkipValue(depth + 1); });
    if (c == '[') return List("", [&] { return SkipValue(depth + 1); });
    if (c == '"' || c == '\'') {
      std::string ignored;
      return String(ignored);
    }
    if (IsNameChar(c, true)) {  // true, false, null, undefined
      std::string ignored;
      return Key(ignored);
    }
    double ignored;
    return Number(ignored);
  }

  // A leading `name =`, `var name =` or `a.b =` before the object, as a script has it.
  void SkipAssignment() {
    const size_t start = pos_;
    PeekChar();
    while (PeekChar() != '{' && pos_ < text_.size()) {
      const size_t before = pos_;
      while (pos_ < text_.size() && (IsNameChar(text_[pos_], false) || text_[pos_] == '.')) ++pos_;
      if (pos_ == before) break;
    }
    if (Accept('=')) return;
    pos_ = start;
  }

  bool AtEnd() {
    while (Accept(';')) {
    }
    return PeekChar() == '\0' && pos_ >= text_.size();
  }

  std::string_view Text() const { return text_; }

 private:
  static bool IsNameChar(char c, bool first) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' ||
           (!first && c >= '0' && c <= '9');
  }

  std::string_view text_;
  size_t pos_ = 0;
  std::optional<ParseError> error_;
};

// "line 3, column 14" of a byte offset.
std::string Where(std::string_view text, size_t at) {
  int32_t line = 1;
  size_t lineStart = 0;
  for (size_t i = 0; i < at && i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
      ++line;
      lineStart = i + 1;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(at - lineStart + 1);
}

bool Colour(SceneParser& p, std::vector<Rgb8>& colours) {
  if (colours.size() == 256) return p.Fail("more than 256 colours");
  uint8_t rgb[3] = {};
  int32_t n = 0;
  const size_t at = p.Offset();
  const bool ok = p.List("a colour [r, g, b]", [&] {
    int64_t v = 0;
    if (n == 3) return p.Fail("a colour of more than three components");
    if (!p.Integer(0, 255, "a colour component", v)) return false;
    rgb[n++] = uint8_t(v);
    return true;
  });
  if (!ok) return false;
  if (n != 3) return p.FailAt(at, "a colour of " + std::to_string(n) + " components; it must be [r, g, b]");
  colours.push_back({rgb[0], rgb[1], rgb[2]});
  return true;
}

bool Colours(SceneParser& p, std::vector<Rgb8>& colours) {
  colours.clear();
  return p.List("the colours", [&] { return Colour(p, colours); });
}

struct SceneCycle {
  size_t at = 0;
  int64_t low = -1, high = -1, reverse = 0;
  double rate = 0;
};

bool CycleObject(SceneParser& p, SceneCycle& c) {
  c.at = p.Offset();
  const bool ok = p.Object("a cycle", [&](const std::string& key, size_t) {
    if (key == "low") return p.Integer(0, 255, "a cycle's low", c.low);
    if (key == "high") return p.Integer(0, 255, "a cycle's high", c.high);
    if (key == "rate") return p.Number(c.rate);
    if (key == "reverse") return p.Integer(INT32_MIN, INT32_MAX, "a cycle's reverse", c.reverse);
    return p.SkipValue();
  });
  if (!ok) return false;
  if (c.low < 0 || c.high < 0) return p.FailAt(c.at, "a cycle without its low and high registers");
  return true;
}

PictureCycle FromScene(const SceneCycle& c, std::vector<std::string>& warnings, std::string_view text) {
  PictureCycle pc;
  pc.chunk = "scene";
  pc.offset = c.at;
  pc.cycle.low = int32_t(c.low);
  pc.cycle.high = int32_t(c.high);
  pc.cycle.stepsPerSecond = c.rate * kFramesPerSecond / kRateOneStepPerFrame;
  pc.cycle.blend = false;
  switch (c.reverse) {
    case 0: case 1: break;
    case 2: pc.cycle.reverse = true; break;
    case 3: pc.cycle.mode = CycleMode::PingPong; break;
    case 4: case 5: pc.cycle.mode = CycleMode::Sine; break;
    default:
      warnings.push_back(Where(text, c.at) + ": a cycle's reverse of " + std::to_string(c.reverse) +
                         ", which no player knows; it runs forward");
  }
  pc.active = c.rate != 0 && c.low < c.high;
  return pc;
}

struct TimelineKey {
  size_t at = 0;
  double time = -1;
  std::vector<Rgb8> colours;
};

bool Timeline(SceneParser& p, double& period, std::vector<TimelineKey>& keys) {
  return p.Object("the timeline", [&](const std::string& key, size_t at) {
    if (key == "period") {
      if (!p.Number(period)) return false;
      return period > 0 || p.FailAt(at, "the timeline's period must be more than 0");
    }
    if (key != "palettes") return p.SkipValue();
    keys.clear();
    return p.List("the timeline's palettes", [&] {
      TimelineKey k;
      k.at = p.Offset();
      const bool ok = p.Object("a timed palette", [&](const std::string& member, size_t) {
        if (member == "time") return p.Number(k.time);
        if (member == "colors") return Colours(p, k.colours);
        return p.SkipValue();
      });
      if (!ok) return false;
      if (k.time < 0) return p.FailAt(k.at, "a timed palette without a time of 0 or more");
      keys.push_back(std::move(k));
      return true;
    });
  });
}

bool Pixels(SceneParser& p, std::vector<uint8_t>& pixels) {
  pixels.clear();
  const std::string_view text = p.Text();
  return p.List("the pixels", [&] {
    if (int64_t(pixels.size()) >= kMaxPicturePixels) {
      return p.Fail("more than " + std::to_string(kMaxPicturePixels) + " pixels");
    }
    // Most pixels are one to three digits and a comma: read those without the number parser.
    const size_t at = (p.PeekChar(), p.Offset());
    size_t end = at;
    int64_t index = 0;
    while (end < text.size() && end - at < 3 && text[end] >= '0' && text[end] <= '9') {
      index = index * 10 + (text[end++] - '0');
    }
    const bool plain = end > at && index <= 255 &&
                       (end == text.size() || text[end] == ',' || text[end] == ']' || text[end] == ' ' ||
                        text[end] == '\n' || text[end] == '\r' || text[end] == '\t');
    if (plain) {
      p.Skip(end - at);
    } else if (!p.Integer(0, 255, "a pixel", index)) {
      return false;
    }
    pixels.push_back(uint8_t(index));
    return true;
  });
}

}  // namespace

bool LooksLikeScene(const std::vector<uint8_t>& bytes) {
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  SceneParser p(text);
  p.SkipAssignment();
  return p.PeekChar() == '{';
}

SceneReadResult ParseScene(const std::vector<uint8_t>& bytes, const std::string& name) {
  SceneReadResult out;
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  size_t bom = 0;
  if (text.starts_with("\xEF\xBB\xBF")) bom = 3;
  SceneParser p(text);
  p.Skip(bom);
  p.SkipAssignment();

  int64_t width = -1, height = -1, transparent = -1;
  size_t widthAt = 0, pixelsAt = 0;
  bool haveColours = false, havePixels = false, haveTimeline = false;
  std::vector<Rgb8> colours;
  std::vector<SceneCycle> cycles;
  std::vector<TimelineKey> keys;
  double period = PaletteTimeline::kDayMs;
  IndexedPicture& picture = out.scene.picture;
  const bool parsed = p.Object("at the start of a scene", [&](const std::string& key, size_t at) {
    if (key == "width") {
      widthAt = at;
      return p.Integer(1, kMaxPictureSide, "the width", width);
    }
    if (key == "height") return p.Integer(1, kMaxPictureSide, "the height", height);
    if (key == "filename") return p.String(out.scene.filename);
    if (key == "transparent") return p.Integer(-1, 255, "the transparent colour", transparent);
    if (key == "colors") {
      haveColours = true;
      return Colours(p, colours);
    }
    if (key == "pixels") {
      pixelsAt = at;
      havePixels = true;
      return Pixels(p, picture.pixels);
    }
    if (key == "timeline") {
      haveTimeline = true;
      return Timeline(p, period, keys);
    }
    if (key == "cycles") {
      cycles.clear();
      return p.List("the cycles", [&] {
        cycles.emplace_back();
        return CycleObject(p, cycles.back());
      });
    }
    return p.SkipValue();
  });
  auto finish = [&]() -> bool {
    if (!parsed) return false;
    if (!p.AtEnd()) return p.Fail("more after the scene's closing '}': " + p.Found());
    if (width < 0 || height < 0) return p.FailAt(0, "a scene without its width and height");
    if (!haveColours) return p.FailAt(0, "a scene without its colors");
    if (!havePixels) return p.FailAt(0, "a scene without its pixels");
    if (std::string problem = formats::PictureSizeProblem(width, height); !problem.empty()) {
      return p.FailAt(widthAt, "the scene gives " + problem);
    }
    if (int64_t(picture.pixels.size()) != width * height) {
      return p.FailAt(pixelsAt, std::to_string(picture.pixels.size()) + " pixels for a picture of " +
                                    std::to_string(width) + " x " + std::to_string(height) + " (" +
                                    std::to_string(width * height) + ")");
    }
    picture.width = int32_t(width);
    picture.height = int32_t(height);
    picture.colourCount = int32_t(colours.size());
    std::copy(colours.begin(), colours.end(), picture.palette.colors.begin());
    if (std::string problem = formats::CheckPixelColours(picture, "its colors"); !problem.empty()) {
      return p.FailAt(pixelsAt, problem);
    }
    if (transparent >= 0) {
      picture.transparentIndex = int32_t(transparent);
      picture.alpha[size_t(transparent)] = 0;
    }
    for (const SceneCycle& c : cycles) picture.cycles.push_back(FromScene(c, out.warnings, text));
    if (haveTimeline && !keys.empty()) {  // a timeline without palettes holds still, as none does
      out.scene.timeline.periodMs = period;
      for (const TimelineKey& k : keys) {
        if (k.time >= period) return p.FailAt(k.at, "a timed palette at or past the timeline's period");
        if (!out.scene.timeline.keys.empty() && k.time <= out.scene.timeline.keys.back().timeMs) {
          return p.FailAt(k.at, "a timed palette not after the one before it");
        }
        TimedPalette timed{k.time, picture.palette};
        std::copy(k.colours.begin(), k.colours.end(), timed.palette.colors.begin());
        out.scene.timeline.keys.push_back(timed);
      }
    }
    return true;
  };
  if (!finish()) {
    const ParseError& e = *p.Error();
    out = {};
    out.error = name + ": " + Where(text, e.at) + ": " + e.what;
    return out;
  }
  for (std::string& warning : out.warnings) warning = name + ": " + warning;
  return out;
}

SceneReadResult ReadScene(const std::string& path) {
  Bytes bytes;
  std::string error;
  if (!formats::ReadWholeFile(path, kMaxSceneFileBytes, bytes, error)) {
    SceneReadResult out;
    out.error = path + ": " + error;
    return out;
  }
  return ParseScene(bytes, path);
}

// ---------------------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------------------

namespace {

void AppendColours(std::string& out, const Palette& palette, int32_t count) {
  out += '[';
  for (int32_t i = 0; i < count; ++i) {
    const Rgb8 c = palette[size_t(i)];
    if (i) out += ',';
    out += '[' + std::to_string(c.r) + ',' + std::to_string(c.g) + ',' + std::to_string(c.b) + ']';
  }
  out += ']';
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (uint8_t(c) < 0x20) {
      out += "\\u00" + formats::HexDigits(uint8_t(c), 2);
    } else {
      out += c;
    }
  }
  return out + '"';
}

// A number as JSON writes it: whole numbers without a fraction, others exactly enough to
// read back the same double.
std::string JsonNumber(double value) {
  // The shorter of 15 and 17 digits that reads back the same (the browser's library has
  // no to_chars for floating point).
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  if (std::strtod(buffer, nullptr) != value) std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

std::string CycleJson(const PictureCycle& pc, size_t number, std::vector<std::string>& warnings) {
  const Cycle& c = pc.cycle;
  const bool backwards = c.reverse != (c.stepsPerSecond < 0);
  SceneMode mode = backwards ? SceneMode::Backwards : SceneMode::Forward;
  const std::string which = "cycle " + std::to_string(number + 1) + " (" + std::to_string(c.low) + ".." +
                            std::to_string(c.high) + ")";
  if (c.mode != CycleMode::Wrap) {
    mode = c.mode == CycleMode::PingPong ? SceneMode::PingPong : SceneMode::Sine;
    if (backwards) warnings.push_back(which + " runs its first leg down, which a scene cannot say; it starts up");
  }
  // Rates read from a file are whole numbers; others keep their fraction, which the
  // players take as well, so that the speed comes back as it was.
  double rate = std::fabs(c.stepsPerSecond) * kRateOneStepPerFrame / kFramesPerSecond;
  if (std::fabs(rate - std::round(rate)) < 1e-6) rate = std::round(rate);
  if (!pc.active) {
    if (rate != 0) warnings.push_back(which + " does not run; it is written with rate 0 and its own rate is lost");
    rate = 0;
  }
  if (c.phase != 0) warnings.push_back(which + " starts at a phase a scene cannot hold; it starts at 0");
  return "{\"reverse\":" + std::to_string(int(mode)) + ",\"rate\":" + JsonNumber(rate) + ",\"low\":" +
         std::to_string(c.low) + ",\"high\":" + std::to_string(c.high) + "}";
}

}  // namespace

PictureWriteResult EncodeScene(const Scene& scene) {
  PictureWriteResult out;
  const IndexedPicture& picture = scene.picture;
  out.error = formats::PictureWriteProblem(picture);
  if (!out.ok()) return out;
  std::string text = "{\n";
  if (!scene.filename.empty()) text += "\"filename\":" + JsonString(scene.filename) + ",\n";
  text += "\"width\":" + std::to_string(picture.width) + ",\n\"height\":" + std::to_string(picture.height) + ",\n";
  text += "\"colors\":";
  AppendColours(text, picture.palette, picture.colourCount);
  text += ",\n\"cycles\":[";
  for (size_t i = 0; i < picture.cycles.size(); ++i) {
    text += (i ? ",\n  " : "\n  ") + CycleJson(picture.cycles[i], i, out.warnings);
  }
  text += picture.cycles.empty() ? "],\n" : "\n],\n";
  if (picture.transparentIndex >= 0) text += "\"transparent\":" + std::to_string(picture.transparentIndex) + ",\n";
  for (size_t i = 0; i < 256; ++i) {
    if (picture.alpha[i] != 255 && int32_t(i) != picture.transparentIndex) {
      out.warnings.push_back("colours of partial opacity, which a scene cannot hold, are written opaque");
      break;
    }
  }
  if (!scene.timeline.keys.empty()) {
    text += "\"timeline\":{\"period\":" + JsonNumber(scene.timeline.periodMs) + ",\"palettes\":[";
    for (size_t i = 0; i < scene.timeline.keys.size(); ++i) {
      text += (i ? ",\n  {\"time\":" : "\n  {\"time\":") + JsonNumber(scene.timeline.keys[i].timeMs) + ",\"colors\":";
      AppendColours(text, scene.timeline.keys[i].palette, 256);
      text += '}';
    }
    text += "\n]},\n";
  }
  text += "\"pixels\":[";
  text.reserve(text.size() + picture.pixels.size() * 4 + size_t(picture.height) * 2 + 8);
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    if (i) text += ',';
    if (i % size_t(picture.width) == 0) text += '\n';
    text += std::to_string(picture.pixels[i]);
  }
  text += "\n]\n}\n";
  out.bytes.assign(text.begin(), text.end());
  return out;
}

PictureWriteResult WriteScene(const std::string& path, const Scene& scene) {
  return formats::WriteEncoded(path, EncodeScene(scene));
}

}  // namespace quorvel
