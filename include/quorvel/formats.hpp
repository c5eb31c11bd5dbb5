// Quorvel file formats: the palette files pixel artists and game makers hold (GIMP, JASC,
// Microsoft RIFF, Adobe, Lospec, Animator, Paint.NET, Photoshop), read and written as
// `quorvel::Palette`s, and 8-bit indexed pictures with the colour cycles DeluxePaint
// stores in them, ready for the Animator.
//
//   quorvel::PaletteReadResult read = quorvel::ReadPaletteFile("sunset.gpl");
//   if (!read.ok()) { std::fprintf(stderr, "%s\n", read.error.c_str()); return 1; }
//   quorvel::Animator anim(read.file.colours);
//
// Reading never creates or changes a file and never half-applies anything: a file is
// read whole (palettes up to kMaxPaletteFileBytes) and either gives a complete result or
// an error naming the file, the line or byte offset, and what was wrong. Writing goes to
// a new file beside the target, renamed into place once complete.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <quorvel/colour.hpp>

namespace quorvel {

// ---------------------------------------------------------------------------------------
// Palette files
// ---------------------------------------------------------------------------------------

enum class PaletteFormat {
  Unknown,   // reading: recognise the format from the file
  Raw6,      // 768 bytes: r, g, b per register, 6-bit (0..63); k x 768 bytes: k palettes
  Raw8,      // 768 bytes: r, g, b per register, 8-bit; k x 768 bytes: k palettes (PLAYPAL)
  PP256,     // 1024 bytes: 32-bit little-endian PalColors (6-bit components)
  Gpl,       // GIMP palette, text
  Jasc,      // JASC-PAL (Paint Shop Pro), text; written with CRLF
  Riff,      // Microsoft RIFF PAL, little-endian
  Act,       // Adobe colour table: 768 bytes and a 4-byte trailer (772)
  Hex,       // Lospec: one rrggbb per line
  Col,       // Autodesk Animator .col: 768 bytes, 6-bit
  ColPro,    // Animator Pro .col: 8-byte header, then 8-bit triples
  PaintNet,  // Paint.NET: ';' comments, AARRGGBB lines
  Aco,       // Photoshop colour swatches, version 1 and 2 (read only)
  Ase,       // Adobe swatch exchange (read only)
  Nes,       // NES: 192 bytes of 64 8-bit colours, or 1536 bytes of 8 emphasis sets of them
             // (read only)
};

// The short name used on command lines: "raw6", "gpl", "colpro", ...
std::string_view PaletteFormatName(PaletteFormat format);
// A description for people: "GIMP palette (.gpl)".
std::string_view PaletteFormatTitle(PaletteFormat format);
// The format of a short name; Unknown when there is none by that name.
PaletteFormat PaletteFormatFromName(std::string_view name);
// The formats that can be written, in the order of their names above.
std::vector<PaletteFormat> WritablePaletteFormats();

// 8 bits to 6, rounded to nearest; undoes Expand6To8 exactly.
constexpr uint8_t Reduce8To6(uint32_t c) { return static_cast<uint8_t>((c * 63 + 127) / 255); }

// Palette files bigger than this are refused before any of them is read.
constexpr int64_t kMaxPaletteFileBytes = 4 << 20;

// A palette as files hold it.
struct PaletteFile {
  Palette colours;                      // the registers past `count` are black
  int32_t count = 256;                  // colours defined, 0..256
  std::string name;                     // the palette's name (GIMP "Name:"), or ""
  int32_t columns = 0;                  // GIMP "Columns:", 0 when not given
  std::vector<std::string> entryNames;  // per colour where the format names them, or empty
  int32_t transparentIndex = -1;        // Adobe colour table trailer; -1 for none
};

// How to read a file of 768 bytes whose depth cannot be known.
enum class RawDepth {
  Guess,  // 8-bit when any byte exceeds 63, else 6-bit (and the result says it guessed)
  Six,    // 6-bit: bytes over 63 keep their low six bits, as the registers do
  Eight,
};

struct PaletteReadOptions {
  PaletteFormat format = PaletteFormat::Unknown;  // Unknown: recognise it
  // For Raw6, Raw8 and Col files. Given (or by a format of raw6 or raw8), a raw file
  // shorter than 768 bytes is read as that many colours, 3 bytes each.
  RawDepth rawDepth = RawDepth::Guess;
  int32_t index = 0;  // the palette to take of a file that holds several, from 0
};

struct PaletteReadResult {
  PaletteFile file;      // all black with a count of 0 when there is an error
  PaletteFormat format = PaletteFormat::Unknown;
  int32_t entriesInFile = 0;  // colours the file holds; past 256 only the first 256 are used
  int32_t bits = 8;           // precision of a component in the file: 6, 8, 16 (.aco), 32 (.ase floats)
  bool bitsGuessed = false;   // a raw 768-byte file whose bytes are all 63 or less
  // A file of several palettes: a raw file of k x 768 bytes (Doom's PLAYPAL holds 14), a
  // NES file of 8 emphasis sets. `sets` holds every one, in file order, and `file` is the
  // one the options' index picks; a file of one palette leaves `sets` empty.
  std::vector<PaletteFile> sets;
  std::vector<std::string> warnings;
  std::string error;          // "" on success
  bool ok() const { return error.empty(); }
};

// Reads a palette file. Errors and warnings start with the file's name.
PaletteReadResult ReadPaletteFile(const std::string& path, const PaletteReadOptions& options = {});
// Reads a palette from the bytes of a file; `name` serves to recognise its extension and
// to name it in messages.
PaletteReadResult ParsePalette(const std::vector<uint8_t>& bytes, const std::string& name,
                               const PaletteReadOptions& options = {});
// The format of a file's bytes: by content (magic words and layouts) first, then by the
// extension of `name`, then by the size, except for bytes that start like a picture (a
// damaged picture of 768 or 1024 bytes is not a palette). Unknown when nothing fits.
PaletteFormat RecognisePalette(const std::vector<uint8_t>& bytes, const std::string& name);

struct PaletteWriteResult {
  std::vector<uint8_t> bytes;  // EncodePalette only
  std::vector<std::string> warnings;  // what the format could not keep
  std::string error;  // "" on success
  bool ok() const { return error.empty(); }
};

// The bytes of the palette in a writable format. Formats with a fixed size (raw6, raw8,
// pp256, act, col, colpro) always hold 256 colours; the others hold `count`.
PaletteWriteResult EncodePalette(const PaletteFile& file, PaletteFormat format);
// Writes the palette to a file: to a new file beside it first, renamed into place when
// complete, so a failed write changes nothing. Errors start with the file's name.
PaletteWriteResult WritePaletteFile(const std::string& path, const PaletteFile& file,
                                    PaletteFormat format);

// Reads a whole regular file of at most `maxBytes` the way the readers do: a directory,
// FIFO, device or socket is refused at once, a bigger file before any of it is read.
// Returns "" or the error, which names the file.
std::string ReadSmallFile(const std::string& path, int64_t maxBytes, std::vector<uint8_t>& bytes);

// ---------------------------------------------------------------------------------------
// Indexed pictures and their colour cycles
// ---------------------------------------------------------------------------------------

// One colour cycle stored in an IFF ILBM or PBM picture.
struct PictureCycle {
  Cycle cycle;          // as the Animator runs it; steps, without blending, as painted
  bool active = false;  // false: stored but not running (switched off, too slow, empty)
  std::string chunk;    // "CRNG", "CCRT" or "DRNG"; "scene" for a scene's cycle
  size_t offset = 0;    // where the chunk (or the scene's cycle object) starts in the file
};

struct CycleReadOptions {
  // Many DOS-era files mark running cycles with flags 0: run every CRNG or DRNG cycle
  // whose rate would move it, whatever its active flag says.
  bool dosFlags = false;
};

struct CycleReadResult {
  std::vector<PictureCycle> cycles;
  std::vector<std::string> warnings;
};

// The colour-cycle chunks (CRNG, CCRT, DRNG) of the bytes of an IFF FORM ILBM or PBM.
// Anything else has no cycles. Chunks that run past the end of the file end the walk
// with a warning; a broken chunk is skipped with a warning.
CycleReadResult ReadCycleChunks(const std::vector<uint8_t>& bytes, const CycleReadOptions& options = {});

// The cycles the Animator should run: the active ones.
std::vector<Cycle> RunningCycles(const std::vector<PictureCycle>& cycles);

// Whether the bytes start like a picture file (IFF ILBM or PBM, GIF, PNG, BMP, PCX)
// rather than a palette.
bool LooksLikePicture(const std::vector<uint8_t>& bytes);
// The kind of picture the bytes start like, for messages: one that is read ("IFF ILBM",
// "IFF PBM", "PCX", "GIF", "PNG", "BMP"), one that is told but not read ("JPEG", "TIFF",
// "WebP", "QOI", "XPM", "TGA"), or "" for anything else.
std::string PictureKindOf(const std::vector<uint8_t>& bytes);

// An 8-bit indexed picture.
struct IndexedPicture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;  // width * height palette indices, row by row
  Palette palette;
  int32_t colourCount = 0;      // palette entries the picture defines
  // How many times as tall as wide a pixel is meant to be shown (ScreenOptions'
  // pixelAspect): an IFF picture's BMHD xAspect:yAspect of 10:11 is 1.1, a GIF's aspect
  // byte b (b + 15 : 64) is 64 / (b + 15); 1 where the file does not say. The GIF writer
  // writes the nearest byte.
  double pixelAspect = 1.0;
  // Transparency, where the file gives it (PNG tRNS, a GIF's transparent colour, an IFF
  // picture's transparent colour): the index shown as see-through, or -1, and the opacity
  // of each palette entry, 255 for opaque. A PNG may give several entries an opacity of 0:
  // its transparent index is the first of them.
  int32_t transparentIndex = -1;
  std::array<uint8_t, 256> alpha = FullyOpaque();
  std::vector<PictureCycle> cycles;

