// The binary palette layouts: raw 768 bytes (6- or 8-bit, and Animator's .col), PP256,
// Microsoft RIFF PAL, Adobe colour tables and Animator Pro .col.
#include <algorithm>

#include <quorvel/display.hpp>

#include "formats/codecs.hpp"

namespace quorvel::formats {
namespace {

constexpr size_t kRawBytes = 768;
constexpr size_t kActBytes = 772;
constexpr size_t kPP256Bytes = 1024;
constexpr uint16_t kColProMagic = 0xB123;
constexpr uint16_t kRiffVersion = 0x0300;
constexpr uint16_t kNoTransparent = 0xFFFF;

std::string Sized(size_t size, const std::string& layout) {
  return "is " + std::to_string(size) + " bytes; " + layout;
}

// Reads `count` r, g, b triples of 8-bit components.
void ReadTriples(ByteReader& reader, size_t count, PaletteReadResult& out) {
  for (size_t i = 0; i < count; ++i) {
    uint8_t r = 0, g = 0, b = 0;
    if (!reader.U8(r) || !reader.U8(g) || !reader.U8(b)) return;
    AddColour(out, {r, g, b});
  }
}

void WriteTriples(const PaletteFile& file, size_t count, bool sixBit, ByteWriter& writer) {
  for (size_t i = 0; i < count; ++i) {
    const Rgb8 c = file.colours[i];
    if (sixBit) {
      writer.U8(Reduce8To6(c.r));
      writer.U8(Reduce8To6(c.g));
      writer.U8(Reduce8To6(c.b));
    } else {
      writer.U8(c.r);
      writer.U8(c.g);
      writer.U8(c.b);
    }
  }
}

// A warning for the first of `count` components over 63 in 6-bit data, if there is one.
void WarnHighBits(size_t firstOffset, uint8_t firstValue, size_t count, Warnings& warnings) {
  if (count == 0) return;
  warnings.push_back(AtByte(firstOffset, "holds " + std::to_string(firstValue) +
                                             ", over 63 (" + std::to_string(count) +
                                             " such): only the low six bits are used, as "
                                             "the registers keep them"));
}

}  // namespace

// The colours of one palette of a set, read as `read` reads a whole file.
template <typename Read>
void AddSet(PaletteReadResult& out, Read read) {
  PaletteReadResult one;
  read(one);
  one.file.count = std::min(one.entriesInFile, 256);
  out.entriesInFile = one.entriesInFile;
  out.sets.push_back(one.file);
}

// 768 bytes, or k x 768 bytes of k palettes (of one depth, told by all their bytes), or,
// at a depth given, fewer bytes of as many colours as they hold.
bool ReadRaw(const Bytes& bytes, RawDepth depth, PaletteReadResult& out) {
  const bool set = bytes.size() > kRawBytes && bytes.size() % kRawBytes == 0;
  const bool part = bytes.size() < kRawBytes && bytes.size() % 3 == 0 && !bytes.empty() && depth != RawDepth::Guess;
  if (bytes.size() != kRawBytes && !set && !part) {
    return Fail(out, Sized(bytes.size(), "a raw palette is 768 bytes, a set of them a multiple of 768, and one of "
                                         "fewer colours (3 bytes each) is read when its depth is given"));
  }
  size_t high = 0, firstHigh = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] > 63 && high++ == 0) firstHigh = i;
  }
  const bool sixBit = depth == RawDepth::Six || (depth == RawDepth::Guess && high == 0);
  out.bits = sixBit ? 6 : 8;
  out.bitsGuessed = depth == RawDepth::Guess && sixBit;
  if (sixBit && high) WarnHighBits(firstHigh, bytes[firstHigh], high, out.warnings);
  auto readColours = [&](size_t from, size_t count, PaletteReadResult& into) {
    for (size_t i = from; i < from + count; ++i) {
      const uint8_t* c = &bytes[3 * i];
      AddColour(into, sixBit ? From6(c[0], c[1], c[2]) : Rgb8{c[0], c[1], c[2]});
    }
  };
  if (!set) {
    readColours(0, bytes.size() / 3, out);
    return true;
  }
  for (size_t first = 0; first < bytes.size() / 3; first += 256) {
    AddSet(out, [&](PaletteReadResult& one) { readColours(first, 256, one); });
  }
  return true;
}

// 64 colours of 8-bit r, g, b; the 1536-byte files hold them under each of the 8
// combinations of the emphasis bits, in order.
bool ReadNes(const Bytes& bytes, PaletteReadResult& out) {
  constexpr size_t kColours = 64, kSetBytes = kColours * 3, kSets = 8;
  if (bytes.size() != kSetBytes && bytes.size() != kSetBytes * kSets) {
    return Fail(out, Sized(bytes.size(), "a NES palette is 192 bytes (64 colours) or 1536 (8 sets of them)"));
  }
  ByteReader reader(bytes);
  if (bytes.size() == kSetBytes) {
    ReadTriples(reader, kColours, out);
    return true;
  }
  for (size_t set = 0; set < kSets; ++set) AddSet(out, [&](PaletteReadResult& one) { ReadTriples(reader, kColours, one); });
  return true;
}

