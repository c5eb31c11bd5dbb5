// PNG pictures through libpng, from memory: palette pictures of 1, 2, 4 or 8 bits with
// the opacities of their tRNS chunk, and greyscale pictures without an alpha channel as
// a grey ramp. Every chunk's CRC counts, ancillary chunks' too, and a file cut short
// anywhere before its IEND chunk is an error. Colours are taken as stored (gAMA and the
// other colour-space chunks are not applied), as the palette registers show them.
//
// libpng reports errors by longjmp. Every call into libpng that may fail sits in a
// function of its own that holds no C++ object, and the callbacks hold none either; what
// goes wrong is written into plain memory.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "formats/picture_decoders.hpp"

namespace quorvel::formats {
namespace {

// What libpng reads from, how far it has read, and what went wrong.
struct PngSource {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t offset = 0;    // bytes handed to libpng so far
  size_t lastRead = 0;  // where the last read began: a chunk's header, data or CRC
  char problem[200] = "";
};

void ReadFromBytes(png_structp png, png_bytep to, size_t count) {
  PngSource& source = *static_cast<PngSource*>(png_get_io_ptr(png));
  if (count > source.size - source.offset) {
    source.lastRead = source.size;
    png_error(png, "the PNG ends here, inside a chunk or before its IEND chunk");
  }
  std::memcpy(to, source.data + source.offset, count);
  source.lastRead = source.offset;
  source.offset += count;
}

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
  PngSource& source = *static_cast<PngSource*>(png_get_error_ptr(png));
  std::snprintf(source.problem, sizeof source.problem, "%s", message);
  png_longjmp(png, 1);
}

// Warnings, benign errors among them, leave the picture as it is.
void OnWarning(png_structp, png_const_charp) {}

bool ReadInfo(png_structp png, png_infop info) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_crc_action(png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
  png_read_info(png, info);
  return true;
}

// One byte a pixel, whatever the bit depth, and the rows of an interlaced picture in
// their places.
bool StartRows(png_structp png, png_infop info, int32_t depth) {
  if (setjmp(png_jmpbuf(png))) return false;
  if (depth < 8) png_set_packing(png);
  if (depth == 16) png_set_strip_16(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  return true;
}

bool ExpandToRgba(png_structp png, png_infop info) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  return true;
}

// The rows, then every chunk after them to IEND, whose CRCs are checked too.
bool ReadRows(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  png_read_end(png, nullptr);
  return true;
}

std::string Failed(const PngSource& source) { return AtByte(source.lastRead, source.problem); }

std::string NotIndexed(int type, int depth) {
  const std::string bits = std::to_string(depth) + " bits a channel";
  std::string what;
  switch (type) {
    case PNG_COLOR_TYPE_RGB: what = "a true-colour picture (RGB, " + bits + ")"; break;
    case PNG_COLOR_TYPE_RGB_ALPHA: what = "a true-colour picture (RGB and alpha, " + bits + ")"; break;
    case PNG_COLOR_TYPE_GRAY_ALPHA: what = "a true-colour picture (grey and alpha, " + bits + ")"; break;
    default: what = "a picture of PNG colour type " + std::to_string(type); break;
  }
  return what + ", not an indexed one: only pictures of at most 256 palette colours can be shown "
                "through the palette";
}

// The palette, opacities and transparent index of a palette picture, or of a greyscale
// one as its ramp of 2 to the power of its depth greys (16-bit grey keeps its high
// bytes: 256 greys).
std::string ReadColours(png_structp png, png_infop info, int type, int depth, IndexedPicture& picture) {
  png_bytep opacities = nullptr;
  int opacityCount = 0;
  png_color_16p transparentGrey = nullptr;
  const bool hasTrns = png_get_tRNS(png, info, &opacities, &opacityCount, &transparentGrey) != 0;
  if (type == PNG_COLOR_TYPE_PALETTE) {
    png_colorp colours = nullptr;
    int count = 0;
    if (!png_get_PLTE(png, info, &colours, &count) || count < 1) return AtByte(8, "a palette PNG without a PLTE chunk");
    picture.colourCount = std::min(count, 256);
    for (int32_t i = 0; i < picture.colourCount; ++i) {
      picture.palette[size_t(i)] = {colours[i].red, colours[i].green, colours[i].blue};
    }
    for (int32_t i = 0; hasTrns && i < std::min(opacityCount, picture.colourCount); ++i) {
      picture.alpha[size_t(i)] = opacities[i];
    }
  } else {
    const int32_t greys = depth >= 8 ? 256 : 1 << depth;
    picture.colourCount = greys;
    for (int32_t i = 0; i < greys; ++i) {
      const uint8_t grey = uint8_t(i * 255 / (greys - 1));
      picture.palette[size_t(i)] = {grey, grey, grey};
    }
    // The transparent grey is stored in 16 bits, of which only the picture's depth counts.
    // A 16-bit one is one of 65536 greys: none of the 256 stands for it alone.
    if (hasTrns && transparentGrey && depth <= 8) picture.alpha[size_t(transparentGrey->gray & (greys - 1))] = 0;
  }
  // The transparent index is the first entry of opacity 0.
  const auto* clear = std::find(picture.alpha.begin(), picture.alpha.begin() + picture.colourCount, 0);
  if (clear != picture.alpha.begin() + picture.colourCount) picture.transparentIndex = int32_t(clear - picture.alpha.begin());
  return "";
}

std::string Decode(png_structp png, png_infop info, PngSource& source, IndexedPicture& picture) {
  png_set_read_fn(png, &source, ReadFromBytes);
  if (!ReadInfo(png, info)) return Failed(source);
  png_uint_32 width = 0, height = 0;
  int depth = 0, type = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &type, nullptr, nullptr, nullptr);
  if (type != PNG_COLOR_TYPE_PALETTE && type != PNG_COLOR_TYPE_GRAY) return NotIndexed(type, depth);
  if (std::string problem = ReadColours(png, info, type, depth, picture); !problem.empty()) return problem;
  if (!StartRows(png, info, depth)) return Failed(source);
  if (png_get_rowbytes(png, info) != width) return "libpng gives rows of another width than the picture's";
  picture.pixels.assign(size_t(width) * height, 0);
  std::vector<png_bytep> rows(height);
  for (size_t y = 0; y < height; ++y) rows[y] = picture.pixels.data() + y * width;
  if (!ReadRows(png, rows.data())) return Failed(source);
  picture.width = int32_t(width);
  picture.height = int32_t(height);
  // libpng lets a colour past the PLTE through with a warning.
  return CheckPixelColours(picture, "the PLTE");
}