  static constexpr std::array<uint8_t, 256> FullyOpaque() {
    std::array<uint8_t, 256> opaque{};
    opaque.fill(255);
    return opaque;
  }
};

struct PictureReadResult {
  IndexedPicture picture;
  std::vector<std::string> warnings;
  std::string error;  // "" on success; names the file
  bool ok() const { return error.empty(); }
};

// Pictures bigger than this are refused before any of them is read.
constexpr int64_t kMaxPictureFileBytes = 64 << 20;

// The largest picture that is decoded. Decoders take memory for the size a header claims,
// so a file of 35 bytes may ask for gigabytes: the size is read from the header and a
// larger picture refused first. 64 Mi pixels is the largest uncompressed 8-bit picture a
// file of kMaxPictureFileBytes holds (256 MB where a decoder widens it to 32-bit colour),
// and 16384 a side is more than any screen or the textures of common graphics hardware.
constexpr int32_t kMaxPictureSide = 16384;
constexpr int64_t kMaxPicturePixels = int64_t(64) << 20;

// Loads an indexed picture (IFF ILBM and PBM, PCX, GIF, PNG, BMP) with its palette and,
// for IFF files, its colour cycles. A picture that is not indexed, of another kind, or
// past kMaxPictureSide or kMaxPicturePixels by its header, is refused before it is decoded.
PictureReadResult LoadIndexedPicture(const std::string& path, const CycleReadOptions& options = {});
// Reads an indexed picture from the bytes of a file, as LoadIndexedPicture does; `name`
// names it in messages.
PictureReadResult ParsePicture(const std::vector<uint8_t>& bytes, const std::string& name,
                               const CycleReadOptions& options = {});

