// The file table: numbers 1..255 bound to open files, read in binary. What a number may
// be bound to, the order in which a file is tried, and reads that fill with zeros past the
// end are the same on every system; opening, reading and closing are each system's own
// (files_posix.cpp, files_windows.cpp).
#include <array>
#include <cstring>
#include <mutex>

#include <quorvel/display.hpp>

#include "display/files.hpp"
#include "display/screen.hpp"

namespace quorvel {

detail::FileTable::~FileTable() {
  for (int fd : fds) {
    if (fd >= 0) CloseDescriptor(fd);
  }
}

namespace {

using detail::FileTable;

// The open files are the machine's, kept with its screen.
FileTable& Table() { return detail::TheScreen().files; }

bool ValidNumber(int32_t number) { return number >= 1 && number <= 255; }

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
  using detail::OpenMode;
  FileTable& table = Table();
  std::lock_guard lock(table.mutex);
  if (!ValidNumber(fileNumber) || table.fds[fileNumber] >= 0) return FileResult::BadFileNumber;
  if (name.empty() || name.find('\0') != std::string::npos) return FileResult::FileNotFound;
  int fd = -1;
  if (access == FileAccess::ReadOnly) {
    fd = detail::OpenRegularFile(name, OpenMode::Read);
  } else {
    // Read and write if we may, else create it empty, else settle for reading.
    fd = detail::OpenRegularFile(name, OpenMode::ReadWrite);
    if (fd < 0) fd = detail::OpenRegularFile(name, OpenMode::CreateNew);
    if (fd < 0) fd = detail::OpenRegularFile(name, OpenMode::Read);
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
    const int64_t n = detail::ReadSome(fd, bytes + got, size_t(count - got));
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
      if (fd >= 0) detail::CloseDescriptor(fd);
      fd = -1;
    }
    return FileResult::Ok;
  }
  if (!ValidNumber(fileNumber)) return FileResult::BadFileNumber;
  if (table.fds[fileNumber] >= 0) detail::CloseDescriptor(table.fds[fileNumber]);
  table.fds[fileNumber] = -1;
  return FileResult::Ok;
}

}  // namespace quorvel
