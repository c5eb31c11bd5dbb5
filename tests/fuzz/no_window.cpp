// The fuzzer runs headless and never links SDL: no window can be opened, and no picture is
// handed to SDL2_image (the fuzzer calls the decoders of the formats library itself).
#include "display/screen.hpp"
#include "formats/picture_decoders.hpp"

namespace quorvel::detail {

std::unique_ptr<Presenter> OpenSdlPresenter(int32_t flags, std::string& error) {
  (void)flags;
  error = "no window in the fuzzer";
  return nullptr;
}

}  // namespace quorvel::detail

namespace quorvel::formats {

// The kinds still decoded through SDL2_image.
std::string DecodePcx(const Bytes&, IndexedPicture&) { return "no SDL2_image in the fuzzer"; }
std::string DecodeBmp(const Bytes&, IndexedPicture&) { return "no SDL2_image in the fuzzer"; }

}  // namespace quorvel::formats