// ---------------------------------------------------------------------------------------
// Writing pictures with their cycles
// ---------------------------------------------------------------------------------------

enum class PictureFormat {
  Unknown,  // writing: the format of the file name's extension
  Ilbm,     // IFF ILBM: bit planes, as few as the colours need (1..8)
  Pbm,      // IFF PBM: one byte a pixel
  Png,      // 8-bit PNG with PLTE, and tRNS where a colour is not opaque
  Gif,      // GIF89a, one image, with a transparent colour where there is one
  Scene,    // the JSON scene of the colour-cycling web players (below)
};

// The short name used on command lines: "ilbm", "pbm", "png", "gif", "scene".
std::string_view PictureFormatName(PictureFormat format);
// The format of a short name; Unknown when there is none by that name.
PictureFormat PictureFormatFromName(std::string_view name);
// The format a file name's extension calls for, in any case: .lbm, .ilbm and .iff ILBM,
// .pbm and .bbm PBM, .png, .gif, .json and .js scenes. Unknown for any other.
PictureFormat PictureFormatOfPath(std::string_view path);

struct PictureWriteOptions {
  bool compress = true;     // IFF: ByteRun1 rows, else uncompressed
  // IFF BMHD: the pixel's width to its height; 0:0 writes the picture's own pixelAspect
  // as the nearest ratio of whole numbers (10:11 for 1.1), so a picture keeps its shape.
  uint8_t xAspect = 0;
  uint8_t yAspect = 0;
};

struct PictureWriteResult {
  std::vector<uint8_t> bytes;         // EncodePicture only
  std::vector<std::string> warnings;  // what the format could not keep (cycles, opacities)
  std::string error;                  // "" on success
  bool ok() const { return error.empty(); }
};

