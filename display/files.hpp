// Whole-file reads that never hang or swallow memory, and writes that replace a file
// whole or not at all. The platform's file calls live behind these (files_posix.cpp,
// files_windows.cpp; what is the same on every system is in files.cpp and
// file_table.cpp); the recorder and the formats library write through them. Internal to
// the library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quorvel::detail {

// Reads the whole of a regular file of at most `maxBytes`. Directories, FIFOs, devices
// and sockets are refused at once, without waiting on them, and a bigger file is refused
// before any of it is read. On failure returns false and `error` says why (without the
// file's name).
bool ReadWholeFile(const std::string& path, int64_t maxBytes, std::vector<uint8_t>& bytes,
                   std::string& error);

// A file written beside the one it replaces and renamed over it once complete, so the
// target is replaced whole or left as it was, and a failed write leaves nothing behind.
//
// What may be replaced: nothing yet, or a regular file that this user may write and whose
// mode lets someone write it. A directory, FIFO, device or socket is refused (nothing is
// ever opened on it, so nothing waits), and so is a read-only file: one the user may not
// write, and one with no write bit at all, even for root, whom the system would let
// write it but whose mode says it is not to be changed. A symbolic link is replaced
// itself, not the file it leads to; a link that leads to something refused is refused.
// A replaced file's permissions go to the new one; a new file gets 0666 less the umask.
class NewFile {
 public:
  NewFile() = default;
  ~NewFile() { Abandon(); }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // Checks that `path` may be replaced and creates the new file beside it. Returns "" or
  // why not (without the file's name).
  std::string Create(const std::string& path);
  // Appends bytes. False once any write has failed; what comes after is dropped.
  bool Write(const void* data, size_t size);
  // Why a write failed; "" while none has.
  const std::string& WriteError() const { return writeError_; }
  // Writes out what is held, checks the target again and renames the new file over it.
  // Returns "" or why not; then the new file is gone and the target as it was.
  std::string Finish();
  // Removes the new file; the target stays as it was. Nothing when none is open.
  void Abandon();

 private:
  bool Flush();

  int fd_ = -1;
  std::string target_;
  std::string temp_;
  std::vector<uint8_t> buffer_;  // small writes gathered into larger ones
  std::string writeError_;
};

// What each system's file code gives the portable rest (files_posix.cpp,
// files_windows.cpp).
// How OpenRegularFile opens: reading, reading and writing, or creating a file that is
// not there yet for both.
enum class OpenMode { Read, ReadWrite, CreateNew };
// Opens a regular file in binary, and nothing else: a directory, FIFO, device, pipe or
// socket is refused without waiting on it. The descriptor, or -1.
int OpenRegularFile(const std::string& utf8Name, OpenMode mode);
// Reads up to `size` bytes: how many, 0 at the end, -1 on failure (with errno set).
int64_t ReadSome(int fd, void* data, size_t size);
bool CloseDescriptor(int fd);
// Why `path` may not be replaced as NewFile describes, or "" when it may; then `mode` is
// the permissions the new file takes over, or -1 for none.
std::string WhyNotReplaceable(const std::string& path, int& mode);
// Creates a file that is not there yet for writing (errno EEXIST when one is); -1 on
// failure.
int CreateNewFile(const std::string& utf8Path);
// Gives a new file permissions (nothing for -1); false on failure.
bool SetFileMode(int fd, int mode);
// Makes what was written to `fd` reach the disk; false on failure.
bool SyncDescriptor(int fd);
// Renames `from` over `to`, replacing it. Returns "" or why not.
std::string RenameOver(const std::string& from, const std::string& to);
void RemoveFile(const std::string& utf8Path);
int ProcessId();
// Writes all of `size` bytes to a file descriptor.
bool WriteAll(int fd, const uint8_t* data, size_t size);
// The message for what the last failed call of the C library set in errno.
std::string SystemError(const std::string& doing);

// The rest of ReadWholeFile once the system has opened a regular file of `size` bytes:
// refuses one bigger than `maxBytes`, and one that grows past it while being read
// (files.cpp).
bool ReadOpenFile(int fd, int64_t size, int64_t maxBytes, std::vector<uint8_t>& bytes,
                  std::string& error);

// Small writes to a NewFile are gathered up to this before they go to the system.
constexpr size_t kWriteBufferBytes = 64 * 1024;

// A file name as the library takes it, UTF-8 on every system, as a path: on Windows
// std::filesystem would read a plain string in the system's code page instead.
std::filesystem::path PathFromUtf8(const std::string& utf8);
// And back: a path as a UTF-8 name.
std::string Utf8FromPath(const std::filesystem::path& path);

// Replaces `path` with the bytes through a NewFile. Returns "" or why not.
std::string ReplaceFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace quorvel::detail
