// The platform's file calls on Windows: opening regular files and nothing else, whole-file
// reads, and files replaced by renaming a new one over them. Names are UTF-8, as
// everywhere else in the library, and go to the wide calls, so any name the system can
// hold works.
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>
// windows.h names its own ReplaceFile (a macro for ReplaceFileW); this file defines ours.
#undef ReplaceFile

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "display/files.hpp"

namespace quorvel::detail {
namespace {

// "" for a name that is empty, holds a NUL or is not UTF-8: no file has that name.
std::wstring WideName(const std::string& utf8) {
  if (utf8.empty() || utf8.find('\0') != std::string::npos) return L"";
  const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()),
                                      nullptr, 0);
  if (n <= 0) return L"";
  std::wstring wide(size_t(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), wide.data(), n);
  return wide;
}

// What an open descriptor is, when it is not a file on a disk ("" when it is). Devices
// (NUL, CON, COM1) and pipes open at once on Windows, so they are refused once open.
std::string NotADisk(int fd) {
  switch (::GetFileType(reinterpret_cast<HANDLE>(::_get_osfhandle(fd)))) {
    case FILE_TYPE_DISK: return "";
    case FILE_TYPE_PIPE: return "a pipe";
    case FILE_TYPE_CHAR: return "a device";
    default: return "not a regular file";
  }
}

std::string WindowsError(const std::string& doing, DWORD code = ::GetLastError()) {
  std::string text = std::system_category().message(int(code));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) text.pop_back();
  return doing + ": " + text;
}

bool Missing(DWORD code) { return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND; }

// Why `path` may not be replaced, or "" when it may (nothing there, or a file that is not
// read-only). The name is opened for no access at all, which never waits and never
// connects to a pipe's server; a symbolic link is looked at itself, as it is replaced.
std::string WhyNotReplaceable(const std::wstring& path) {
  if (path.empty()) return "no file name";
  const HANDLE handle = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    return Missing(code) ? "" : WindowsError("cannot examine it", code);
  }
  std::string why;
  BY_HANDLE_FILE_INFORMATION info;
  const DWORD type = ::GetFileType(handle);
  if (type == FILE_TYPE_CHAR) {
    why = "is a device, not a file";
  } else if (type == FILE_TYPE_PIPE) {
    why = "is a pipe, not a file";
  } else if (!::GetFileInformationByHandle(handle, &info)) {
    why = WindowsError("cannot examine it");
  } else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    why = "is a directory, not a file";
  } else if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
    why = "is read-only, so it is not replaced";
  }
  ::CloseHandle(handle);
  return why;
}

}  // namespace

// A directory cannot be opened this way at all; devices and pipes are refused once open.
int OpenRegularFile(const std::string& utf8Name, OpenMode mode) {
  const std::wstring wide = WideName(utf8Name);
  if (wide.empty()) return -1;
  const int flags = mode == OpenMode::Read ? _O_RDONLY
                    : mode == OpenMode::ReadWrite ? _O_RDWR
                                                  : _O_RDWR | _O_CREAT | _O_EXCL;
  const int fd = ::_wopen(wide.c_str(), flags | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
  if (fd < 0) return -1;
  if (!NotADisk(fd).empty()) {
    ::_close(fd);
    return -1;
  }
  return fd;
}

int64_t ReadSome(int fd, void* data, size_t size) {
  return ::_read(fd, data, unsigned(std::min<size_t>(size, 1u << 30)));
}

void CloseDescriptor(int fd) { ::_close(fd); }

std::string SystemError(const std::string& doing) { return doing + ": " + std::strerror(errno); }

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const unsigned chunk = unsigned(std::min<size_t>(size - done, 1u << 30));
    const int n = ::_write(fd, data + done, chunk);
    if (n == 0) errno = EIO;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

std::filesystem::path PathFromUtf8(const std::string& utf8) {
  return std::filesystem::path(std::wstring_view(WideName(utf8)));
}

bool ReadWholeFile(const std::string& path, int64_t maxBytes, std::vector<uint8_t>& bytes,
                   std::string& error) {
  bytes.clear();
  const std::wstring wide = WideName(path);
  if (wide.empty()) {
    error = "no such file";
    return false;
  }
  const int fd = ::_wopen(wide.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) {
    const int openError = errno;
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES && Missing(::GetLastError())) {
      error = "no such file";
    } else if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      error = "is a directory, not a file";
    } else {
      errno = openError;
      error = SystemError("cannot open it");
    }
    return false;
  }
  struct _stat64 info;
  bool ok = false;
  if (const std::string kind = NotADisk(fd); !kind.empty()) {
    error = "is " + kind + ", not a file";
  } else if (::_fstat64(fd, &info) != 0) {
    error = SystemError("cannot examine it");
  } else {
    ok = ReadOpenFile(fd, int64_t(info.st_size), maxBytes, bytes, error);
  }
  ::_close(fd);
  return ok;
}

std::string NewFile::Create(const std::string& path) {
  Abandon();
  writeError_.clear();
  const std::wstring wide = WideName(path);
  if (std::string why = wide.empty() ? "no file name" : WhyNotReplaceable(wide); !why.empty()) {
    return why;
  }
  // The new file sits beside the target, so renaming it over the target stays on one
  // volume; it is named by the process and a count, and _O_EXCL makes it one writer's.
  const std::filesystem::path target(wide);
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(L".");
  const std::wstring stem = L".quorvel-" + std::to_wstring(::_getpid()) + L"-";
  std::filesystem::path temp;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temp = folder / (stem + std::to_wstring(attempt) + L".tmp");
    fd = ::_wopen(temp.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return SystemError("cannot create a file in its folder");
  fd_ = fd;
  target_ = path;
  temp_ = reinterpret_cast<const char*>(temp.u8string().c_str());
  buffer_.reserve(kWriteBufferBytes);
  return "";
}

std::string NewFile::Finish() {
  if (fd_ < 0) return "no file is being written";
  std::string error;
  if (!Flush()) {
    error = writeError_;
  } else if (::_commit(fd_) != 0) {
    error = SystemError("cannot write it");
  }
  if (::_close(fd_) != 0 && error.empty()) error = SystemError("cannot write it");
  fd_ = -1;
  // The target may have changed while this was written (a recording takes a while).
  const std::wstring target = WideName(target_);
  const std::wstring temp = WideName(temp_);
  if (error.empty()) error = WhyNotReplaceable(target);
  if (error.empty() &&
      !::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = WindowsError("cannot put it in place");
  }
  if (!error.empty()) ::DeleteFileW(temp.c_str());
  temp_.clear();
  buffer_.clear();
  return error;
}

void NewFile::Abandon() {
  if (fd_ < 0) return;
  ::_close(fd_);
  fd_ = -1;
  ::DeleteFileW(WideName(temp_).c_str());
  temp_.clear();
  buffer_.clear();
}


}  // namespace quorvel::detail
