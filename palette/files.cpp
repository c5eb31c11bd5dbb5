// Reading palette files into tables of source colours, and the two loaders.
//
// A palette file is only ever read: it is opened read-only, so a wrong name leaves nothing
// behind. Whatever a file cannot supply (it is missing, unreadable or short) reads as
// zero bytes, so the routines always run to their end with black in place of the missing
// colours; LastPaletteFileError says afterwards what happened.
#include <array>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include <quorvel/display.hpp>
#include "display/files.hpp"
#include "palette/tables.hpp"

namespace quorvel {
namespace {

constexpr int32_t kFilePalBytes = 768;    // 256 records of red, green, blue
constexpr int32_t kPP256PalBytes = 1024;  // 256 little-endian 32-bit PalColors

// Per thread, so that one thread's reads never answer another thread's question.
thread_local PaletteFileStatus lastStatus;

// Why a file could not be opened: a name that leads nowhere is missing; anything that is
// there but refused us (a directory, no permission, no free file number) is unreadable.
PaletteFileError OpenFailure(const std::string& fileName) {
  std::error_code ec;
  const auto status = std::filesystem::status(detail::PathFromUtf8(fileName), ec);
  return status.type() == std::filesystem::file_type::not_found
             ? PaletteFileError::Missing
             : PaletteFileError::Unreadable;
}

// Fills `bytes` from the start of the file, zeros where the file has nothing to give,
// and records the outcome. The file is open only for the length of this call and under a
// number of its own, so files the caller holds open are left alone.
template <size_t N>
std::array<uint8_t, N> ReadPaletteBytes(const std::string& fileName) {
  std::array<uint8_t, N> bytes{};
  PaletteFileStatus status{PaletteFileError::None, fileName, 0};
  const int32_t number = FreeFileNumber();
  if (number == 0 || OpenFile(fileName, number, FileAccess::ReadOnly) != FileResult::Ok) {
    status.error = OpenFailure(fileName);
  } else {
    const FileResult result =
        ReadFileBytes(number, bytes.data(), static_cast<int32_t>(N), &status.bytesRead);
    CloseFile(number);
    if (result != FileResult::Ok) {
      status.error = PaletteFileError::Unreadable;
    } else if (status.bytesRead < static_cast<int32_t>(N)) {
      status.error = PaletteFileError::Short;
    }
  }
  lastStatus = status;
  return bytes;
}

}  // namespace

PaletteFileStatus LastPaletteFileError() { return lastStatus; }

namespace detail {

ColorTable ReadFilePalTable(const std::string& fileName) {
  const auto bytes = ReadPaletteBytes<kFilePalBytes>(fileName);
  ColorTable table;
  for (size_t i = 0; i < table.size(); ++i) {
    table[i] = {bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]};
  }
  return table;
}

ColorTable ReadPP256PalTable(const std::string& fileName) {
  const auto bytes = ReadPaletteBytes<kPP256PalBytes>(fileName);
  ColorTable table;
  for (size_t i = 0; i < table.size(); ++i) {
    const uint8_t* record = &bytes[4 * i];
    const uint32_t u = record[0] | uint32_t(record[1]) << 8 | uint32_t(record[2]) << 16 |
                       uint32_t(record[3]) << 24;
    // Blue takes all of the upper half, sign included, so that a malformed record still
    // re-joins to exactly the value stored: r + g*256 + b*65536 == v.
    const int32_t v = static_cast<int32_t>(u);
    const int32_t b = v >> 16;  // arithmetic: floor(v / 65536)
    const int32_t rest = static_cast<int32_t>(u & 0xFFFFu);  // v - b*65536
    const int32_t g = rest >> 8;
    table[i] = {rest - g * 256, g, b};
  }
  return table;
}

}  // namespace detail

// The loaders read the whole file before the first register is written; the writes are
// the same 256 in the same order as writing each entry the moment it is read.
void PalLoad::FilePal(const std::string& fileName) {
  detail::WriteTable(detail::ReadFilePalTable(fileName), 0, 255);
}

// Pack re-joins the split, so each register receives the stored 32-bit value itself.
void PalLoad::PP256Pal(const std::string& fileName) {
  detail::WriteTable(detail::ReadPP256PalTable(fileName), 0, 255);
}

}  // namespace quorvel
