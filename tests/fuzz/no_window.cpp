// The fuzzer runs headless and never links SDL: no window can be opened. Every picture
// decoder is the library's own or the library made for its kind, so all of them are fuzzed.
#include "display/screen.hpp"

namespace quorvel::detail {

std::unique_ptr<Presenter> OpenSdlPresenter(const ScreenOptions& options, int32_t flags,
                                            std::string& error) {
  (void)options, (void)flags;
  error = "no window in the fuzzer";
  return nullptr;
}

}  // namespace quorvel::detail
