// What the programs' command lines share: numbers, and telling an output that is the
// input.
#pragma once

#include <string>
#include <string_view>

namespace quorvel::programs {

// A finite decimal number and nothing else: digits, a point, an exponent and a leading
// minus; not "inf", "nan", "0x10", " 2" or "2abc".
bool ParseDecimal(std::string_view text, double& value);
// A number of seconds above 0, for --seconds.
bool ParseSeconds(std::string_view text, double& seconds);

// True when both names lead to one existing file (the same device and inode), whatever
// the names: a hard link, another path or a symbolic link to it.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace quorvel::programs
