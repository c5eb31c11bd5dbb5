// The kind and size of a picture file, read from its first bytes. Decoders take memory
// for the size a header claims before they find the pixels missing, so the size is
// checked here first: 35 bytes of GIF may claim 65535 x 65535 pixels.
#include "formats/picture_header.hpp"

#include <quorvel/formats.hpp>

#include "formats/bmp.hpp"
#include "formats/iff.hpp"
#include "formats/pcx.hpp"

namespace quorvel::formats {
namespace {

bool TooBig(int64_t width, int64_t height) {
  return width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels;
}

std::string SizeText(int64_t width, int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

// Every BMHD chunk on the chunk walk the decoder takes, checked as the decoder checks the
// one it uses.
std::string CheckIffSize(const Bytes& bytes) {
  const bool chunky = StartsWith(bytes, 8, "PBM ");
  std::vector<std::string> warnings;
  std::string problem;
  bool found = false;
  ForEachIffChunk(bytes, warnings, [&](std::string_view id, ByteReader& data, size_t at) {
    Bmhd bmhd;
    if (id != "BMHD" || !problem.empty()) return;
    found = true;
    if (!ReadBmhd(data, bmhd)) {
      problem = AtByte(at, "a BMHD chunk shorter than its 20 bytes");
    } else if (std::string size = PictureSizeProblem(bmhd.width, bmhd.height); !size.empty()) {
      problem = AtByte(at, "the BMHD gives " + size);
    } else if (std::string fields = BmhdProblem(bmhd, chunky); !fields.empty()) {
      problem = AtByte(at, fields);
    }
  });
  if (!found) return "no BMHD chunk: the picture's size is missing";
  return problem;
}

// A chain of data sub-blocks: a length byte, that many bytes, until a length of 0.
bool SkipSubBlocks(ByteReader& in) {
  for (uint8_t length = 1; length != 0;) {
    if (!in.U8(length) || !in.Skip(length)) return false;
  }
  return true;
}

std::string GifImageName(int32_t image) { return image == 1 ? "first image" : "image " + std::to_string(image); }

// The logical screen, then every block to the trailer. Each image descriptor is checked,
// not only the first: a decoder that cannot decode one image may go on to the next. And
// each image's LZW code size, which sizes the decoder's tables, must be one a GIF can
// have. The blocks are walked, not decoded, so a GIF cut short is found here too.
std::string CheckGifSize(const Bytes& bytes) {
  ByteReader in(bytes);
  uint16_t screenWidth = 0, screenHeight = 0;
  uint8_t flags = 0, background = 0, aspect = 0;
  if (!in.Skip(6) || !in.U16LE(screenWidth) || !in.U16LE(screenHeight) || !in.U8(flags) ||
      !in.U8(background) || !in.U8(aspect)) {
    return "the GIF ends inside its 13-byte header";
  }
  // A screen side of 0 is common and harmless (decoders go by the image's size); a screen
  // too big is refused like an image.
  if (TooBig(screenWidth, screenHeight)) {
    return AtByte(6, "the GIF's screen is " + PictureSizeProblem(screenWidth, screenHeight));
  }
  constexpr uint8_t kColourTable = 0x80;
  const auto tableBytes = [](uint8_t flags) { return size_t(3) << ((flags & 7) + 1); };
  if ((flags & kColourTable) && !in.Skip(tableBytes(flags))) return "the GIF ends inside its colour table";
  constexpr uint8_t kExtension = 0x21, kImage = 0x2C, kTrailer = 0x3B;
  constexpr uint8_t kLeastCodeSize = 2, kMostCodeSize = 8;
  int32_t images = 0;
  for (;;) {
    const size_t at = in.Offset();
    uint8_t block = 0, label = 0;
    if (!in.U8(block)) {
      return images == 0 ? "the GIF ends before its first image" : AtByte(at, "the GIF ends here, without its trailer");
    }
    if (block == kTrailer) return images == 0 ? AtByte(at, "the GIF ends before its first image") : "";
    if (block == kImage) {
      const std::string image = GifImageName(++images);
      uint16_t left, top, width = 0, height = 0;
      uint8_t imageFlags = 0, codeSize = 0;
      if (!in.U16LE(left) || !in.U16LE(top) || !in.U16LE(width) || !in.U16LE(height) || !in.U8(imageFlags)) {
        return AtByte(at, "the GIF ends inside its " + image + "'s descriptor");
      }
      if (std::string problem = PictureSizeProblem(width, height); !problem.empty()) {
        return AtByte(at, "the GIF's " + image + " is " + problem);
      }
      if ((imageFlags & kColourTable) && !in.Skip(tableBytes(imageFlags))) {
        return AtByte(at, "the GIF ends inside its " + image + "'s colour table");
      }
      const size_t codeSizeAt = in.Offset();
      if (!in.U8(codeSize)) return AtByte(at, "the GIF ends before its " + image + "'s data");
      if (codeSize < kLeastCodeSize || codeSize > kMostCodeSize) {
        return AtByte(codeSizeAt, "the GIF's " + image + " has an LZW code size of " + std::to_string(codeSize) +
                                      "; a GIF's is 2 to 8");
      }
      if (!SkipSubBlocks(in)) return AtByte(at, "the GIF ends inside its " + image + "'s data");
      continue;
    }
    if (block != kExtension) {
      return AtByte(at, images == 0 ? "no image where the GIF's first image should be"
                                    : "neither an image, an extension nor the trailer where the GIF's next block should be");
    }
    if (!in.U8(label) || !SkipSubBlocks(in)) return AtByte(at, "the GIF ends inside an extension block");
  }
}

std::string CheckPngSize(const Bytes& bytes) {
  ByteReader in(bytes);
  uint32_t length = 0, width = 0, height = 0;
  std::string_view type;
  if (!in.Skip(8) || !in.U32BE(length) || !in.Take(4, type) || type != "IHDR" || !in.U32BE(width) ||
      !in.U32BE(height)) {
    return AtByte(8, "no IHDR chunk where the PNG's size should be");
  }
  if (std::string problem = PictureSizeProblem(width, height); !problem.empty()) {
    return AtByte(8, "the IHDR gives " + problem);
  }
  return "";
}

std::string CheckBmpSize(const Bytes& bytes) {
  BmpHeader header;
  if (std::string problem = ReadBmpHeader(bytes, header); !problem.empty()) return problem;
  if (std::string problem = PictureSizeProblem(header.width, header.height); !problem.empty()) {
    return AtByte(kBmpFileHeaderBytes, "the BMP header gives " + problem);
  }
  return "";
}

std::string CheckPcxSize(const Bytes& bytes) {
  PcxHeader header;
  if (!ReadPcxHeader(bytes, header)) return "the PCX ends inside its header";
  if (std::string problem = PictureSizeProblem(header.width, header.height); !problem.empty()) {
    return AtByte(4, "the PCX header gives " + problem);
  }
  return "";
}

}  // namespace

PictureKind RecognisePicture(const Bytes& bytes) {
  if (StartsWith(bytes, 0, "FORM") && (StartsWith(bytes, 8, "ILBM") || StartsWith(bytes, 8, "PBM "))) {
    return PictureKind::Iff;
  }
  if (StartsWith(bytes, 0, "GIF87a") || StartsWith(bytes, 0, "GIF89a")) return PictureKind::Gif;
  if (StartsWith(bytes, 0, "\x89PNG\r\n\x1a\n")) return PictureKind::Png;
  uint32_t pixelOffset = 0, infoSize = 0;
  if (ReadBmpStart(bytes, pixelOffset, infoSize) && IsBmpInfoSize(infoSize) && pixelOffset < bytes.size()) {
    return PictureKind::Bmp;
  }
  // PCX: manufacturer 10, a known version, plain or run-length encoded, 1..8 bits a pixel
  // in 1..4 planes. So many fields keep a raw palette that starts with 10 from being taken
  // for one.
  PcxHeader pcx;
  if (ReadPcxHeader(bytes, pcx) && pcx.manufacturer == 10 && pcx.version <= 5 && pcx.version != 1 &&
      pcx.encoding <= 1 &&
      (pcx.bitsPerPixel == 1 || pcx.bitsPerPixel == 2 || pcx.bitsPerPixel == 4 || pcx.bitsPerPixel == 8) &&
      pcx.planes >= 1 && pcx.planes <= 4) {
    return PictureKind::Pcx;
  }
  return PictureKind::Unknown;
}

const char* PictureKindName(PictureKind kind) {
  switch (kind) {
    case PictureKind::Iff: return "IFF";
    case PictureKind::Pcx: return "PCX";
    case PictureKind::Gif: return "GIF";
    case PictureKind::Png: return "PNG";
    case PictureKind::Bmp: return "BMP";
    case PictureKind::Unknown: break;
  }
  return "unknown";
}

std::string PictureSizeProblem(int64_t width, int64_t height) {
  if (TooBig(width, height)) {
    return SizeText(width, height) + "; pictures are read up to " + std::to_string(kMaxPictureSide) +
           " pixels a side and " + std::to_string(kMaxPicturePixels) + " pixels in all";
  }
  if (width <= 0 || height <= 0) return SizeText(width, height) + ": a picture without pixels";
  return "";
}

std::string CheckPictureSize(const Bytes& bytes, PictureKind kind) {
  switch (kind) {
    case PictureKind::Iff: return CheckIffSize(bytes);
    case PictureKind::Pcx: return CheckPcxSize(bytes);
    case PictureKind::Gif: return CheckGifSize(bytes);
    case PictureKind::Png: return CheckPngSize(bytes);
    case PictureKind::Bmp: return CheckBmpSize(bytes);
    case PictureKind::Unknown: break;
  }
  return "not a picture of a kind that can be read";
}

}  // namespace quorvel::formats

namespace quorvel {

bool LooksLikePicture(const std::vector<uint8_t>& bytes) {
  return formats::RecognisePicture(bytes) != formats::PictureKind::Unknown;
}

}  // namespace quorvel

namespace quorvel {
namespace {

// A Truevision TGA has no signature at its start; its 18-byte header has to make sense
// instead: a known image type, a colour map where the type needs one, a known depth and a
// size, and a file long enough for its pixels where they are stored plainly. Files of
// version 2 end with a signature.
bool LooksLikeTga(const formats::Bytes& bytes) {
  constexpr std::string_view kFooter("TRUEVISION-XFILE.\0", 18);
  if (bytes.size() >= 26 && formats::StartsWith(bytes, bytes.size() - kFooter.size(), kFooter)) return true;
  formats::ByteReader in(bytes);
  uint8_t idLength = 0, mapType = 0, type = 0, entryBits = 0, depth = 0, descriptor = 0;
  uint16_t mapFirst = 0, mapLength = 0, x = 0, y = 0, width = 0, height = 0;
  if (!in.U8(idLength) || !in.U8(mapType) || !in.U8(type) || !in.U16LE(mapFirst) ||
      !in.U16LE(mapLength) || !in.U8(entryBits) || !in.U16LE(x) || !in.U16LE(y) ||
      !in.U16LE(width) || !in.U16LE(height) || !in.U8(depth) || !in.U8(descriptor)) {
    return false;
  }
  const uint8_t plainType = type & 7;  // types 9, 10 and 11 are 1, 2 and 3 run-length encoded
  const bool mapped = plainType == 1, grey = plainType == 3;
  if ((type & ~8) < 1 || (type & ~8) > 3 || mapType != (mapped ? 1 : 0) || width == 0 || height == 0 ||
      (descriptor & 0xC0) != 0) {
    return false;
  }
  if (mapped && (mapLength == 0 || !(entryBits == 15 || entryBits == 16 || entryBits == 24 || entryBits == 32))) {
    return false;
  }
  const bool depthFits = mapped || grey ? depth == 8 || depth == 16
                                        : depth == 15 || depth == 16 || depth == 24 || depth == 32;
  if (!depthFits) return false;
  const uint64_t mapBytes = mapped ? uint64_t(mapLength) * ((entryBits + 7) / 8) : 0;
  const uint64_t pixelBytes = type & 8 ? 1 : uint64_t(width) * height * ((depth + 7) / 8);
  return bytes.size() >= 18 + idLength + mapBytes + pixelBytes;
}

}  // namespace

std::string PictureKindOf(const std::vector<uint8_t>& bytes) {
  using formats::StartsWith;
  const formats::PictureKind kind = formats::RecognisePicture(bytes);
  if (kind == formats::PictureKind::Iff) return StartsWith(bytes, 8, "ILBM") ? "IFF ILBM" : "IFF PBM";
  if (kind != formats::PictureKind::Unknown) return formats::PictureKindName(kind);
  if (StartsWith(bytes, 0, "\xFF\xD8\xFF")) return "JPEG";
  if (StartsWith(bytes, 0, std::string_view("II*\0", 4)) || StartsWith(bytes, 0, std::string_view("MM\0*", 4))) {
    return "TIFF";
  }
  if (StartsWith(bytes, 0, "RIFF") && StartsWith(bytes, 8, "WEBP")) return "WebP";
  if (StartsWith(bytes, 0, "qoif")) return "QOI";
  if (StartsWith(bytes, 0, "/* XPM */") || StartsWith(bytes, 0, "! XPM2")) return "XPM";
  if (LooksLikeTga(bytes)) return "TGA";
  return "";
}

}  // namespace quorvel
