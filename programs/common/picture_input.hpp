// How the programs read what they show or convert: an indexed picture with its cycles,
// read by the cycle flags asked for, or a scene of the colour-cycling web players.
#pragma once

#include <string>
#include <vector>

#include <quorvel/formats.hpp>

#include "programs/common/cycle_flags.hpp"

namespace quorvel::programs {

struct PictureInput {
  Scene scene;                 // a picture read as a scene without a timeline or filename
  bool isScene = false;        // read from a scene file
  std::vector<uint8_t> bytes;  // the file as read
  size_t runningUnmarked = 0;  // cycles that run because none is marked running
  std::vector<std::string> warnings;
  std::string error;           // "" on success; names the file
};

// Reads the file whole (a scene up to kMaxSceneFileBytes, a picture up to
// kMaxPictureFileBytes) and takes it as a scene when it starts like one, else as a
// picture whose cycles are read by `flags`.
PictureInput ReadPictureInput(const std::string& path, CycleFlags flags);

}  // namespace quorvel::programs
