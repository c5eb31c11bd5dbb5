// GIF pictures through giflib, from memory. The picture is the file's first image at its
// own size, with its local colour table or else the global one, the transparent colour
// of the graphic control extension before it, and the pixel aspect of the logical
// screen. CheckPictureSize has walked every block of the file first: every image's size
// and LZW code size are sound and the file reaches its trailer, so only the first image's
// compressed data is left to go wrong.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "formats/picture_decoders.hpp"

namespace quorvel::formats {
namespace {

// What giflib reads from, and how far it has read, so that a problem names its byte.
struct GifSource {
  const Bytes& bytes;
  size_t offset = 0;    // bytes handed to giflib so far
  size_t lastRead = 0;  // where the last read began: giflib reads a data block at a time
};

int ReadFromBytes(GifFileType* gif, GifByteType* to, int count) {
  GifSource& source = *static_cast<GifSource*>(gif->UserData);
  const size_t n = std::min(size_t(std::max(count, 0)), source.bytes.size() - source.offset);
  if (n > 0) std::memcpy(to, source.bytes.data() + source.offset, n);
  source.lastRead = source.offset;
  source.offset += n;
  return int(n);
}

struct GifCloser {
  void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};
using GifPtr = std::unique_ptr<GifFileType, GifCloser>;

std::string GifProblem(int code, const GifSource& source) {
  switch (code) {
    case D_GIF_ERR_IMAGE_DEFECT:
      return AtByte(source.lastRead, "the first image's compressed data is damaged");
    case D_GIF_ERR_EOF_TOO_SOON:
      return AtByte(source.lastRead, "the first image's compressed data ends before its last pixel");
    case D_GIF_ERR_READ_FAILED: return AtByte(source.offset, "the GIF ends here, inside its first image");
    default: break;
  }
  const char* what = GifErrorString(code);
  return AtByte(source.lastRead, what ? what : "giflib cannot read this GIF");
}

// The transparent colour of a graphic control extension's first sub-block (its length
// byte, then flags, delay and colour), or -1. One of another length is not read at all.
int32_t TransparentColour(const GifByteType* block) {
  GraphicsControlBlock control;
  if (DGifExtensionToGCB(block[0], block + 1, &control) != GIF_OK) return NO_TRANSPARENT_COLOR;
  return control.TransparentColor;
}

// Decodes the image whose descriptor giflib is about to read, at byte `at`.
std::string ReadImage(GifFileType& gif, size_t at, int32_t transparent, const GifSource& source,
                      IndexedPicture& picture) {
  if (DGifGetImageDesc(&gif) == GIF_ERROR) return GifProblem(gif.Error, source);
  const GifImageDesc& image = gif.Image;
  const ColorMapObject* colours = image.ColorMap ? image.ColorMap : gif.SColorMap;
  if (!colours) return AtByte(at, "the GIF's first image has no colour table and the GIF none for all");
  const int32_t width = image.Width, height = image.Height;
  picture.pixels.assign(size_t(width) * size_t(height), 0);
  const auto row = [&](int32_t y) { return picture.pixels.data() + size_t(y) * size_t(width); };
  // An interlaced image holds every 8th row from row 0, every 8th from 4, every 4th from
  // 2, then every 2nd from 1.
  constexpr int32_t kFirstRow[] = {0, 4, 2, 1};
  constexpr int32_t kRowStep[] = {8, 8, 4, 2};
  for (int32_t pass = 0; pass < (image.Interlace ? 4 : 1); ++pass) {
    const int32_t first = image.Interlace ? kFirstRow[pass] : 0, step = image.Interlace ? kRowStep[pass] : 1;
    for (int32_t y = first; y < height; y += step) {
      if (DGifGetLine(&gif, row(y), width) == GIF_ERROR) return GifProblem(gif.Error, source);
    }
  }
  picture.width = width;
  picture.height = height;
  // The screen's aspect byte b makes a pixel (b + 15) / 64 as wide as it is tall; 0 says
  // nothing, and the pixel stays square.
  if (gif.AspectByte != 0) picture.pixelAspect = 64.0 / (gif.AspectByte + 15);
  picture.colourCount = std::min(colours->ColorCount, 256);
  // The LZW data may name any colour below 2 to the power of its code size, whatever the
  // colour table holds.
  const std::string table = image.ColorMap ? "the first image's colour table" : "the GIF's colour table";
  if (std::string problem = CheckPixelColours(picture, table); !problem.empty()) return AtByte(at, problem);
  for (int32_t i = 0; i < picture.colourCount; ++i) {
    const GifColorType c = colours->Colors[i];
    picture.palette[size_t(i)] = {c.Red, c.Green, c.Blue};
  }
  // A transparent colour past the table marks no pixel.
  if (transparent >= 0 && transparent < picture.colourCount) {
    picture.transparentIndex = transparent;
    picture.alpha[size_t(transparent)] = 0;
  }
  return "";
}

}  // namespace

std::string DecodeGif(const Bytes& bytes, IndexedPicture& picture) {
  GifSource source{bytes};
  int code = 0;
  GifPtr gif(DGifOpen(&source, ReadFromBytes, &code));
  if (!gif) return GifProblem(code, source);
  // The first graphic control extension with data before the image is the image's (as
  // giflib's own DGifSavedExtensionToGCB takes it).
  bool controlSeen = false;
  int32_t transparent = NO_TRANSPARENT_COLOR;
  for (;;) {
    const size_t at = source.offset;
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) return GifProblem(gif->Error, source);
    if (record == IMAGE_DESC_RECORD_TYPE) return ReadImage(*gif, at, transparent, source, picture);
    if (record != EXTENSION_RECORD_TYPE) return AtByte(at, "the GIF ends before its first image");
    int label = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif.get(), &label, &block) == GIF_ERROR) return GifProblem(gif->Error, source);
    if (label == GRAPHICS_EXT_FUNC_CODE && block && !controlSeen) {
      controlSeen = true;
      transparent = TransparentColour(block);
    }
    while (block) {
      if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) return GifProblem(gif->Error, source);
    }
  }
}

}  // namespace quorvel::formats