void WriteRaw(const PaletteFile& file, bool sixBit, Bytes& out, Warnings& warnings) {
  ByteWriter writer(out);
  WriteTriples(file, 256, sixBit, writer);
  if (sixBit) WarnIfRounded(file, 256, warnings);
}

// Each record is a PalColor, red + green*256 + blue*65536; the registers keep the low six
// bits of each component, so that is what a record gives, as the blocking routines load it.
bool ReadPP256(const Bytes& bytes, PaletteReadResult& out) {
  if (bytes.size() < kPP256Bytes) {
    return Fail(out, Sized(bytes.size(), "a PP256 palette is 1024 bytes"));
  }
  if (bytes.size() > kPP256Bytes) {
    out.warnings.push_back(Sized(bytes.size(), "only the first 1024 are a PP256 palette"));
  }
  out.bits = 6;
  ByteReader reader(bytes);
  size_t odd = 0, firstOdd = 0;
  uint32_t firstValue = 0;
  for (size_t i = 0; i < 256; ++i) {
    uint32_t v = 0;
    reader.U32LE(v);
    if ((v & 0xFFC0C0C0u) != 0 && odd++ == 0) {
      firstOdd = 4 * i;
      firstValue = v;
    }
    AddColour(out, From6(uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)));
  }
  if (odd) {
    out.warnings.push_back(AtByte(firstOdd, "holds 0x" + HexDigits(firstValue, 8) + " (" +
                                                std::to_string(odd) +
                                                " such), beyond 6 bits a component: only the "
                                                "low six bits are used, as the registers keep them"));
  }
  return true;
}

void WritePP256(const PaletteFile& file, Bytes& out, Warnings& warnings) {
  ByteWriter writer(out);
  for (const Rgb8& c : file.colours.colors) {
    writer.U32LE(Reduce8To6(c.r) | uint32_t(Reduce8To6(c.g)) << 8 | uint32_t(Reduce8To6(c.b)) << 16);
  }
  WarnIfRounded(file, 256, warnings);
}

// RIFF chunks are walked by their lengths, so a palette whose 'data' chunk is not the
// first one is read all the same.
bool ReadRiff(const Bytes& bytes, PaletteReadResult& out) {
  ByteReader reader(bytes);
  uint32_t riffSize = 0;
  std::string_view type;
  if (!reader.Peek("RIFF") || !reader.Skip(4) || !reader.U32LE(riffSize) || !reader.Take(4, type)) {
    return Fail(out, "not a RIFF file (it needs 'RIFF', a size and a type in 12 bytes)");
  }
  if (type != "PAL ") {
    return Fail(out, AtByte(8, "a RIFF file of type '" + std::string(type) +
                                   "', not a palette (type 'PAL ')"));
  }
  size_t end = bytes.size();
  if (uint64_t(riffSize) + 8 != bytes.size()) {
    out.warnings.push_back(AtByte(4, "the RIFF header gives " + std::to_string(riffSize) +
                                         " bytes after it; the file has " +
                                         std::to_string(bytes.size() - 8)));
    end = std::min<uint64_t>(end, uint64_t(riffSize) + 8);
  }
  ByteReader chunks(bytes.data(), end);
  chunks.Skip(12);
  while (chunks.Remaining() >= 8) {
    const size_t at = chunks.Offset();
    std::string_view id;
    uint32_t size = 0;
    chunks.Take(4, id);
    chunks.U32LE(size);
    if (id != "data") {
      if (!chunks.Skip(size_t(size) + (size & 1)) && !chunks.Skip(size)) break;
      continue;
    }
    size_t available = std::min<size_t>(size, chunks.Remaining());
    if (available < size) {
      out.warnings.push_back(AtByte(at, "the 'data' chunk says " + std::to_string(size) +
                                            " bytes; only " + std::to_string(available) +
                                            " are there"));
    }
    ByteReader data(chunks.Here(), available);
    uint16_t version = 0, count = 0;
    if (!data.U16LE(version) || !data.U16LE(count)) {
      return Fail(out, AtByte(at + 8, "the 'data' chunk ends before its version and count"));
    }
    if (version != kRiffVersion) {
      out.warnings.push_back(AtByte(at + 8, "version 0x" + HexDigits(version, 4) +
                                                ", not 0x0300"));
    }
    const size_t held = data.Remaining() / 4;
    if (held < count) {
      out.warnings.push_back(AtByte(at + 10, "the header says " + std::to_string(count) +
                                                 " colours; the data holds " +
                                                 std::to_string(held)));
    }
    for (size_t i = 0; i < std::min<size_t>(count, held); ++i) {
      uint8_t r, g, b, flags;
      data.U8(r), data.U8(g), data.U8(b), data.U8(flags);
      AddColour(out, {r, g, b});
    }
    return true;
  }
  return Fail(out, "no 'data' chunk: a RIFF palette holds its colours in one");
}

