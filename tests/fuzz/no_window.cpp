// The fuzzer runs headless and never links SDL: no window can be opened.
#include "display/screen.hpp"

namespace quorvel::detail {

std::unique_ptr<Presenter> OpenSdlPresenter(int32_t flags, std::string& error) {
  (void)flags;
  error = "no window in the fuzzer";
  return nullptr;
}

}  // namespace quorvel::detail
