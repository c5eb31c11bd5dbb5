// PCX pictures (ZSoft Paintbrush): the 128-byte header, then every row as its planes one
// after the other, BytesPerLine bytes each, plain or run-length encoded as one stream (a
// run may go on from one row into the next, as many encoders write them). 256-colour
// pictures end with 0x0C and 768 bytes of palette; the others take the header's.
#include <algorithm>
#include <functional>

#include <quorvel/formats.hpp>

#include "formats/pcx.hpp"
#include "formats/picture_decoders.hpp"
#include "formats/picture_header.hpp"

namespace quorvel::formats {
namespace {

constexpr size_t kBytesPerLineAt = 66;
constexpr uint8_t kRunLengthEncoded = 1;
constexpr uint8_t kRunMark = 0xC0;  // both top bits: a run of the next byte, its length below
constexpr size_t kLongestRun = 63;
constexpr uint8_t kPaletteMark = 0x0C;
constexpr size_t kPaletteBytes = 1 + 256 * 3;

// Where a run started, what it repeats, and how much of it is still to come.
struct Run {
  size_t at = 0;
  uint8_t value = 0;
  size_t left = 0;
};

// Fills `line` from the stream, a run carried over from the line before first; false
// when the data ends first.
bool FillLine(ByteReader& in, bool encoded, Run& run, std::vector<uint8_t>& line) {
  size_t filled = 0;
  while (filled < line.size()) {
    if (run.left > 0) {
      const size_t n = std::min(run.left, line.size() - filled);
      std::fill_n(line.begin() + std::ptrdiff_t(filled), n, run.value);
      filled += n;
      run.left -= n;
      continue;
    }
    const size_t at = in.Offset();
    uint8_t byte;
    if (!in.U8(byte)) return false;
    if (!encoded || (byte & kRunMark) != kRunMark) {
      line[filled++] = byte;
    } else if (!in.U8(run.value)) {
      return false;
    } else {
      run.at = at;
      run.left = byte & kLongestRun;
    }
  }
  return true;
}

// The field of `bits` bits for pixel x of a plane's bytes, leftmost pixel in the high bits.
uint8_t FieldAt(const uint8_t* plane, size_t x, uint8_t bits) {
  if (bits == 8) return plane[x];
  const size_t perByte = 8 / bits;
  const size_t shift = 8 - bits * (x % perByte + 1);
  return uint8_t(plane[x / perByte] >> shift & ((1 << bits) - 1));
}

// The layouts pictures are written in: 8 bits in 1 plane (256 colours); 1 bit in 1 plane
// (2 colours) or 2..4 planes (EGA's 4..16 colours); 2 bits in 1 plane (CGA's 4); 4 bits
// in 1 plane (16).
bool KnownLayout(uint8_t bits, uint8_t planes) {
  return planes == 1 ? (bits == 1 || bits == 2 || bits == 4 || bits == 8) : bits == 1 && planes <= 4;
}

// Runs through the rows between the header and `dataEnd`, each of its planes of
// BytesPerLine bytes, handing each row to `row(y, line)`. Returns "" or the byte where the
// data goes wrong: cut short (`whereCut` says where), or a run past the last row. A file too
// short for its rows even at the longest runs is refused before `reserve` takes the
// picture's memory.
template <typename Reserve, typename Row>
std::string ReadRows(const Bytes& bytes, size_t dataEnd, const PcxHeader& h, const std::string& whereCut,
                     Reserve reserve, Row row) {
  const bool encoded = h.encoding == kRunLengthEncoded;
  const size_t height = size_t(h.height);
  const size_t lineBytes = size_t(h.bytesPerLine) * h.planes;
  const std::string cut = "the pixel data ends before the last of its " + std::to_string(height) + " rows" + whereCut;
  if (lineBytes * height > (dataEnd - kPcxHeaderBytes) * (encoded ? kLongestRun : 1)) return AtByte(dataEnd, cut);
  reserve();
  ByteReader in(bytes.data(), dataEnd);
  in.Skip(kPcxHeaderBytes);
  Run run;
  std::vector<uint8_t> line(lineBytes);
  for (size_t y = 0; y < height; ++y) {
    if (!FillLine(in, encoded, run, line)) return AtByte(dataEnd, cut);
    row(y, line.data());
  }
  if (run.left > 0) {
    return AtByte(run.at, "a run that goes " + std::to_string(run.left) + " bytes past the picture's last row");
  }
  return "";
}

}  // namespace

bool ReadPcxHeader(const Bytes& bytes, PcxHeader& header) {
  if (bytes.size() < kPcxHeaderBytes) return false;
  ByteReader in(bytes);
  uint16_t xmin = 0, ymin = 0, xmax = 0, ymax = 0, xDpi = 0, yDpi = 0;
  uint8_t reserved = 0;
  in.U8(header.manufacturer), in.U8(header.version), in.U8(header.encoding), in.U8(header.bitsPerPixel);
  in.U16LE(xmin), in.U16LE(ymin), in.U16LE(xmax), in.U16LE(ymax), in.U16LE(xDpi), in.U16LE(yDpi);
  for (Rgb8& c : header.palette) in.U8(c.r), in.U8(c.g), in.U8(c.b);
  in.U8(reserved), in.U8(header.planes), in.U16LE(header.bytesPerLine);
  header.width = int64_t(int16_t(xmax)) - int16_t(xmin) + 1;
  header.height = int64_t(int16_t(ymax)) - int16_t(ymin) + 1;
  return true;
}

std::string DecodePcx(const Bytes& bytes, IndexedPicture& picture) {
  picture = {};
  PcxHeader h;
  if (!ReadPcxHeader(bytes, h)) return "the PCX ends inside its header";
  if (std::string problem = PictureSizeProblem(h.width, h.height); !problem.empty()) {
    return AtByte(4, "the PCX header gives " + problem);
  }
  const uint8_t bits = h.bitsPerPixel, planes = h.planes;
  if (bits == 8 && planes >= 3) {
    return TrueColourPicture(std::to_string(planes) + " planes of 8 bits");
  }
  if (!KnownLayout(bits, planes)) {
    return AtByte(3, std::to_string(bits) + " bits a pixel in " + std::to_string(planes) +
                         " planes: not a layout of PCX pictures that can be read");
  }
  const size_t width = size_t(h.width), height = size_t(h.height);
  // Odd counts are common in files, though the format asks for even ones: only too few
  // for the width is refused.
  const size_t rowBits = width * bits;
  if (size_t(h.bytesPerLine) * 8 < rowBits) {
    return AtByte(kBytesPerLineAt, "BytesPerLine is " + std::to_string(h.bytesPerLine) + " where a row of " +
                                          std::to_string(width) + " pixels needs " + std::to_string((rowBits + 7) / 8));
  }
  const bool fullPalette = bits == 8;
  size_t dataEnd = bytes.size();
  if (fullPalette) {
    if (bytes.size() < kPcxHeaderBytes + kPaletteBytes || bytes[bytes.size() - kPaletteBytes] != kPaletteMark) {
      const size_t at = bytes.size() >= kPcxHeaderBytes + kPaletteBytes ? bytes.size() - kPaletteBytes : bytes.size();
      return AtByte(at, "no 256-colour palette at the end of the file: an 8-bit PCX ends with a 0x0C byte "
                    "and 768 bytes of colours");
    }
    dataEnd = bytes.size() - kPaletteBytes;
  }
  const std::string problem = ReadRows(
      bytes, dataEnd, h, fullPalette ? ", where the 256-colour palette starts" : "",
      [&] { picture.pixels.resize(width * height); },
      [&](size_t y, const uint8_t* line) {
        uint8_t* to = picture.pixels.data() + y * width;
        for (size_t x = 0; x < width; ++x) {
          uint8_t index = 0;
          for (size_t plane = 0; plane < planes; ++plane) {
            index |= uint8_t(FieldAt(line + plane * h.bytesPerLine, x, bits) << (plane * bits));
          }
          to[x] = index;
        }
      });
  if (!problem.empty()) {
    picture = {};
    return problem;
  }
  picture.width = int32_t(width);
  picture.height = int32_t(height);
  if (fullPalette) {
    ByteReader colours(bytes.data() + dataEnd + 1, kPaletteBytes - 1);
    for (Rgb8& c : picture.palette.colors) colours.U8(c.r), colours.U8(c.g), colours.U8(c.b);
    picture.colourCount = 256;
  } else {
    picture.colourCount = 1 << (bits * planes);
    const auto first = h.palette.begin(), end = first + picture.colourCount;
    if (std::adjacent_find(first, end, std::not_equal_to<>()) != end) {
      std::copy(first, end, picture.palette.colors.begin());
    } else if (picture.colourCount == 2) {
      // No palette written (version 3, or zeros): every entry the same colour would show
      // nothing. Such a picture is black and white, or in the EGA's colours.
      picture.palette[1] = {255, 255, 255};
    } else {
      std::copy_n(Palette::Default().colors.begin(), picture.colourCount, picture.palette.colors.begin());
    }
  }
  return "";
}

bool IsTrueColourPcx(const Bytes& bytes) {
  PcxHeader h;
  return ReadPcxHeader(bytes, h) && h.bitsPerPixel == 8 && (h.planes == 3 || h.planes == 4);
}

// Rows of red, green and blue planes (and alpha, with a fourth), 8 bits each, without a
// palette at the end.
std::string DecodePcxRgba(const Bytes& bytes, RgbaPicture& picture) {
  picture = {};
  PcxHeader h;
  if (!ReadPcxHeader(bytes, h)) return "the PCX ends inside its header";
  if (std::string problem = PictureSizeProblem(h.width, h.height); !problem.empty()) {
    return AtByte(4, "the PCX header gives " + problem);
  }
  const size_t width = size_t(h.width), height = size_t(h.height), planes = h.planes;
  if (h.bytesPerLine < width) {
    return AtByte(kBytesPerLineAt, "BytesPerLine is " + std::to_string(h.bytesPerLine) + " where a row of " +
                                          std::to_string(width) + " pixels needs " + std::to_string(width));
  }
  const size_t step = h.bytesPerLine;
  const std::string problem = ReadRows(
      bytes, bytes.size(), h, "", [&] { picture.pixels.resize(width * height); },
      [&](size_t y, const uint8_t* plane) {
        for (size_t x = 0; x < width; ++x) {
          picture.pixels[y * width + x] = {plane[x], plane[step + x], plane[2 * step + x],
                                           planes == 4 ? plane[3 * step + x] : uint8_t(255)};
        }
      });
  if (!problem.empty()) {
    picture = {};
    return problem;
  }
  picture.width = int32_t(width);
  picture.height = int32_t(height);
  return "";
}

}  // namespace quorvel::formats
