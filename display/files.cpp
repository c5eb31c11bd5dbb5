// What reading and writing whole files does the same on every system: reading an open
// file to its end within a limit, gathering small writes and replacing a file with bytes
// in one step. Opening, creating, finishing and abandoning files are each system's own
// (files_posix.cpp, files_windows.cpp).
#include <algorithm>
#include <string>

#include "display/files.hpp"

namespace quorvel::detail {

bool ReadOpenFile(int fd, int64_t size, int64_t maxBytes, std::vector<uint8_t>& bytes,
                  std::string& error) {
  bytes.clear();
  if (size > maxBytes) {
    error = "is " + std::to_string(size) + " bytes; at most " + std::to_string(maxBytes) +
            " are read";
    return false;
  }
  // Read one byte past the size to notice a file that grew after it was measured.
  bytes.resize(size_t(size) + 1);
  size_t got = 0;
  for (;;) {
    const int64_t n = ReadSome(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0) {
      error = SystemError("cannot read it");
      bytes.clear();
      return false;
    }
    if (n == 0) break;
    got += size_t(n);
    if (int64_t(got) > maxBytes) {
      error = "grew past " + std::to_string(maxBytes) + " bytes while being read";
      bytes.clear();
      return false;
    }
    if (got == bytes.size()) bytes.resize(std::min<size_t>(bytes.size() * 2, size_t(maxBytes) + 1));
  }
  bytes.resize(got);
  return true;
}

bool NewFile::Flush() {
  if (!writeError_.empty()) return false;
  if (!WriteAll(fd_, buffer_.data(), buffer_.size())) {
    writeError_ = SystemError("cannot write it");
    return false;
  }
  buffer_.clear();
  return true;
}

bool NewFile::Write(const void* data, size_t size) {
  if (fd_ < 0 || !writeError_.empty()) return false;
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (buffer_.size() + size > kWriteBufferBytes && !Flush()) return false;
  if (size < kWriteBufferBytes) {
    buffer_.insert(buffer_.end(), bytes, bytes + size);
    return true;
  }
  if (!WriteAll(fd_, bytes, size)) {
    writeError_ = SystemError("cannot write it");
    return false;
  }
  return true;
}

std::string ReplaceFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  NewFile file;
  std::string error = file.Create(path);
  if (!error.empty()) return error;
  file.Write(bytes.data(), bytes.size());
  return file.Finish();
}

}  // namespace quorvel::detail
