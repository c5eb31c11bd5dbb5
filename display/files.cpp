// The file table: numbers 1..255 bound to open files, read in binary.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <mutex>

#include <quorvel/display.hpp>

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
