// Pictures written: the format by its name or the file's extension, the checks every
// format needs, then the encoder of the format, and the file replaced in one step.
#include <algorithm>
#include <cctype>

#include <quorvel/formats.hpp>

#include "formats/file_io.hpp"
#include "formats/picture_decoders.hpp"
#include "formats/picture_encoders.hpp"
#include "formats/picture_header.hpp"

namespace quorvel {
namespace {

struct FormatName {
  PictureFormat format;
  std::string_view name;
};
constexpr FormatName kNames[] = {{PictureFormat::Ilbm, "ilbm"}, {PictureFormat::Pbm, "pbm"},
                                 {PictureFormat::Png, "png"},   {PictureFormat::Gif, "gif"},
                                 {PictureFormat::Scene, "scene"}};

struct Extension {
  std::string_view extension;
  PictureFormat format;
};
constexpr Extension kExtensions[] = {{".lbm", PictureFormat::Ilbm},   {".ilbm", PictureFormat::Ilbm},
                                     {".iff", PictureFormat::Ilbm},   {".pbm", PictureFormat::Pbm},
                                     {".bbm", PictureFormat::Pbm},    {".png", PictureFormat::Png},
                                     {".gif", PictureFormat::Gif},    {".json", PictureFormat::Scene},
                                     {".js", PictureFormat::Scene}};

}  // namespace

std::string formats::PictureWriteProblem(const IndexedPicture& picture) {
  if (std::string problem = formats::PictureSizeProblem(picture.width, picture.height); !problem.empty()) {
    return "the picture is " + problem;
  }
  if (picture.pixels.size() != size_t(picture.width) * size_t(picture.height)) {
    return "the picture holds " + std::to_string(picture.pixels.size()) + " pixels, not its " +
           std::to_string(picture.width) + " x " + std::to_string(picture.height);
  }
  if (picture.colourCount < 1 || picture.colourCount > 256) {
    return "the picture defines " + std::to_string(picture.colourCount) + " colours: it must be 1..256";
  }
  for (size_t i = 0; i < picture.cycles.size(); ++i) {
    const Cycle& c = picture.cycles[i].cycle;
    // A low above the high is an empty range that files hold (and readers keep, not
    // running): it is written as it is.
    const auto outside = [](int32_t r) { return r < 0 || r > 255; };
    if (outside(c.low) || outside(c.high)) {
      return "cycle " + std::to_string(i + 1) + " runs over registers " + std::to_string(c.low) + ".." +
             std::to_string(c.high) + ": they must be within 0..255";
    }
  }
  return formats::CheckPixelColours(picture, "its palette");
}

std::string_view PictureFormatName(PictureFormat format) {
  for (const FormatName& n : kNames) {
    if (n.format == format) return n.name;
  }
  return "unknown";
}

PictureFormat PictureFormatFromName(std::string_view name) {
  for (const FormatName& n : kNames) {
    if (n.name == name) return n.format;
  }
  return PictureFormat::Unknown;
}

PictureFormat PictureFormatOfPath(std::string_view path) {
  std::string lower(path);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  for (const Extension& e : kExtensions) {
    if (lower.ends_with(e.extension)) return e.format;
  }
  return PictureFormat::Unknown;
}

void formats::WarnCyclesLeftOut(const IndexedPicture& picture, const char* format, std::vector<std::string>& warnings) {
  if (picture.cycles.empty()) return;
  warnings.push_back(std::string("a ") + format + " keeps no colour cycles: the picture's " +
                     std::to_string(picture.cycles.size()) + " are left out");
}

PictureWriteResult EncodePicture(const IndexedPicture& picture, PictureFormat format,
                                 const PictureWriteOptions& options) {
  PictureWriteResult out;
  if (format == PictureFormat::Scene) {
    Scene scene;
    scene.picture = picture;
    return EncodeScene(scene);
  }
  out.error = formats::PictureWriteProblem(picture);
  if (!out.ok()) return out;
  bool written = false;
  switch (format) {
    case PictureFormat::Ilbm:
    case PictureFormat::Pbm:
      written = formats::EncodeIff(picture, format == PictureFormat::Pbm, options, out.bytes, out.warnings, out.error);
      break;
    case PictureFormat::Png: written = formats::EncodePng(picture, out.bytes, out.warnings, out.error); break;
    case PictureFormat::Gif: written = formats::EncodeGif(picture, out.bytes, out.warnings, out.error); break;
    default: out.error = "no picture format was given, and none is known by the file's name"; break;
  }
  if (!written) {
    out.bytes.clear();
    out.warnings.clear();
  }
  return out;
}

namespace formats {

PictureWriteResult WriteEncoded(const std::string& path, PictureWriteResult out) {
  if (out.ok()) out.error = formats::ReplaceFile(path, out.bytes);
  out.bytes.clear();
  if (!out.ok()) {
    out.error = path + ": " + out.error;
    out.warnings.clear();
  }
  for (std::string& warning : out.warnings) warning = path + ": " + warning;
  return out;
}

}  // namespace formats

PictureWriteResult WritePicture(const std::string& path, const IndexedPicture& picture, PictureFormat format,
                                const PictureWriteOptions& options) {
  if (format == PictureFormat::Unknown) format = PictureFormatOfPath(path);
  return formats::WriteEncoded(path, EncodePicture(picture, format, options));
}

}  // namespace quorvel
