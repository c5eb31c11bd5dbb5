// The formats read and write files through the display's file code, where the platform's
// calls are: whole-file reads that refuse FIFOs, devices and oversized files at once, and
// writes that replace a file whole or leave it as it was (display/files.hpp says which
// files may be replaced). Internal to the formats library.
#pragma once

#include "display/files.hpp"
#include "formats/bytes.hpp"

namespace quorvel::formats {

using detail::ReadWholeFile;
using detail::ReplaceFile;

}  // namespace quorvel::formats