// The bytes of the picture in a format. IFF pictures keep their cycles: each as a CRNG
// chunk (rate x 60 / 16384 steps a second, its active and reverse flags), or as a CCRT
// chunk (the time of one step) when it was read from one; ping-pong and sine cycles,
// which neither chunk can say, are written as plain ones with a warning. PNG and GIF keep
// no cycles (a warning tells how many are left out). A picture whose pixels name colours
// past its colourCount is refused, as the readers would refuse the file.
PictureWriteResult EncodePicture(const IndexedPicture& picture, PictureFormat format,
                                 const PictureWriteOptions& options = {});
// Writes the picture to a file like WritePaletteFile: a new file beside it, renamed into
// place when complete. Errors start with the file's name.
PictureWriteResult WritePicture(const std::string& path, const IndexedPicture& picture,
                                PictureFormat format, const PictureWriteOptions& options = {});

// ---------------------------------------------------------------------------------------
// Scenes of the colour-cycling web players
// ---------------------------------------------------------------------------------------
//
// A scene is one object:
//   { "filename": "coast.lbm",            optional, kept as the picture's name
//     "width": 320, "height": 200,
//     "colors": [[r, g, b], ...],         up to 256, 0..255 each
//     "cycles": [{"low": 16, "high": 23, "rate": 8192, "reverse": 0}, ...],
//     "pixels": [i, i, ...] }             width x height colour indices, row by row
// Strict JSON is read, and so is a JavaScript object literal such as some players ship:
// unquoted keys, single-quoted strings, trailing commas, // and /* */ comments, and a
// leading `name =` or `var name =` before the object with a `;` after it.
//
// `rate` is the LBM's own number: 16384 is 60 steps a second, as DeluxePaint runs it.
// (canvascycle divides the rate by 280, which runs about 2.5% slower; Quorvel keeps
// DeluxePaint's reading.) Every cycle with a rate other than 0 and a range of two or more
// registers runs, whatever else it says, as the web players run them. `reverse` is a mode:
// 0 and 1 forward, 2 backwards, 3 ping-pong, 4 and 5 sine. Scene cycles step like the
// painted ones (blend false), so a scene and its ILBM play alike.
//
// Quorvel's own fields, which other readers ignore:
//   "transparent": i                      the see-through colour index
//   "timeline": {"period": ms, "palettes": [{"time": ms, "colors": [[r, g, b], ...]}, ...]}
//       palettes pinned to times of a clock (by default a day of 86400000 ms), in order of
//       time, each 0 <= time < period; registers a palette does not list keep the scene's
//       "colors". The base palette goes from each to the next by the clock while the
//       cycles run.
// A cycle that does not run is written with rate 0, since every web player runs the
// others; its own rate is then lost, and a warning says so.

struct Scene {
  IndexedPicture picture;    // with its cycles
  std::string filename;      // the scene's "filename", or ""
  PaletteTimeline timeline;  // no keys: the picture's palette holds still
};

struct SceneReadResult {
  Scene scene;
  std::vector<std::string> warnings;
  std::string error;  // "" on success; names the file, the line and the column
  bool ok() const { return error.empty(); }
};

// Scenes bigger than this are refused before any of them is read: four bytes a pixel
// ("255,") for a picture of kMaxPicturePixels.
constexpr int64_t kMaxSceneFileBytes = int64_t(256) << 20;

// Reads a scene from a file or from its bytes; `name` names it in messages. A scene whose
// pixels name colours it does not hold, or whose size is past kMaxPictureSide or
// kMaxPicturePixels, is refused.
SceneReadResult ReadScene(const std::string& path);
SceneReadResult ParseScene(const std::vector<uint8_t>& bytes, const std::string& name);
// Whether the bytes start like a scene: an object, perhaps after a `name =`.
bool LooksLikeScene(const std::vector<uint8_t>& bytes);

// The scene as strict JSON, which every reader of the ecosystem takes.
PictureWriteResult EncodeScene(const Scene& scene);
// Writes the scene like WritePicture. Errors start with the file's name.
PictureWriteResult WriteScene(const std::string& path, const Scene& scene);

// Writes a PNG picture of the palette: a 16 x 16 grid of its colours, register 0 at the
// top left and 15 at the top right; cells past `count` are left empty. Replaces the file
// in one step, like WritePaletteFile. Returns "" or the error, which names the file.
std::string WriteSwatchPng(const std::string& path, const PaletteFile& file);

}  // namespace quorvel
