#include "tests/support/palette_loads.hpp"

#include <gtest/gtest.h>

#include "tests/support/recorder.hpp"

namespace quorvel::testing {
namespace {

std::vector<int32_t> LoadedColours(const Recorder& rec) {
  std::vector<int32_t> colours;
  for (const Event& e : rec.events) {
    EXPECT_EQ(e.kind, Event::Entry);
    EXPECT_EQ(e.a, int32_t(colours.size()));
    colours.push_back(e.b);
  }
  EXPECT_EQ(colours.size(), 256u);
  return colours;
}

}  // namespace

int32_t Packed(int32_t r, int32_t g, int32_t b) { return r + g * 256 + b * 65536; }

std::vector<int32_t> LoadFilePal(const std::string& name) {
  Recorder rec;
  PalLoad::FilePal(name);
  return LoadedColours(rec);
}

std::vector<int32_t> LoadPP256Pal(const std::string& name) {
  Recorder rec;
  PalLoad::PP256Pal(name);
  return LoadedColours(rec);
}

void ExpectStatus(PaletteFileError error, const std::string& name, int32_t bytes) {
  const PaletteFileStatus status = LastPaletteFileError();
  EXPECT_EQ(status.error, error) << name;
  EXPECT_EQ(status.fileName, name);
  EXPECT_EQ(status.bytesRead, bytes) << name;
}

}  // namespace quorvel::testing
