// The platform's file calls, all of them: the file table (numbers 1..255 bound to open
// files, read in binary), whole-file reads, and files replaced by renaming a new one
// over them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>

#include <quorvel/display.hpp>

#include "display/files.hpp"

namespace quorvel {
namespace {

struct FileTable {
  std::mutex mutex;
  std::array<int, 256> fds;  // by file number; -1 when free; slot 0 unused
  FileTable() { fds.fill(-1); }
  ~FileTable() {
    for (int fd : fds) {
      if (fd >= 0) ::close(fd);
    }
  }
};

FileTable& Table() {
  static FileTable table;
  return table;
}

bool ValidNumber(int32_t number) { return number >= 1 && number <= 255; }

// Opens a regular file and nothing else. O_NONBLOCK keeps open() from waiting for a
// writer on a FIFO (or for a device); once fstat shows a regular file, reads block again
// as usual. Directories, FIFOs, devices and sockets are refused at once.
int OpenPath(const std::string& name, int flags) {
  const int fd = ::open(name.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (fd < 0) return -1;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

int32_t FreeFileNumber() {
  FileTable& table = Table();
  std::lock_guard lock(table.mutex);
  for (int32_t number = 1; number <= 255; ++number) {
    if (table.fds[number] < 0) return number;
  }
  return 0;
}

FileResult OpenFile(const std::string& name, int32_t fileNumber, FileAccess access) {
  FileTable& table = Table();
  std::lock_guard lock(table.mutex);
  if (!ValidNumber(fileNumber) || table.fds[fileNumber] >= 0) return FileResult::BadFileNumber;
  if (name.empty() || name.find('\0') != std::string::npos) return FileResult::FileNotFound;
  int fd = -1;
  if (access == FileAccess::ReadOnly) {
    fd = OpenPath(name, O_RDONLY);
  } else {
    // Read and write if we may, else create it empty, else settle for reading.
    fd = OpenPath(name, O_RDWR);
    if (fd < 0) fd = OpenPath(name, O_RDWR | O_CREAT | O_EXCL);
    if (fd < 0) fd = OpenPath(name, O_RDONLY);
  }
  if (fd < 0) return FileResult::FileNotFound;
  table.fds[fileNumber] = fd;
  return FileResult::Ok;
}

FileResult ReadFileBytes(int32_t fileNumber, void* destination, int32_t count,
                         int32_t* bytesRead) {
  if (bytesRead) *bytesRead = 0;
  int fd;
  {
    FileTable& table = Table();
    std::lock_guard lock(table.mutex);
    if (!ValidNumber(fileNumber) || table.fds[fileNumber] < 0) return FileResult::BadFileNumber;
    fd = table.fds[fileNumber];
  }
  if (count <= 0 || destination == nullptr) return FileResult::Ok;
  auto* bytes = static_cast<uint8_t*>(destination);
  int32_t got = 0;
  FileResult result = FileResult::Ok;
  while (got < count) {
    const ssize_t n = ::read(fd, bytes + got, size_t(count - got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) result = FileResult::DeviceError;
    if (n <= 0) break;
    got += static_cast<int32_t>(n);
  }
  std::memset(bytes + got, 0, size_t(count - got));  // past the end reads as zeros
  if (bytesRead) *bytesRead = got;
  return result;
}

FileResult CloseFile(int32_t fileNumber) {
  FileTable& table = Table();
  std::lock_guard lock(table.mutex);
  if (fileNumber == 0) {
    for (int& fd : table.fds) {
      if (fd >= 0) ::close(fd);
      fd = -1;
    }
    return FileResult::Ok;
  }
  if (fileNumber < 0 || fileNumber > 255) return FileResult::BadFileNumber;
  if (table.fds[fileNumber] >= 0) ::close(table.fds[fileNumber]);
  table.fds[fileNumber] = -1;
  return FileResult::Ok;
}

}  // namespace quorvel

namespace quorvel::detail {
namespace {

namespace fs = std::filesystem;

std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a regular file";
}

// Why `path` may not be replaced, or "" when it may: when nothing is there (or a link
// that leads nowhere), `mode` is -1, else the replaced file's permissions. Only the
// name is looked at, never opened, so a FIFO or device cannot make this wait.
std::string WhyNotReplaceable(const std::string& path, int& mode) {
  mode = -1;
  if (path.empty() || path.find('\0') != std::string::npos) return "no file name";
  struct stat entry;
  if (::lstat(path.c_str(), &entry) != 0) {
    return errno == ENOENT ? "" : SystemError("cannot examine it");
  }
  const bool link = S_ISLNK(entry.st_mode);
  struct stat info = entry;
  if (link && ::stat(path.c_str(), &info) != 0) {
    return errno == ENOENT ? "" : SystemError("cannot examine what it leads to");
  }
  if (!S_ISREG(info.st_mode)) return (link ? "leads to " : "is ") + KindOf(info.st_mode) + ", not a file";
  // Root may write any file, so for root the mode alone says "leave it alone".
  if ((info.st_mode & 0222) == 0) {
    char octal[8];
    std::snprintf(octal, sizeof octal, "%04o", unsigned(info.st_mode & 07777));
    return std::string("is read-only (mode ") + octal + "), so it is not replaced";
  }
  // Asked for the user who ran the program (the real user, as access asks), who might
  // not have written the file in place: only its folder lets it be replaced.
  if (::access(path.c_str(), W_OK) != 0) {
    return SystemError("may not be written, so it is not replaced");
  }
  mode = int(info.st_mode & 0777);
  return "";
}

}  // namespace

std::string SystemError(const std::string& doing) { return doing + ": " + std::strerror(errno); }

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = EIO;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

std::filesystem::path PathFromUtf8(const std::string& utf8) { return fs::path(utf8); }

bool ReadWholeFile(const std::string& path, int64_t maxBytes, std::vector<uint8_t>& bytes,
                   std::string& error) {
  bytes.clear();
  if (path.empty() || path.find('\0') != std::string::npos) {
    error = "no such file";
    return false;
  }
  // O_NONBLOCK: opening a FIFO with no writer returns at once instead of waiting.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    // A socket cannot be opened at all (ENXIO): say what it is, as for a FIFO or device.
    const int openError = errno;
    struct stat info;
    if (openError == ENOENT) {
      error = "no such file";
    } else if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
      error = "is " + KindOf(info.st_mode) + ", not a file";
    } else {
      errno = openError;
      error = SystemError("cannot open it");
    }
    return false;
  }
  struct stat info;
  bool ok = false;
  if (::fstat(fd, &info) != 0) {
    error = SystemError("cannot examine it");
  } else if (!S_ISREG(info.st_mode)) {
    error = "is " + KindOf(info.st_mode) + ", not a file";
  } else if (info.st_size > maxBytes) {
    error = "is " + std::to_string(info.st_size) + " bytes; at most " +
            std::to_string(maxBytes) + " are read";
  } else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    error = SystemError("cannot read it");
  } else {
    // Read one byte past the limit to notice a file that grew after fstat.
    bytes.resize(size_t(info.st_size) + 1);
    size_t got = 0;
    ok = true;
    while (ok && got < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        error = SystemError("cannot read it");
        ok = false;
      } else if (n == 0) {
        break;
      } else {
        got += size_t(n);
        if (int64_t(got) > maxBytes) {
          error = "grew past " + std::to_string(maxBytes) + " bytes while being read";
          ok = false;
        } else if (got == bytes.size()) {
          bytes.resize(std::min<size_t>(bytes.size() * 2, size_t(maxBytes) + 1));
        }
      }
    }
    bytes.resize(ok ? got : 0);
  }
  ::close(fd);
  return ok;
}

