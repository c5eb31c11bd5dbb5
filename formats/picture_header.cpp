// The kind and size of a picture file, read from its first bytes. Decoders take memory
// for the size a header claims before they find the pixels missing, so the size is
// checked here first: 35 bytes of GIF may claim 65535 x 65535 pixels.
#include "formats/picture_header.hpp"

#include <algorithm>
#include <iterator>

#include <quorvel/formats.hpp>

#include "formats/iff.hpp"

namespace quorvel::formats {
namespace {

constexpr uint32_t kBmpInfoHeaderSizes[] = {12, 40, 52, 56, 64, 108, 124};
constexpr size_t kPcxHeaderBytes = 128;
constexpr size_t kBmhdBytes = 20;
constexpr uint8_t kMostPlanes = 8;

bool TooBig(int64_t width, int64_t height) {
  return width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels;
}

std::string SizeText(int64_t width, int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

// Every BMHD chunk on the chunk walk from the FORM's type to the end of the file (not to
// the FORM's stated end, nor only to the BODY: SDL2_image reads on past the first). SDL2_image
// takes 20 bytes for a BMHD whatever its stated length, so a shorter one is refused; and it
// writes past its memory on more than 8 bit planes, which no indexed picture has.
std::string CheckIffSize(const Bytes& bytes) {
  ByteReader chunks(bytes);
  chunks.Skip(12);
  bool found = false;
  while (chunks.Remaining() >= 8) {
    const size_t at = chunks.Offset();
    std::string_view id;
    uint32_t length = 0;
    chunks.Take(4, id);
    chunks.U32BE(length);
    if (id == "BMHD") {
      Bmhd bmhd;
      ByteReader body(chunks.Here(), chunks.Remaining());
      if (length < kBmhdBytes || !ReadBmhd(body, bmhd)) {
        return AtByte(at, "a BMHD chunk shorter than its 20 bytes");
      }
      if (std::string problem = PictureSizeProblem(bmhd.width, bmhd.height); !problem.empty()) {
        return AtByte(at, "the BMHD gives " + problem);
      }
      if (bmhd.planes > kMostPlanes) {
        return AtByte(at, "the BMHD gives " + std::to_string(bmhd.planes) +
                              " bit planes: not an indexed picture of at most 256 colours");
      }
      found = true;
    }
    if (!chunks.Skip(length) || ((length & 1) && !chunks.Skip(1))) break;
  }
  return found ? "" : "no BMHD chunk: the picture's size is missing";
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

// The info header after the 14-byte file header: 16-bit sizes in the old 12-byte OS/2
// header, signed 32-bit sizes in the others, where a negative height is a picture stored
// top row first.
std::string CheckBmpSize(const Bytes& bytes) {
  ByteReader in(bytes);
  uint32_t headerSize = 0;
  int64_t width = 0, height = 0;
  if (!in.Skip(14) || !in.U32LE(headerSize)) return "the BMP ends inside its header";
  if (headerSize == 12) {
    uint16_t w = 0, h = 0;
    if (!in.U16LE(w) || !in.U16LE(h)) return "the BMP ends inside its header";
    width = w, height = h;
  } else {
    uint32_t w = 0, h = 0;
    if (!in.U32LE(w) || !in.U32LE(h)) return "the BMP ends inside its header";
    width = int32_t(w), height = int32_t(h);
    if (height < 0) height = -height;
  }
  if (std::string problem = PictureSizeProblem(width, height); !problem.empty()) {
    return AtByte(14, "the BMP header gives " + problem);
  }
  return "";
}

// xmin, ymin, xmax and ymax are inclusive; SDL2_image takes them as signed.
std::string CheckPcxSize(const Bytes& bytes) {
  ByteReader in(bytes);
  uint16_t xmin = 0, ymin = 0, xmax = 0, ymax = 0;
  if (!in.Skip(4) || !in.U16LE(xmin) || !in.U16LE(ymin) || !in.U16LE(xmax) || !in.U16LE(ymax)) {
    return "the PCX ends inside its header";
  }
  const int64_t width = int64_t(int16_t(xmax)) - int16_t(xmin) + 1;
  const int64_t height = int64_t(int16_t(ymax)) - int16_t(ymin) + 1;
  if (std::string problem = PictureSizeProblem(width, height); !problem.empty()) {
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
  ByteReader reader(bytes);
  uint32_t fileSize = 0, reserved = 0, dataOffset = 0, headerSize = 0;
  if (reader.Peek("BM") && reader.Skip(2) && reader.U32LE(fileSize) && reader.U32LE(reserved) &&
      reader.U32LE(dataOffset) && reader.U32LE(headerSize) && dataOffset < bytes.size() &&
      std::find(std::begin(kBmpInfoHeaderSizes), std::end(kBmpInfoHeaderSizes), headerSize) !=
          std::end(kBmpInfoHeaderSizes)) {
    return PictureKind::Bmp;
  }
  // PCX: manufacturer 10, a known version, plain or run-length encoded, 1..8 bits a pixel
  // in 1..4 planes. So many fields keep a raw palette that starts with 10 from being taken
  // for one.
  if (bytes.size() >= kPcxHeaderBytes && bytes[0] == 10 && bytes[1] <= 5 && bytes[1] != 1 &&
      bytes[2] <= 1 && (bytes[3] == 1 || bytes[3] == 2 || bytes[3] == 4 || bytes[3] == 8) &&
      bytes[65] >= 1 && bytes[65] <= 4) {
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
