// The platform's file calls on POSIX systems: opening regular files and nothing else,
// whole-file reads, and files replaced by renaming a new one over them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "display/files.hpp"

namespace quorvel::detail {
namespace {

std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a regular file";
}

}  // namespace

// Only the name is looked at, never opened, so a FIFO or device cannot make this wait.
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

// O_NONBLOCK keeps open() from waiting for a writer on a FIFO (or for a device); once
// fstat shows a regular file, reads block again as usual.
int OpenRegularFile(const std::string& utf8Name, OpenMode mode) {
  if (utf8Name.empty() || utf8Name.find('\0') != std::string::npos) return -1;
  const int flags = mode == OpenMode::Read ? O_RDONLY
                    : mode == OpenMode::ReadWrite ? O_RDWR
                                                  : O_RDWR | O_CREAT | O_EXCL;
  const int fd = ::open(utf8Name.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (fd < 0) return -1;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int64_t ReadSome(int fd, void* data, size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd, data, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

bool CloseDescriptor(int fd) { return ::close(fd) == 0; }

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

std::filesystem::path PathFromUtf8(const std::string& utf8) { return std::filesystem::path(utf8); }

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
  } else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    error = SystemError("cannot read it");
  } else {
    ok = ReadOpenFile(fd, int64_t(info.st_size), maxBytes, bytes, error);
  }
  ::close(fd);
  return ok;
}

int ProcessId() { return int(::getpid()); }

int CreateNewFile(const std::string& utf8Path) {
  return ::open(utf8Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
}

bool SetFileMode(int fd, int mode) { return mode < 0 || ::fchmod(fd, mode_t(mode)) == 0; }

bool SyncDescriptor(int fd) { return ::fsync(fd) == 0; }

std::string RenameOver(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? "" : SystemError("cannot put it in place");
}

void RemoveFile(const std::string& utf8Path) { ::unlink(utf8Path.c_str()); }

}  // namespace quorvel::detail
