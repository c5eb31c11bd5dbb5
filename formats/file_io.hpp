// Reading a whole file safely and replacing a file in one step. Internal to the formats
// library.
#pragma once

#include <cstdint>
#include <string>

#include "formats/bytes.hpp"

namespace quorvel::formats {

// Reads the whole of a regular file of at most `maxBytes`. Directories, FIFOs, devices
// and sockets are refused at once, without waiting on them, and a bigger file is refused
// before any of it is read. On failure returns false and `error` says why (without the
// file's name).
bool ReadWholeFile(const std::string& path, int64_t maxBytes, Bytes& bytes, std::string& error);

// Writes the bytes to a new file in the same folder and renames it over `path`, so the
// file is either replaced whole or left as it was; a failed write leaves nothing behind.
// A symbolic link is followed: its target is replaced. Returns "" or why it failed.
std::string ReplaceFile(const std::string& path, const Bytes& bytes);

// True when both names lead to the same existing file.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace quorvel::formats
