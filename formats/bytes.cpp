// Bounded reads, writes, text lines and number parsing for the file formats.
#include "formats/bytes.hpp"

#include <algorithm>
#include <cstring>

namespace quorvel::formats {

bool ByteReader::Skip(size_t count) {
  if (count > Remaining()) return false;
  pos_ += count;
  return true;
}

bool ByteReader::U8(uint8_t& value) {
  if (Remaining() < 1) return false;
  value = data_[pos_++];
  return true;
}

bool ByteReader::U16LE(uint16_t& value) {
  if (Remaining() < 2) return false;
  value = static_cast<uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
  pos_ += 2;
  return true;
}

bool ByteReader::U16BE(uint16_t& value) {
  if (Remaining() < 2) return false;
  value = static_cast<uint16_t>(data_[pos_] << 8 | data_[pos_ + 1]);
  pos_ += 2;
  return true;
}

bool ByteReader::U32LE(uint32_t& value) {
  if (Remaining() < 4) return false;
  const uint8_t* p = data_ + pos_;
  value = p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  pos_ += 4;
  return true;
}

bool ByteReader::U32BE(uint32_t& value) {
  if (Remaining() < 4) return false;
  const uint8_t* p = data_ + pos_;
  value = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
  pos_ += 4;
  return true;
}

bool ByteReader::I16BE(int16_t& value) {
  uint16_t u;
  if (!U16BE(u)) return false;
  value = static_cast<int16_t>(u);
  return true;
}

bool ByteReader::I32BE(int32_t& value) {
  uint32_t u;
  if (!U32BE(u)) return false;
  value = static_cast<int32_t>(u);
  return true;
}

bool ByteReader::F32BE(float& value) {
  uint32_t u;
  if (!U32BE(u)) return false;
  std::memcpy(&value, &u, sizeof value);
  return true;
}

bool ByteReader::Take(size_t count, std::string_view& bytes) {
  if (count > Remaining()) return false;
  bytes = std::string_view(reinterpret_cast<const char*>(data_ + pos_), count);
  pos_ += count;
  return true;
}

bool ByteReader::Peek(std::string_view magic) const {
  return magic.size() <= Remaining() && std::memcmp(data_ + pos_, magic.data(), magic.size()) == 0;
}

void ByteWriter::U16LE(uint32_t value) {
  U8(value);
  U8(value >> 8);
}

void ByteWriter::U16BE(uint32_t value) {
  U8(value >> 8);
  U8(value);
}

void ByteWriter::U32LE(uint32_t value) {
  U16LE(value);
  U16LE(value >> 16);
}

void ByteWriter::U32BE(uint32_t value) {
  U16BE(value >> 16);
  U16BE(value);
}

void ByteWriter::Text(std::string_view text) { out_.insert(out_.end(), text.begin(), text.end()); }

bool StartsWith(const Bytes& bytes, size_t offset, std::string_view magic) {
  return bytes.size() >= offset + magic.size() &&
         std::memcmp(bytes.data() + offset, magic.data(), magic.size()) == 0;
}

std::vector<TextLine> SplitLines(const Bytes& bytes) {
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<TextLine> lines;
  int32_t number = 1;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && text[i] != '\r') continue;
    lines.push_back({number++, text.substr(start, i - start)});
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back({number, text.substr(start)});
  return lines;
}

bool LooksLikeText(const Bytes& bytes) {
  for (uint8_t c : bytes) {
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') return false;
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::string_view NextToken(std::string_view& rest) {
  const size_t first = rest.find_first_not_of(" \t");
  if (first == std::string_view::npos) {
    rest = {};
    return {};
  }
  const size_t end = std::min(rest.find_first_of(" \t", first), rest.size());
  const std::string_view token = rest.substr(first, end - first);
  rest.remove_prefix(end);
  return token;
}

bool ParseDecimal(std::string_view token, int64_t limit, int64_t& value) {
  if (token.empty()) return false;
  int64_t v = 0;
  for (char c : token) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > limit) return false;
  }
  value = v;
  return true;
}

bool ParseComponent(std::string_view token, uint8_t& value, std::string& why) {
  const std::string shown = Quoted(token);
  bool digits = !token.empty();
  for (char c : token) digits = digits && c >= '0' && c <= '9';
  if (!digits) {
    why = shown + " is not a whole number 0..255";
    return false;
  }
  int64_t v = 0;
  if (!ParseDecimal(token, 255, v)) {
    why = shown + " is over 255";
    return false;
  }
  value = static_cast<uint8_t>(v);
  return true;
}

bool ParseHex(std::string_view token, size_t digits, uint32_t& value) {
  if (token.size() != digits) return false;
  uint32_t v = 0;
  for (char c : token) {
    uint32_t d;
    if (c >= '0' && c <= '9') {
      d = uint32_t(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      d = uint32_t(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      d = uint32_t(c - 'A' + 10);
    } else {
      return false;
    }
    v = v << 4 | d;
  }
  value = v;
  return true;
}

std::string HexDigits(uint32_t value, size_t digits) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(digits, '0');
  for (size_t i = digits; i-- > 0; value >>= 4) text[i] = kDigits[value & 15];
  return text;
}

namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | cp >> 6);
    out += char(0x80 | (cp & 63));
  } else if (cp < 0x10000) {
    out += char(0xE0 | cp >> 12);
    out += char(0x80 | (cp >> 6 & 63));
    out += char(0x80 | (cp & 63));
  } else {
    out += char(0xF0 | cp >> 18);
    out += char(0x80 | (cp >> 12 & 63));
    out += char(0x80 | (cp >> 6 & 63));
    out += char(0x80 | (cp & 63));
  }
}

}  // namespace

std::string Utf16BeToUtf8(std::string_view bytes) {
  constexpr uint32_t kReplacement = 0xFFFD;
  std::string out;
  const size_t units = bytes.size() / 2;
  auto unit = [&](size_t i) {
    return uint32_t(uint8_t(bytes[2 * i])) << 8 | uint8_t(bytes[2 * i + 1]);
  };
  for (size_t i = 0; i < units; ++i) {
    const uint32_t u = unit(i);
    if (u == 0) break;
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < units && unit(i + 1) >= 0xDC00 &&
        unit(i + 1) < 0xE000) {
      AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u < 0xE000) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

std::string Quoted(std::string_view text) {
  constexpr size_t kLongest = 40;
  std::string quoted = "'";
  quoted.append(text.substr(0, kLongest)).append(text.size() > kLongest ? "...'" : "'");
  return quoted;
}

std::string AtLine(int32_t line, const std::string& what) {
  return "line " + std::to_string(line) + ": " + what;
}

std::string AtByte(size_t offset, const std::string& what) {
  return "byte " + std::to_string(offset) + ": " + what;
}

}  // namespace quorvel::formats
