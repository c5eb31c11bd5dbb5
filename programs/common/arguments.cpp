#include "programs/common/arguments.hpp"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "display/files.hpp"

namespace quorvel::programs {

bool ParseDecimal(std::string_view text, double& value) {
  if (text.empty() || !(std::isdigit(uint8_t(text[0])) || text[0] == '-' || text[0] == '.')) return false;
  if (text.find_first_not_of("0123456789.eE+-") != std::string_view::npos) return false;
  // strtod: the browser's library has no from_chars for floating point.
  const std::string copy(text);
  char* end = nullptr;
  const double parsed = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

bool ParseSeconds(std::string_view text, double& seconds) {
  double value = 0;
  if (!ParseDecimal(text, value) || !(value > 0)) return false;
  seconds = value;
  return true;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(detail::PathFromUtf8(a), detail::PathFromUtf8(b), ec);
}

}  // namespace quorvel::programs
