// PNG pictures written through libpng into memory: 8 bits a pixel, the colours in PLTE
// and, where any is not opaque, their opacities in tRNS up to the last such colour.
//
// libpng reports errors by longjmp: the calls that may fail sit in a function of their
// own that holds no C++ object, and the callbacks hold none either.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "formats/picture_encoders.hpp"

namespace quorvel::formats {
namespace {

struct PngSink {
  Bytes* out = nullptr;
  char problem[200] = "";
};

void WriteToBytes(png_structp png, png_bytep data, size_t count) {
  Bytes& out = *static_cast<PngSink*>(png_get_io_ptr(png))->out;
  out.insert(out.end(), data, data + count);
}

void Flush(png_structp) {}

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
  PngSink& sink = *static_cast<PngSink*>(png_get_error_ptr(png));
  std::snprintf(sink.problem, sizeof sink.problem, "%s", message);
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

bool Write(png_structp png, png_infop info, const IndexedPicture& picture, const png_color* colours,
           const png_byte* opacities, int opacityCount, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, png_uint_32(picture.width), png_uint_32(picture.height), 8, PNG_COLOR_TYPE_PALETTE,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_PLTE(png, info, colours, picture.colourCount);
  if (opacityCount > 0) png_set_tRNS(png, info, opacities, opacityCount, nullptr);
  png_set_rows(png, info, rows);
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  return true;
}

}  // namespace

bool EncodePng(const IndexedPicture& picture, Bytes& out, std::vector<std::string>& warnings, std::string& error) {
  WarnCyclesLeftOut(picture, "PNG", warnings);
  png_color colours[256];
  png_byte opacities[256];
  int opacityCount = 0;
  for (int32_t i = 0; i < picture.colourCount; ++i) {
    const Rgb8 c = picture.palette[size_t(i)];
    colours[i] = {c.r, c.g, c.b};
    opacities[i] = picture.alpha[size_t(i)];
    if (i == picture.transparentIndex) opacities[i] = 0;
    if (opacities[i] != 255) opacityCount = i + 1;
  }
  std::vector<png_bytep> rows(size_t(picture.height));
  for (size_t y = 0; y < rows.size(); ++y) {
    rows[y] = const_cast<png_bytep>(picture.pixels.data() + y * size_t(picture.width));
  }
  out.clear();
  PngSink sink{&out};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, OnError, OnWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const bool started = info != nullptr;
  bool written = false;
  if (started) {
    png_set_write_fn(png, &sink, WriteToBytes, Flush);
    written = Write(png, info, picture, colours, opacities, opacityCount, rows.data());
  }
  png_destroy_write_struct(&png, &info);
  if (!written) error = started ? std::string("libpng: ") + sink.problem : "libpng cannot start (out of memory)";
  return written;
}

}  // namespace quorvel::formats
