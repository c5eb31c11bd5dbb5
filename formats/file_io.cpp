// Whole-file reads that never hang or swallow memory, and whole-file replacement.
#include "formats/file_io.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace quorvel::formats {
namespace {

namespace fs = std::filesystem;

std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a regular file";
}

std::string SystemError(const std::string& doing) { return doing + ": " + std::strerror(errno); }

bool WriteAll(int fd, const Bytes& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

}  // namespace

bool ReadWholeFile(const std::string& path, int64_t maxBytes, Bytes& bytes, std::string& error) {
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

std::string ReplaceFile(const std::string& path, const Bytes& bytes) {
  if (path.empty() || path.find('\0') != std::string::npos) return "no file name";
  std::error_code ec;
  fs::path target = path;
  if (fs::is_symlink(target, ec)) {
    target = fs::canonical(target, ec);
    if (ec) return "is a symbolic link that leads nowhere";
  }
  struct stat existing;
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) return "is " + KindOf(existing.st_mode) + ", not a file";

  // The new file is named by the process and a count, not after the target: a name made
  // from the target's could pass the 255 bytes a file name may have when the target's
  // is near that. O_EXCL makes each name one writer's alone.
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

  // A replaced file keeps its permissions; a new one gets 0666 less the umask.
  bool ok = (!exists || ::fchmod(fd, existing.st_mode & 07777) == 0) && WriteAll(fd, bytes) &&
            ::fsync(fd) == 0;
  std::string error = ok ? "" : SystemError("cannot write it");
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = SystemError("cannot write it");
  }
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
    ok = false;
    error = SystemError("cannot put it in place");
  }
  if (!ok) ::unlink(temp.c_str());
  return error;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat x, y;
  return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
         x.st_ino == y.st_ino;
}

}  // namespace quorvel::formats
