// What reading and writing whole files does the same on every system: reading an open
// file to its end within a limit, and a NewFile from creating it beside its target to
// renaming it over it or removing it. The calls each step makes on the system (open,
// sync, rename, remove) are each system's own (files_posix.cpp, files_windows.cpp).
#include <algorithm>
#include <cerrno>
#include <filesystem>
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

std::string NewFile::Create(const std::string& path) {
  Abandon();
  writeError_.clear();
  int mode = -1;
  if (std::string why = WhyNotReplaceable(path, mode); !why.empty()) return why;

  // The new file sits beside the target, so renaming it over the target stays on one
  // volume. It is named by the process and a count, not after the target: a name made
  // from the target's could pass the 255 bytes a file name may have when the target's is
  // near that. Creating it exclusively makes each name one writer's alone.
  const std::filesystem::path target = PathFromUtf8(path);
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  const std::string stem = ".quorvel-" + std::to_string(ProcessId()) + "-";
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temp = Utf8FromPath(folder / PathFromUtf8(stem + std::to_string(attempt) + ".tmp"));
    fd = CreateNewFile(temp);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return SystemError("cannot create a file in " + Utf8FromPath(folder));
  if (!SetFileMode(fd, mode)) {
    const std::string why = SystemError("cannot give the new file its permissions");
    CloseDescriptor(fd);
    RemoveFile(temp);
    return why;
  }
  fd_ = fd;
  target_ = path;
  temp_ = temp;
  buffer_.reserve(kWriteBufferBytes);
  return "";
}

std::string NewFile::Finish() {
  if (fd_ < 0) return "no file is being written";
  std::string error;
  if (!Flush()) {
    error = writeError_;
  } else if (!SyncDescriptor(fd_)) {
    error = SystemError("cannot write it");
  }
  if (!CloseDescriptor(fd_) && error.empty()) error = SystemError("cannot write it");
  fd_ = -1;
  // The target may have changed while this was written (a recording takes a while).
  int mode = -1;
  if (error.empty()) error = WhyNotReplaceable(target_, mode);
  if (error.empty()) error = RenameOver(temp_, target_);
  if (!error.empty()) RemoveFile(temp_);
  temp_.clear();
  buffer_.clear();
  return error;
}

void NewFile::Abandon() {
  if (fd_ < 0) return;
  CloseDescriptor(fd_);
  fd_ = -1;
  RemoveFile(temp_);
  temp_.clear();
  buffer_.clear();
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}

std::string ReplaceFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  NewFile file;
  std::string error = file.Create(path);
  if (!error.empty()) return error;
  file.Write(bytes.data(), bytes.size());
  return file.Finish();
}

}  // namespace quorvel::detail
