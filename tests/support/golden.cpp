#include "tests/support/golden.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include <quorvel/display.hpp>
#include "tests/support/png.hpp"

namespace quorvel::testing {

void ExpectGolden(const std::string& name, const std::vector<uint32_t>& frame) {
  const std::string path = std::string(QUORVEL_TEST_DATA) + "/" + name + ".png";
  const Picture actual{kScreenWidth, kScreenHeight, frame};
  const char* update = std::getenv("QUORVEL_UPDATE_GOLDEN");
  if (update && std::string(update) == "1") {
    ASSERT_TRUE(WritePng(path, actual)) << path;
    return;
  }
  const std::optional<Picture> golden = ReadPng(path);
  ASSERT_TRUE(golden) << "missing or unreadable " << path;
  ASSERT_EQ(golden->width, kScreenWidth);
  ASSERT_EQ(golden->height, kScreenHeight);
  size_t differing = 0;
  for (size_t i = 0; i < frame.size(); ++i) differing += golden->pixels[i] != frame[i];
  if (differing != 0) {
    const std::string got = ::testing::TempDir() + name + ".actual.png";
    WritePng(got, actual);
    ADD_FAILURE() << name << ": " << differing << " pixels differ; this run's frame is in "
                  << got;
  }
}

}  // namespace quorvel::testing
