// Placeholder until the SDL window lands: no window can be opened yet.
#include "display/screen.hpp"

namespace quorvel::detail {

std::unique_ptr<Presenter> OpenSdlPresenter(int32_t flags, std::string& error) {
  (void)flags;
  error = "no window: the SDL presenter is not built yet";
  return nullptr;
}

}  // namespace quorvel::detail
