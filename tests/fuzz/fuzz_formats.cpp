// Feeds arbitrary bytes to every palette format reader (forced, and by recognition under
// several names), to the IFF chunk walk of colour cycles and the IFF picture decoder, to
// the picture header reader of every kind and to the picture reader (picture_checks.hpp),
// and writes back what was read in every writable format, which must read again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include <quorvel/formats.hpp>
#include "formats/iff.hpp"
#include "formats/picture_header.hpp"
#include "tests/fuzz/picture_checks.hpp"

namespace {

using quorvel::PaletteFormat;

constexpr PaletteFormat kFormats[] = {
    PaletteFormat::Unknown, PaletteFormat::Raw6,  PaletteFormat::Raw8,   PaletteFormat::PP256,
    PaletteFormat::Gpl,     PaletteFormat::Jasc,  PaletteFormat::Riff,   PaletteFormat::Act,
    PaletteFormat::Hex,     PaletteFormat::Col,   PaletteFormat::ColPro, PaletteFormat::PaintNet,
    PaletteFormat::Aco,     PaletteFormat::Ase,   PaletteFormat::Nes};

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

void CheckResult(const quorvel::PaletteReadResult& r) {
  if (!r.ok()) {
    Check(r.file.count == 0 && r.file.colours == quorvel::Palette{});
    return;
  }
  Check(r.file.count == std::min(r.entriesInFile, 256));
  Check(r.file.entryNames.size() <= 256);
  for (int32_t i = r.file.count; i < 256; ++i) Check(r.file.colours[size_t(i)] == quorvel::Rgb8{});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  quorvel::PaletteReadResult first;
  for (PaletteFormat format : kFormats) {
    quorvel::PaletteReadOptions options;
    options.format = format;
    const quorvel::PaletteReadResult r = quorvel::ParsePalette(bytes, "fuzz.pal", options);
    CheckResult(r);
    if (r.ok() && !first.ok()) first = r;
  }
  for (const char* name : {"f.gpl", "f.col", "f.act", "f.txt", "f.aco", "f.ase", "f.hex"}) {
    CheckResult(quorvel::ParsePalette(bytes, name));
  }
  if (first.ok()) {
    for (PaletteFormat format : quorvel::WritablePaletteFormats()) {
      const quorvel::PaletteWriteResult written = quorvel::EncodePalette(first.file, format);
      Check(written.ok());
      quorvel::PaletteReadOptions options;
      options.format = format;
      const quorvel::PaletteReadResult again = quorvel::ParsePalette(written.bytes, "again", options);
      Check(again.ok());
      CheckResult(again);
    }
  }
  for (bool dos : {false, true}) {
    quorvel::CycleReadOptions options;
    options.dosFlags = dos;
    for (const quorvel::PictureCycle& pc : quorvel::ReadCycleChunks(bytes, options).cycles) {
      Check(pc.cycle.low >= 0 && pc.cycle.high <= 255 && pc.offset + 8 <= size);
      Check(!pc.active || pc.cycle.low < pc.cycle.high);
    }
  }
  // What passes the picture header check is decoded within the size limits.
  using quorvel::formats::PictureKind;
  for (PictureKind kind :
       {PictureKind::Iff, PictureKind::Pcx, PictureKind::Gif, PictureKind::Png, PictureKind::Bmp}) {
    (void)quorvel::formats::CheckPictureSize(bytes, kind);
  }
  const bool sizeChecked = quorvel::LooksLikePicture(bytes) &&
                           quorvel::formats::CheckPictureSize(bytes, PictureKind::Iff).empty();
  quorvel::IndexedPicture image;
  std::string error;
  if (quorvel::formats::DecodeIffPicture(bytes, image, error)) {
    Check(image.pixels.size() == size_t(image.width) * size_t(image.height));
    Check(!sizeChecked ||
          (image.width <= quorvel::kMaxPictureSide && image.height <= quorvel::kMaxPictureSide &&
           int64_t(image.width) * image.height <= quorvel::kMaxPicturePixels));
  }
  quorvel::fuzz::CheckPicture(bytes);
  return 0;
}