// Every colour type as 8-bit RGBA: palettes and low-depth greys expanded, tRNS as
// alpha, greys widened, 16-bit channels cut to their high bytes, opaque filler added.
std::string DecodeRgba(png_structp png, png_infop info, PngSource& source, RgbaPicture& picture) {
  png_set_read_fn(png, &source, ReadFromBytes);
  if (!ReadInfo(png, info)) return Failed(source);
  png_uint_32 width = 0, height = 0;
  int depth = 0, type = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &type, nullptr, nullptr, nullptr);
  if (!ExpandToRgba(png, info)) return Failed(source);
  if (png_get_rowbytes(png, info) != size_t(width) * 4) return "libpng gives rows of another width than the picture's";
  picture.pixels.assign(size_t(width) * height, Rgba8{});
  std::vector<png_bytep> rows(height);
  for (size_t y = 0; y < height; ++y) rows[y] = reinterpret_cast<png_bytep>(picture.pixels.data() + y * width);
  if (!ReadRows(png, rows.data())) return Failed(source);
  picture.width = int32_t(width);
  picture.height = int32_t(height);
  return "";
}

// Runs `decode` over a libpng reader of `bytes` made and freed around it; `picture` is
// left empty when it fails, so no half-read picture is ever returned.
template <typename Picture, typename Decoder>
std::string WithPngReader(const Bytes& bytes, Picture& picture, Decoder decode) {
  PngSource source;
  source.data = bytes.data();
  source.size = bytes.size();
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, OnError, OnWarning);
  if (!png) return "libpng cannot start (out of memory)";
  png_infop info = png_create_info_struct(png);
  std::string problem = info ? decode(png, info, source, picture) : "libpng cannot start (out of memory)";
  png_destroy_read_struct(&png, &info, nullptr);
  if (!problem.empty()) picture = {};
  return problem;
}

}  // namespace

std::string DecodePngRgba(const Bytes& bytes, RgbaPicture& picture) {
  static_assert(sizeof(Rgba8) == 4, "pixels are read straight into Rgba8 rows");
  return WithPngReader(bytes, picture, DecodeRgba);
}

std::string DecodePng(const Bytes& bytes, IndexedPicture& picture) {
  return WithPngReader(bytes, picture, Decode);
}

}  // namespace quorvel::formats
