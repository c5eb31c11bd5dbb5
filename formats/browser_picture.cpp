// Indexed pictures in a web page, where SDL2_image is not there to decode them: the IFF
// pictures of DeluxePaint (FORM ILBM, bit planes, and FORM PBM, a byte a pixel), the
// files that carry colour cycles, decoded here over the byte helpers. Other picture
// files are refused with a message that says so. Compiled only by Emscripten; natively
// sdl_picture.cpp loads pictures.
#ifdef __EMSCRIPTEN__

#include <algorithm>
#include <string_view>

#include <quorvel/formats.hpp>

#include "formats/bytes.hpp"
#include "formats/file_io.hpp"
#include "formats/iff.hpp"
#include "formats/picture_header.hpp"

namespace quorvel {
namespace {

using formats::ByteReader;

constexpr uint8_t kHasMask = 1;      // BMHD masking: a mask plane follows each row's planes
constexpr uint8_t kByteRun1 = 1;     // BMHD compression
constexpr uint32_t kCamgHam = 0x800;
constexpr uint32_t kCamgHalfBright = 0x80;

// Decodes BODY into palette indices. Returns "" or what was wrong.
std::string DecodeBody(std::string_view body, const formats::Bmhd& h, bool chunky,
                       std::vector<uint8_t>& pixels) {
  // Rows are stored whole: ILBM planes in 16-bit words, PBM pixels padded to even bytes.
  const size_t planeBytes = (size_t(h.width) + 15) / 16 * 2;
  const size_t rowBytes = chunky ? (size_t(h.width) + 1) / 2 * 2
                                 : planeBytes * (h.planes + (h.masking == kHasMask ? 1 : 0));
  std::vector<uint8_t> raw(rowBytes * h.height);
  ByteReader in(reinterpret_cast<const uint8_t*>(body.data()), body.size());
  if (h.compression == kByteRun1) {
    if (!formats::UnpackByteRun1(in, raw)) return "the BODY ends before the picture does";
  } else if (h.compression == 0) {
    std::string_view all;
    if (!in.Take(raw.size(), all)) return "the BODY ends before the picture does";
    std::copy(all.begin(), all.end(), raw.begin());
  } else {
    return "compression " + std::to_string(h.compression) + " is not ByteRun1";
  }
  pixels.assign(size_t(h.width) * h.height, 0);
  for (size_t y = 0; y < h.height; ++y) {
    const uint8_t* row = raw.data() + y * rowBytes;
    uint8_t* to = pixels.data() + y * h.width;
    if (chunky) {
      std::copy_n(row, h.width, to);
      continue;
    }
    for (size_t plane = 0; plane < h.planes; ++plane) {
      const uint8_t* bits = row + plane * planeBytes;
      for (size_t x = 0; x < h.width; ++x) {
        if (bits[x >> 3] & (0x80 >> (x & 7))) to[x] |= uint8_t(1 << plane);
      }
    }
  }
  return "";
}

}  // namespace

PictureReadResult LoadIndexedPicture(const std::string& path, const CycleReadOptions& options) {
  PictureReadResult out;
  formats::Bytes bytes;
  std::string error;
  if (!formats::ReadWholeFile(path, kMaxPictureFileBytes, bytes, error)) {
    out.error = path + ": " + error;
    return out;
  }
  auto fail = [&](const std::string& what) {
    out.error = path + ": " + what;
    return out;
  };
  ByteReader form(bytes);
  uint32_t formSize;
  std::string_view type;
  if (!form.Peek("FORM") || !form.Skip(4) || !form.U32BE(formSize) || !form.Take(4, type) ||
      (type != "ILBM" && type != "PBM ")) {
    return fail("in a web page only IFF ILBM and PBM pictures can be read (the files that "
                "carry colour cycles); the native player reads PNG, GIF, PCX and BMP too");
  }
  const bool chunky = type == "PBM ";
  formats::Bmhd h;
  bool haveHeader = false;
  uint32_t camg = 0;
  IndexedPicture& picture = out.picture;
  std::string_view body;
  // Walks the chunks; one that runs past the end of the file ends the walk.
  while (form.Remaining() >= 8) {
    std::string_view id;
    uint32_t size;
    form.Take(4, id);
    form.U32BE(size);
    std::string_view data;
    if (!form.Take(std::min<size_t>(size, form.Remaining()), data)) break;
    if (size % 2) form.Skip(1);
    ByteReader chunk(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    if (id == "BMHD") {
      haveHeader = formats::ReadBmhd(chunk, h);
    } else if (id == "CMAP") {
      picture.colourCount = int32_t(std::min<size_t>(data.size() / 3, 256));
      for (int32_t i = 0; i < picture.colourCount; ++i) {
        chunk.U8(picture.palette[size_t(i)].r);
        chunk.U8(picture.palette[size_t(i)].g);
        chunk.U8(picture.palette[size_t(i)].b);
      }
    } else if (id == "CAMG") {
      chunk.U32BE(camg);
    } else if (id == "BODY") {
      body = data;
    }
  }
  if (!haveHeader) return fail("no BMHD chunk: the picture's size is missing");
  // The BMHD the BODY is decoded by, within the same limits as the native reader's.
  if (std::string problem = formats::PictureSizeProblem(h.width, h.height); !problem.empty()) {
    return fail("the BMHD gives " + problem);
  }
  if (camg & kCamgHam) return fail("a HAM picture, not an indexed one");
  if (chunky ? h.planes != 8 : (h.planes < 1 || h.planes > 8)) {
    return fail(std::to_string(h.planes) + " bit planes: not an indexed picture of at most "
                "256 colours");
  }
  if (body.empty()) return fail("no BODY chunk: the pixels are missing");
  if (std::string failure = DecodeBody(body, h, chunky, picture.pixels); !failure.empty()) {
    return fail(failure);
  }
  if ((camg & kCamgHalfBright) && h.planes == 6) {
    // Extra-half-brite: colours 32..63 are 0..31 at half brightness.
    for (size_t i = 0; i < 32; ++i) {
      const Rgb8 c = picture.palette[i];
      picture.palette[32 + i] = {uint8_t(c.r / 2), uint8_t(c.g / 2), uint8_t(c.b / 2)};
    }
    picture.colourCount = 64;
  }
  picture.width = h.width;
  picture.height = h.height;

  CycleReadResult cycles = ReadCycleChunks(bytes, options);
  picture.cycles = std::move(cycles.cycles);
  for (const std::string& warning : cycles.warnings) out.warnings.push_back(path + ": " + warning);
  return out;
}

}  // namespace quorvel

#endif  // __EMSCRIPTEN__
