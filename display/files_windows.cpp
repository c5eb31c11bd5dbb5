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
std::string WhyNotReplaceableWide(const std::wstring& path) {
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

// Windows keeps no permission bits to hand on: `mode` is always -1.
std::string WhyNotReplaceable(const std::string& path, int& mode) {
  mode = -1;
  return WhyNotReplaceableWide(WideName(path));
}

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

bool CloseDescriptor(int fd) { return ::_close(fd) == 0; }

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

int ProcessId() { return ::_getpid(); }

int CreateNewFile(const std::string& utf8Path) {
  const std::wstring wide = WideName(utf8Path);
  if (wide.empty()) return -1;
  return ::_wopen(wide.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
}

// A new file's permissions are its folder's; the read-only attribute was refused before.
bool SetFileMode(int, int) { return true; }

bool SyncDescriptor(int fd) { return ::_commit(fd) == 0; }

std::string RenameOver(const std::string& from, const std::string& to) {
  const bool moved = ::MoveFileExW(WideName(from).c_str(), WideName(to).c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  return moved ? "" : WindowsError("cannot put it in place");
}

void RemoveFile(const std::string& utf8Path) { ::DeleteFileW(WideName(utf8Path).c_str()); }

}  // namespace quorvel::detail
