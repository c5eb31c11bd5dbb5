// The byte-level helpers every file format reader and writer goes through: bounded
// big- and little-endian reads, writes, text lines, and the number parsers of the text
// formats. Internal to the formats library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::formats {

using Bytes = std::vector<uint8_t>;

// Reads values from a span of bytes. Every read checks the bounds first: a read that
// would pass the end returns false, reads nothing and leaves the position where it was.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit ByteReader(const Bytes& bytes) : ByteReader(bytes.data(), bytes.size()) {}

  size_t Offset() const { return pos_; }
  size_t Remaining() const { return size_ - pos_; }
  bool AtEnd() const { return pos_ == size_; }
  const uint8_t* Here() const { return data_ + pos_; }

  bool Skip(size_t count);
  bool U8(uint8_t& value);
  bool U16LE(uint16_t& value);
  bool U16BE(uint16_t& value);
  bool U32LE(uint32_t& value);
  bool U32BE(uint32_t& value);
  bool I16BE(int16_t& value);
  bool I32BE(int32_t& value);
  bool F32BE(float& value);
  // The next `count` bytes, as a view into the data.
  bool Take(size_t count, std::string_view& bytes);
  // True when the next bytes are exactly `magic` (nothing is consumed).
  bool Peek(std::string_view magic) const;

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Appends values to a byte vector.
class ByteWriter {
 public:
  explicit ByteWriter(Bytes& out) : out_(out) {}
  void U8(uint32_t value) { out_.push_back(static_cast<uint8_t>(value)); }
  void U16LE(uint32_t value);
  void U16BE(uint32_t value);
  void U32LE(uint32_t value);
  void U32BE(uint32_t value);
  // Out of line: inlined into a writer, GCC 12 mistakes the growing vector for a fixed
  // buffer and warns of an overflow that cannot happen.
  void Text(std::string_view text);

 private:
  Bytes& out_;
};

// True when the bytes hold `magic` at `offset`.
bool StartsWith(const Bytes& bytes, size_t offset, std::string_view magic);

// One line of a text file: its 1-based number and its text without the line end.
struct TextLine {
  int32_t number = 0;
  std::string_view text;
};
// Splits text into lines at LF, CRLF or a lone CR, after dropping a UTF-8 byte order
// mark. A last line without a line end counts; an empty file has no lines.
std::vector<TextLine> SplitLines(const Bytes& bytes);
// Whether the bytes look like text: no NUL and no control characters other than tab,
// CR, LF and form feed.
bool LooksLikeText(const Bytes& bytes);

// The text without spaces and tabs at either end.
std::string_view Trim(std::string_view text);
// Splits off the first run of non-blank characters: returns it and leaves `rest` after
// it (blanks are spaces and tabs). Returns "" when only blanks are left.
std::string_view NextToken(std::string_view& rest);

// A component of a text format: decimal digits only (a leading zero is not octal, so
// "008" is 8), 0..255. On failure `why` says what is wrong with the token.
bool ParseComponent(std::string_view token, uint8_t& value, std::string& why);
// A decimal count or number 0..limit.
bool ParseDecimal(std::string_view token, int64_t limit, int64_t& value);
// Exactly `digits` hexadecimal digits (2, 6 or 8) into a value.
bool ParseHex(std::string_view token, size_t digits, uint32_t& value);
// Lower-case hexadecimal digits of a value, `digits` long.
std::string HexDigits(uint32_t value, size_t digits);

// UTF-16 big-endian code units to UTF-8; unpaired surrogates become U+FFFD. A
// terminating NUL and anything after it is dropped.
std::string Utf16BeToUtf8(std::string_view bytes);

// The text in single quotes for a message, cut short after 40 characters.
std::string Quoted(std::string_view text);

// Where a problem is: "line 5: what", "byte 24: what".
std::string AtLine(int32_t line, const std::string& what);
std::string AtByte(size_t offset, const std::string& what);

}  // namespace quorvel::formats
