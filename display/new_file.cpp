// What writing a new file does the same on every system: gathering small writes and
// replacing a file with bytes in one step. Creating, finishing and abandoning the file are
// each system's own (files_posix.cpp, files_windows.cpp).
#include "display/files.hpp"

namespace quorvel::detail {

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
