// The fuzzer's checks of pictures: the same for every kind of picture, then, for GIF and
// PNG files, a second decoding of the same bytes by another route through the same
// library, which must agree with the first.
#include "tests/fuzz/picture_checks.hpp"

#include <gif_lib.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string_view>

#include <quorvel/formats.hpp>
#include "formats/picture_header.hpp"

namespace quorvel::fuzz {
namespace {

using formats::PictureKind;

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

void CheckConsistent(const IndexedPicture& p) {
  Check(p.width > 0 && p.height > 0 && formats::PictureSizeProblem(p.width, p.height).empty());
  Check(p.pixels.size() == size_t(p.width) * size_t(p.height));
  Check(p.colourCount >= 0 && p.colourCount <= 256);
  // The transparent index is an entry of opacity 0, and there is one when any entry has it.
  Check(p.transparentIndex >= -1 && p.transparentIndex < 256);
  const bool anyClear = std::find(p.alpha.begin(), p.alpha.end(), 0) != p.alpha.end();
  Check(p.transparentIndex >= 0 ? p.alpha[size_t(p.transparentIndex)] == 0 : !anyClear);
  // Every pixel names a colour the file defines, in every kind.
  Check(std::all_of(p.pixels.begin(), p.pixels.end(), [&](uint8_t i) { return i < p.colourCount; }));
  Check(p.transparentIndex < p.colourCount);
  for (size_t i = size_t(p.colourCount); i < 256; ++i) Check(p.alpha[i] == 255 && p.palette[i] == Rgb8{});
}

// giflib reads the whole file at once: every image decoded, with its extension blocks.
struct GifBytes {
  const std::vector<uint8_t>& bytes;
  size_t offset = 0;
};

int ReadGif(GifFileType* gif, GifByteType* to, int count) {
  GifBytes& in = *static_cast<GifBytes*>(gif->UserData);
  const size_t n = std::min(size_t(std::max(count, 0)), in.bytes.size() - in.offset);
  if (n > 0) std::memcpy(to, in.bytes.data() + in.offset, n);
  in.offset += n;
  return int(n);
}

// giflib 5.2.1's DGifSlurp reads one block too many after an extension without data
// sub-blocks (its label and at once the terminator) and fails on such files, which are
// sound: the second decoding is of the file without those extensions, which carry
// nothing. Called only on files whose blocks the first decoding walked to the trailer.
std::vector<uint8_t> WithoutEmptyExtensions(const std::vector<uint8_t>& bytes) {
  const auto table = [&](size_t flagsAt) { return bytes[flagsAt] & 0x80 ? size_t(3) << ((bytes[flagsAt] & 7) + 1) : 0; };
  size_t at = 13 + table(10);
  std::vector<uint8_t> out(bytes.begin(), bytes.begin() + std::ptrdiff_t(at));
  const auto skipSubBlocks = [&] {
    while (at < bytes.size() && bytes[at] != 0) at += 1 + size_t(bytes[at]);
    ++at;
  };
  while (at < bytes.size()) {
    const size_t start = at;
    if (bytes[at] == 0x21 && at + 2 < bytes.size() && bytes[at + 2] == 0) {
      at += 3;
      continue;
    }
    if (bytes[at] == 0x21) {
      at += 2;
      skipSubBlocks();
    } else if (bytes[at] == 0x2C && at + 10 < bytes.size()) {
      at += 10 + table(at + 9) + 1;
      skipSubBlocks();
    } else {
      at = bytes.size();
    }
    at = std::min(at, bytes.size());
    out.insert(out.end(), bytes.begin() + std::ptrdiff_t(start), bytes.begin() + std::ptrdiff_t(at));
  }
  return out;
}

void CompareGif(const std::vector<uint8_t>& file, const IndexedPicture& p) {
  const std::vector<uint8_t> bytes = WithoutEmptyExtensions(file);
  GifBytes in{bytes};
  int error = 0;
  GifFileType* gif = DGifOpen(&in, ReadGif, &error);
  Check(gif != nullptr);
  // Only an image after the first, which the picture does not need, may fail to decode:
  // DGifSlurp has counted it by then.
  Check(DGifSlurp(gif) == GIF_OK || gif->ImageCount >= 2);
  const SavedImage& first = gif->SavedImages[0];
  Check(first.ImageDesc.Width == p.width && first.ImageDesc.Height == p.height);
  Check(std::equal(p.pixels.begin(), p.pixels.end(), first.RasterBits));
  const ColorMapObject* colours = first.ImageDesc.ColorMap ? first.ImageDesc.ColorMap : gif->SColorMap;
  Check(colours && colours->ColorCount == p.colourCount);
  for (int32_t i = 0; i < p.colourCount; ++i) {
    const GifColorType c = colours->Colors[i];
    Check(p.palette[size_t(i)] == Rgb8{c.Red, c.Green, c.Blue});
  }
  GraphicsControlBlock control;
  int32_t transparent = NO_TRANSPARENT_COLOR;
  if (DGifSavedExtensionToGCB(gif, 0, &control) == GIF_OK) transparent = control.TransparentColor;
  Check(p.transparentIndex == (transparent < p.colourCount ? transparent : -1));
  DGifCloseFile(gif, &error);
}

// Whether a PNG has a chunk that makes libpng's simplified reader correct its colours
// (gamma, chromaticities, a colour profile): its colours are then not those stored.
uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

bool HasColourSpaceChunk(const std::vector<uint8_t>& bytes) {
  for (size_t at = 8; at + 8 <= bytes.size();) {
    const uint32_t length = BigEndian32(&bytes[at]);
    const std::string_view type(reinterpret_cast<const char*>(&bytes[at + 4]), 4);
    if (type == "gAMA" || type == "cHRM" || type == "sRGB" || type == "iCCP") return true;
    if (length > bytes.size() - at - 8) break;
    at += 12 + size_t(length);
  }
  return false;
}

// The simplified API reads the PNG as 8-bit RGBA: each index of the picture must stand
// for one RGBA colour throughout, and that colour, unless corrected, is the palette's with
// its opacity. 16-bit greys are kept by their high bytes here and rounded there: they are
// not compared.
void ComparePng(const std::vector<uint8_t>& bytes, const IndexedPicture& p) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  Check(png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()) != 0);
  Check(image.width == png_uint_32(p.width) && image.height == png_uint_32(p.height));
  const bool sixteenBits = (image.format & PNG_FORMAT_FLAG_LINEAR) != 0;
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
  Check(png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr) != 0);
  png_image_free(&image);
  if (sixteenBits) return;
  const bool stored = !HasColourSpaceChunk(bytes);
  std::array<std::optional<std::array<uint8_t, 4>>, 256> seen{};
  for (size_t i = 0; i < p.pixels.size(); ++i) {
    const uint8_t index = p.pixels[i];
    const std::array<uint8_t, 4> theirs = {rgba[4 * i], rgba[4 * i + 1], rgba[4 * i + 2], rgba[4 * i + 3]};
    Check(!seen[index] || *seen[index] == theirs);
    seen[index] = theirs;
    Check(theirs[3] == p.alpha[index]);
    if (stored) {
      const Rgb8 c = p.palette[index];
      Check(theirs[0] == c.r && theirs[1] == c.g && theirs[2] == c.b);
    }
  }
}