std::string NewFile::Create(const std::string& path) {
  Abandon();
  writeError_.clear();
  int mode = -1;
  if (std::string why = WhyNotReplaceable(path, mode); !why.empty()) return why;

  // The new file is named by the process and a count, not after the target: a name made
  // from the target's could pass the 255 bytes a file name may have when the target's
  // is near that. O_EXCL makes each name one writer's alone.
  const fs::path target = path;
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const std::string stem = ".quorvel-" + std::to_string(::getpid()) + "-";
  fs::path temp;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temp = folder / (stem + std::to_string(attempt) + ".tmp");
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return SystemError("cannot create a file in " + folder.string());
  if (mode >= 0 && ::fchmod(fd, mode_t(mode)) != 0) {
    const std::string why = SystemError("cannot give the new file its permissions");
    ::close(fd);
    ::unlink(temp.c_str());
    return why;
  }
  fd_ = fd;
  target_ = path;
  temp_ = temp.string();
  buffer_.reserve(kWriteBufferBytes);
  return "";
}

std::string NewFile::Finish() {
  if (fd_ < 0) return "no file is being written";
  std::string error;
  if (!Flush()) {
    error = writeError_;
  } else if (::fsync(fd_) != 0) {
    error = SystemError("cannot write it");
  }
  if (::close(fd_) != 0 && error.empty()) error = SystemError("cannot write it");
  fd_ = -1;
  // The target may have changed while this was written (a recording takes a while).
  int mode = -1;
  if (error.empty()) error = WhyNotReplaceable(target_, mode);
  if (error.empty() && ::rename(temp_.c_str(), target_.c_str()) != 0) {
    error = SystemError("cannot put it in place");
  }
  if (!error.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  buffer_.clear();
  return error;
}

void NewFile::Abandon() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  ::unlink(temp_.c_str());
  temp_.clear();
  buffer_.clear();
}


}  // namespace quorvel::detail
