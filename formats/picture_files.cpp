// Indexed pictures from files or their bytes: the picture from the decoder of the build,
// then the colour cycles of an IFF file.
#include <quorvel/formats.hpp>

#include "formats/file_io.hpp"
#include "formats/picture_header.hpp"

namespace quorvel {

PictureReadResult ParsePicture(const std::vector<uint8_t>& bytes, const std::string& name,
                               const CycleReadOptions& options) {
  PictureReadResult out;
  if (std::string error = formats::DecodePicture(bytes, out.picture); !error.empty()) {
    out.error = name + ": " + error;
    return out;
  }
  CycleReadResult cycles = ReadCycleChunks(bytes, options);
  out.picture.cycles = std::move(cycles.cycles);
  for (const std::string& warning : cycles.warnings) out.warnings.push_back(name + ": " + warning);
  return out;
}

PictureReadResult LoadIndexedPicture(const std::string& path, const CycleReadOptions& options) {
  formats::Bytes bytes;
  std::string error;
  if (!formats::ReadWholeFile(path, kMaxPictureFileBytes, bytes, error)) {
    PictureReadResult out;
    out.error = path + ": " + error;
    return out;
  }
  return ParsePicture(bytes, path, options);
}

}  // namespace quorvel
