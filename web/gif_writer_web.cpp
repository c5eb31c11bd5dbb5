// The GIF writer of the web build: a page has no giflib, so recording says so plainly
// instead of failing at link time or half-way through.
#include "display/gif_writer.hpp"

namespace quorvel::detail {

GifWriter::~GifWriter() = default;

std::string GifWriter::Open(const std::string&, int32_t, int32_t) {
  return "recording to a GIF is not available in a web page";
}

std::vector<uint8_t> GifWriter::Put(GifFrame) { return {}; }

std::string GifWriter::Close() { return ""; }

}  // namespace quorvel::detail