// The PNG with every chunk's CRC made right, so that mutated chunks reach the decoders.
std::vector<uint8_t> WithRightCrcs(std::vector<uint8_t> bytes) {
  for (size_t at = 8; at + 12 <= bytes.size();) {
    const uint32_t length = BigEndian32(&bytes[at]);
    if (length > bytes.size() - at - 12) break;
    const uint32_t crc = uint32_t(crc32(0, &bytes[at + 4], uInt(4 + length)));
    for (size_t i = 0; i < 4; ++i) bytes[at + 8 + length + i] = uint8_t(crc >> (24 - 8 * i));
    at += 12 + size_t(length);
  }
  return bytes;
}

void CheckOne(const std::vector<uint8_t>& bytes) {
  const PictureReadResult read = ParsePicture(bytes, "fuzz");
  if (!read.ok()) {
    Check(read.picture.pixels.empty() && read.picture.width == 0 && read.picture.height == 0);
    return;
  }
  const PictureKind kind = formats::RecognisePicture(bytes);
  Check(kind != PictureKind::Unknown);
  CheckConsistent(read.picture);
  if (kind == PictureKind::Gif) CompareGif(bytes, read.picture);
  if (kind == PictureKind::Png) ComparePng(bytes, read.picture);
}

}  // namespace

void CheckPicture(const std::vector<uint8_t>& bytes) {
  CheckOne(bytes);
  if (formats::RecognisePicture(bytes) == PictureKind::Png) CheckOne(WithRightCrcs(bytes));
}

}  // namespace quorvel::fuzz
