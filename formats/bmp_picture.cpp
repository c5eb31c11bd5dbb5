// BMP pictures (Windows and OS/2 bitmaps) of 1, 2, 4 or 8 bits a pixel: the 14-byte file
// header, an info header of 12 bytes (OS/2: 16-bit sizes, 3-byte colours) up to 124 (V5),
// the colour table after it, and from the pixel offset the rows, the bottom one first
// unless the height is negative, each padded to 4 bytes, or their RLE8 or RLE4 codes.
#include <algorithm>

#include <quorvel/formats.hpp>

#include "formats/bmp.hpp"
#include "formats/picture_decoders.hpp"
#include "formats/picture_header.hpp"

namespace quorvel::formats {
namespace {

constexpr uint32_t kInfoSizes[] = {12, 40, 52, 56, 64, 108, 124};
constexpr uint32_t kOs2V2InfoSize = 64;
constexpr size_t kPixelOffsetAt = 10;
constexpr size_t kCompressionAt = 30;
constexpr uint32_t kPlain = 0, kRle8 = 1, kRle4 = 2;

std::string CompressionName(uint32_t compression, uint32_t infoSize) {
  const bool os2 = infoSize == kOs2V2InfoSize;
  switch (compression) {
    case 3: return os2 ? " (Huffman)" : " (bit fields)";
    case 4: return os2 ? " (RLE24)" : " (JPEG)";
    case 5: return " (PNG)";
    case 6: return " (alpha bit fields)";
    default: return "";
  }
}

// The field of `bits` bits for pixel x of a row, leftmost pixel in the high bits.
uint8_t FieldAt(const uint8_t* row, uint64_t x, uint32_t bits) {
  if (bits == 8) return row[x];
  const uint64_t perByte = 8 / bits;
  const uint64_t shift = 8 - bits * (x % perByte + 1);
  return uint8_t(row[x / perByte] >> shift & ((1u << bits) - 1));
}

uint8_t* RowPixels(const BmpHeader& h, uint64_t storedRow, std::vector<uint8_t>& pixels) {
  const uint64_t y = h.topDown ? storedRow : uint64_t(h.height) - 1 - storedRow;
  return pixels.data() + y * uint64_t(h.width);
}

std::string ReadPlainRows(const Bytes& bytes, const BmpHeader& h, std::vector<uint8_t>& pixels) {
  const uint64_t width = uint64_t(h.width), height = uint64_t(h.height);
  const uint64_t rowBits = width * h.bitsPerPixel;
  const uint64_t stride = (rowBits + 31) / 32 * 4;
  // The last row's padding may be left out: its pixels are all there.
  const uint64_t needed = stride * (height - 1) + (rowBits + 7) / 8;
  const uint64_t available = bytes.size() - h.pixelOffset;
  if (needed > available) {
    return AtByte(bytes.size(), "the pixel data is cut short: " + std::to_string(width) + " x " +
                                    std::to_string(height) + " pixels of " + std::to_string(h.bitsPerPixel) +
                                    " bits need " + std::to_string(needed) + " bytes from byte " +
                                    std::to_string(h.pixelOffset) + "; the file has " + std::to_string(available));
  }
  pixels.resize(width * height);
  for (uint64_t row = 0; row < height; ++row) {
    const uint8_t* from = bytes.data() + h.pixelOffset + row * stride;
    uint8_t* to = RowPixels(h, row, pixels);
    for (uint64_t x = 0; x < width; ++x) to[x] = FieldAt(from, x, h.bitsPerPixel);
  }
  return "";
}

// RLE8 and RLE4: a count and a value paint that many pixels (RLE4: the value's two
// nibbles in turn); a count of 0 is an escape: 0 ends the row, 1 ends the picture, 2 moves
// right and up by the next two bytes, and 3..255 gives that many pixels one by one (RLE4:
// nibbles), padded to an even number of bytes. Pixels never painted keep index 0; the
// codes after the last row are not read, and need not be there. Some encoders (ImageMagick)
// code each row with its padding to 4 bytes: pixels there are dropped, and only what
// passes the padded row is refused.
std::string ReadRunRows(const Bytes& bytes, const BmpHeader& h, std::vector<uint8_t>& pixels) {
  const bool nibbles = h.compression == kRle4;
  const uint64_t width = uint64_t(h.width), height = uint64_t(h.height);
  const uint64_t padded = (width * h.bitsPerPixel + 31) / 32 * 32 / h.bitsPerPixel;
  pixels.assign(width * height, 0);
  ByteReader in(bytes);
  in.Skip(h.pixelOffset);
  uint64_t x = 0, row = 0;  // row counts in stored order
  const auto where = [&] { return "x " + std::to_string(x) + " of stored row " + std::to_string(row); };
  const std::string cut = "the RLE pixel data ends before its end-of-picture code";
  while (row < height) {
    const size_t at = in.Offset();
    uint8_t count = 0, value = 0;
    if (in.AtEnd() && row + 1 == height && x >= width) return "";  // the last row full, the end code left out
    if (!in.U8(count) || !in.U8(value)) return AtByte(at, cut);
    std::string_view given;
    if (count == 0 && value == 0) {
      x = 0, ++row;
      continue;
    }
    if (count == 0 && value == 1) return "";
    if (count == 0 && value == 2) {
      uint8_t right = 0, up = 0;
      if (!in.U8(right) || !in.U8(up)) return AtByte(at, cut);
      if (right > padded - x || up > height - row) {
        return AtByte(at, "a move of " + std::to_string(right) + " right and " + std::to_string(up) + " up from " +
                              where() + " leaves the " + std::to_string(width) + " x " +
                              std::to_string(height) + " picture");
      }
      x += right, row += up;
      continue;
    }
    const uint64_t run = count > 0 ? count : value;
    if (count == 0) {
      const size_t givenBytes = nibbles ? (value + 1) / 2 : value;
      if (!in.Take(givenBytes, given) || ((givenBytes & 1) && !in.Skip(1))) return AtByte(at, cut);
    }
    if (run > padded - x) {
      return AtByte(at, std::to_string(run) + " pixels from " + where() + " pass the end of the row, " +
                            std::to_string(padded) + " pixels with its padding");
    }
    uint8_t* to = RowPixels(h, row, pixels);
    for (uint64_t i = 0; i < run; ++i, ++x) {
      const uint8_t byte = count > 0 ? value : uint8_t(given[nibbles ? i / 2 : i]);
      if (x < width) to[x] = !nibbles ? byte : (i & 1) ? byte & 15 : byte >> 4;
    }
  }
  return "";
}

// The bits of a channel's mask in a pixel, widened to 0..255; 255 for a channel without bits.
uint8_t Channel(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 255;
  int32_t shift = 0;
  while (!(mask >> shift & 1)) ++shift;
  const uint32_t top = mask >> shift, value = (pixel & mask) >> shift;
  return uint8_t((uint64_t(value) * 255 + top / 2) / top);
}

constexpr size_t kMasksAt = kBmpFileHeaderBytes + 40;  // after a 40-byte header, or inside a longer one

// The header, and a size within the limits.
std::string ReadSizedBmpHeader(const Bytes& bytes, BmpHeader& h) {
  if (std::string problem = ReadBmpHeader(bytes, h); !problem.empty()) return problem;
  if (std::string problem = PictureSizeProblem(h.width, h.height); !problem.empty()) {
    return AtByte(kBmpFileHeaderBytes, "the BMP header gives " + problem);
  }
  return "";
}

}  // namespace

bool IsTrueColourBmp(const Bytes& bytes) {
  BmpHeader h;
  if (!ReadBmpHeader(bytes, h).empty()) return false;
  return h.bitsPerPixel == 16 || h.bitsPerPixel == 24 || h.bitsPerPixel == 32;
}

// Rows of 24 bits (blue, green, red), or of 16 or 32 bits through the channel masks the
// header gives (compression 3, bit fields) or the usual ones: 5-5-5 for 16 bits, 8-8-8
// for 32 with the fourth byte unused. Only a V4 or V5 header's alpha mask gives alpha.
std::string DecodeBmpRgba(const Bytes& bytes, RgbaPicture& picture) {
  picture = {};
  BmpHeader h;
  if (std::string problem = ReadSizedBmpHeader(bytes, h); !problem.empty()) return problem;
  const uint32_t bits = h.bitsPerPixel;
  const bool fields = h.compression == 3 && bits != 24;
  if (h.compression != kPlain && !fields) {
    return AtByte(kCompressionAt, "compression " + std::to_string(h.compression) +
                                      CompressionName(h.compression, h.infoSize) + " for " + std::to_string(bits) +
                                      " bits a pixel: only 0 (none) and 3 (bit fields) are read");
  }
  uint32_t red = bits == 16 ? 0x7C00 : 0xFF0000, green = bits == 16 ? 0x03E0 : 0xFF00, blue = bits == 16 ? 0x1F : 0xFF;
  uint32_t alpha = 0;
  if (fields) {
    ByteReader masks(bytes);
    if (!masks.Skip(kMasksAt) || !masks.U32LE(red) || !masks.U32LE(green) || !masks.U32LE(blue)) {
      return AtByte(kMasksAt, "the BMP ends inside its channel masks");
    }
    if (h.infoSize >= 108) masks.U32LE(alpha);
  }
  const uint64_t width = uint64_t(h.width), height = uint64_t(h.height);
  const uint64_t stride = (width * bits + 31) / 32 * 4, pixelBytes = bits / 8;
  const uint64_t needed = stride * (height - 1) + width * pixelBytes;
  if (h.pixelOffset > bytes.size() || needed > bytes.size() - h.pixelOffset) {
    return AtByte(bytes.size(), "the pixel data is cut short: " + std::to_string(width) + " x " +
                                    std::to_string(height) + " pixels of " + std::to_string(bits) + " bits need " +
                                    std::to_string(needed) + " bytes from byte " + std::to_string(h.pixelOffset));
  }
  picture.pixels.resize(width * height);
  for (uint64_t row = 0; row < height; ++row) {
    const uint8_t* from = bytes.data() + h.pixelOffset + row * stride;
    Rgba8* to = picture.pixels.data() + (h.topDown ? row : height - 1 - row) * width;
    for (uint64_t x = 0; x < width; ++x, from += pixelBytes) {
      if (bits == 24) {
        to[x] = {from[2], from[1], from[0], 255};
        continue;
      }
      const uint32_t v = bits == 16 ? uint32_t(from[0] | from[1] << 8)
                                    : uint32_t(from[0] | from[1] << 8 | from[2] << 16) | uint32_t(from[3]) << 24;
      to[x] = {Channel(v, red), Channel(v, green), Channel(v, blue), Channel(v, alpha)};
    }
  }
  picture.width = int32_t(width);
  picture.height = int32_t(height);
  return "";
}

bool IsBmpInfoSize(uint32_t size) {
  return std::find(std::begin(kInfoSizes), std::end(kInfoSizes), size) != std::end(kInfoSizes);
}

bool ReadBmpStart(const Bytes& bytes, uint32_t& pixelOffset, uint32_t& infoSize) {
  ByteReader in(bytes);
  uint32_t fileSize = 0, reserved = 0;
  return in.Peek("BM") && in.Skip(2) && in.U32LE(fileSize) && in.U32LE(reserved) && in.U32LE(pixelOffset) &&
         in.U32LE(infoSize);
}

std::string ReadBmpHeader(const Bytes& bytes, BmpHeader& h) {
  h = {};
  if (!ReadBmpStart(bytes, h.pixelOffset, h.infoSize)) return "the BMP ends inside its header";
  if (!IsBmpInfoSize(h.infoSize)) {
    return AtByte(kBmpFileHeaderBytes, "an info header of " + std::to_string(h.infoSize) +
                                           " bytes, not one of the sizes that can be read");
  }
  if (bytes.size() < kBmpFileHeaderBytes + h.infoSize) {
    return AtByte(bytes.size(), "the BMP ends inside its " + std::to_string(h.infoSize) + "-byte info header");
  }
  ByteReader in(bytes.data() + kBmpFileHeaderBytes + 4, h.infoSize - 4);
  uint16_t planes = 0;
  if (h.infoSize == kBmpOs2InfoBytes) {
    uint16_t width = 0, height = 0;
    in.U16LE(width), in.U16LE(height), in.U16LE(planes), in.U16LE(h.bitsPerPixel);
    h.width = width, h.height = height;
    return "";
  }
  uint32_t width = 0, height = 0, imageSize = 0, xPerMetre = 0, yPerMetre = 0;
  in.U32LE(width), in.U32LE(height), in.U16LE(planes), in.U16LE(h.bitsPerPixel), in.U32LE(h.compression);
  in.U32LE(imageSize), in.U32LE(xPerMetre), in.U32LE(yPerMetre), in.U32LE(h.coloursUsed);
  h.width = int32_t(width), h.height = int32_t(height);
  h.topDown = h.height < 0;
  if (h.topDown) h.height = -h.height;
  return "";
}

std::string DecodeBmp(const Bytes& bytes, IndexedPicture& picture) {
  picture = {};
  BmpHeader h;
  if (std::string problem = ReadSizedBmpHeader(bytes, h); !problem.empty()) return problem;
  const uint32_t bits = h.bitsPerPixel;
  if (bits == 16 || bits == 24 || bits == 32) return TrueColourPicture(std::to_string(bits) + " bits a pixel");
  if (h.compression > kRle4) {
    return AtByte(kCompressionAt, "compression " + std::to_string(h.compression) +
                                      CompressionName(h.compression, h.infoSize) +
                                      ": only 0 (none), 1 (RLE8) and 2 (RLE4) are read");
  }
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8) {
    const size_t bitsAt = kBmpFileHeaderBytes + (h.infoSize == kBmpOs2InfoBytes ? 10 : 14);
    return AtByte(bitsAt, std::to_string(bits) + " bits a pixel: an indexed BMP has 1, 2, 4 or 8");
  }
  if ((h.compression == kRle8 && bits != 8) || (h.compression == kRle4 && bits != 4)) {
    return AtByte(kCompressionAt, std::string(h.compression == kRle8 ? "RLE8" : "RLE4") + " compression for " +
                                      std::to_string(bits) + " bits a pixel: RLE8 is for 8, RLE4 for 4");
  }
  const size_t tableAt = kBmpFileHeaderBytes + h.infoSize;
  if (h.pixelOffset < tableAt) {
    return AtByte(kPixelOffsetAt, "the pixels start at byte " + std::to_string(h.pixelOffset) +
                                      ", inside the headers, which end at byte " + std::to_string(tableAt));
  }
  if (h.pixelOffset >= bytes.size()) {
    return AtByte(kPixelOffsetAt, "the pixels start at byte " + std::to_string(h.pixelOffset) +
                                      ", past the end of the file (" + std::to_string(bytes.size()) + " bytes)");
  }
  // The table holds the colours the header counts, or, where it counts none, as many as
  // the bits index; some writers (OS/2's header has no count) store fewer and start the
  // pixels right after them.
  const size_t entryBytes = h.infoSize == kBmpOs2InfoBytes ? 3 : 4;
  const uint64_t room = (h.pixelOffset - tableAt) / entryBytes;
  uint64_t entries = h.coloursUsed;
  if (entries == 0) {
    entries = std::min<uint64_t>(uint64_t(1) << bits, room);
    if (entries == 0) return AtByte(tableAt, "no colour table: the pixels start where it should");
  } else if (entries > room) {
    return AtByte(tableAt, "a colour table of " + std::to_string(entries) + " colours runs into the pixels at byte " +
                               std::to_string(h.pixelOffset));
  }
  const std::string problem = h.compression == kPlain ? ReadPlainRows(bytes, h, picture.pixels)
                                                      : ReadRunRows(bytes, h, picture.pixels);
  if (!problem.empty()) {
    picture = {};
    return problem;
  }
  picture.width = int32_t(h.width);
  picture.height = int32_t(h.height);
  picture.colourCount = int32_t(std::min<uint64_t>(entries, 256));
  for (int32_t i = 0; i < picture.colourCount; ++i) {
    const uint8_t* entry = bytes.data() + tableAt + size_t(i) * entryBytes;
    picture.palette[size_t(i)] = {entry[2], entry[1], entry[0]};
  }
  if (std::string problem = CheckPixelColours(picture, "the colour table"); !problem.empty()) {
    picture = {};
    return AtByte(tableAt, problem);
  }
  return "";
}

}  // namespace quorvel::formats