void WriteRiff(const PaletteFile& file, Bytes& out, Warnings&) {
  const uint32_t n = uint32_t(std::clamp(file.count, 0, 256));
  ByteWriter writer(out);
  writer.Text("RIFF");
  writer.U32LE(16 + 4 * n);
  writer.Text("PAL data");
  writer.U32LE(4 + 4 * n);
  writer.U16LE(kRiffVersion);
  writer.U16LE(n);
  for (uint32_t i = 0; i < n; ++i) {
    writer.U8(file.colours[i].r), writer.U8(file.colours[i].g), writer.U8(file.colours[i].b);
    writer.U8(0);
  }
}

bool IsActTrailer(const Bytes& bytes) {
  if (bytes.size() != kActBytes) return false;
  const uint32_t count = bytes[768] << 8 | bytes[769];
  const uint32_t transparent = bytes[770] << 8 | bytes[771];
  return count >= 1 && count <= 256 && (transparent < 256 || transparent == kNoTransparent);
}

bool ReadAct(const Bytes& bytes, PaletteReadResult& out) {
  if (bytes.size() != kRawBytes && bytes.size() != kActBytes) {
    return Fail(out, Sized(bytes.size(), "an Adobe colour table is 768 or 772"));
  }
  ByteReader reader(bytes);
  uint16_t count = 256, transparent = kNoTransparent;
  if (bytes.size() == kActBytes) {
    reader.Skip(kRawBytes);
    reader.U16BE(count);
    reader.U16BE(transparent);
    reader = ByteReader(bytes);
    if (count < 1 || count > 256) {
      out.warnings.push_back(AtByte(768, "the trailer gives " + std::to_string(count) +
                                             " colours; all 256 are used"));
      count = 256;
    }
    if (transparent != kNoTransparent && transparent >= count) {
      out.warnings.push_back(AtByte(770, "transparent colour " + std::to_string(transparent) +
                                             " is not one of the colours; ignored"));
      transparent = kNoTransparent;
    }
  }
  ReadTriples(reader, count, out);
  if (transparent != kNoTransparent) out.file.transparentIndex = transparent;
  return true;
}

void WriteAct(const PaletteFile& file, Bytes& out, Warnings&) {
  ByteWriter writer(out);
  WriteTriples(file, 256, false, writer);
  writer.U16BE(file.count >= 1 && file.count <= 256 ? uint32_t(file.count) : 256u);
  const bool transparent = file.transparentIndex >= 0 && file.transparentIndex < 256;
  writer.U16BE(transparent ? uint32_t(file.transparentIndex) : kNoTransparent);
}

bool IsColProHeader(const Bytes& bytes) {
  ByteReader reader(bytes);
  uint32_t size = 0;
  uint16_t magic = 0, zero = 1;
  return reader.U32LE(size) && reader.U16LE(magic) && reader.U16LE(zero) &&
         size == bytes.size() && magic == kColProMagic && zero == 0;
}

bool ReadColPro(const Bytes& bytes, PaletteReadResult& out) {
  ByteReader reader(bytes);
  uint32_t size = 0;
  uint16_t magic = 0, zero = 0;
  if (!reader.U32LE(size) || !reader.U16LE(magic) || !reader.U16LE(zero)) {
    return Fail(out, Sized(bytes.size(), "an Animator Pro palette has an 8-byte header"));
  }
  if (magic != kColProMagic) {
    return Fail(out, AtByte(4, "0x" + HexDigits(magic, 4) + " where an Animator Pro palette "
                                "has 0xb123"));
  }
  if (zero != 0) out.warnings.push_back(AtByte(6, "version " + std::to_string(zero) + ", not 0"));
  size_t end = bytes.size();
  if (size != bytes.size()) {
    out.warnings.push_back(AtByte(0, "the header gives a size of " + std::to_string(size) +
                                         "; the file has " + std::to_string(bytes.size())));
    end = std::clamp<size_t>(size, 8, bytes.size());
  }
  if ((end - 8) % 3 != 0) {
    out.warnings.push_back(AtByte(end - (end - 8) % 3, "the last " +
                                                           std::to_string((end - 8) % 3) +
                                                           " bytes are not a whole colour"));
  }
  ReadTriples(reader, (end - 8) / 3, out);
  return true;
}

void WriteColPro(const PaletteFile& file, Bytes& out, Warnings&) {
  ByteWriter writer(out);
  writer.U32LE(8 + kRawBytes);
  writer.U16LE(kColProMagic);
  writer.U16LE(0);
  WriteTriples(file, 256, false, writer);
}

}  // namespace quorvel::formats
