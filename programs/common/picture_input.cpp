// Pictures and scenes read for the programs.
#include "programs/common/picture_input.hpp"

namespace quorvel::programs {

PictureInput ReadPictureInput(const std::string& path, CycleFlags flags) {
  PictureInput in;
  in.error = ReadSmallFile(path, kMaxSceneFileBytes, in.bytes);
  if (!in.error.empty()) return in;
  if (!LooksLikePicture(in.bytes) && LooksLikeScene(in.bytes)) {
    SceneReadResult read = ParseScene(in.bytes, path);
    in.isScene = true;
    in.scene = std::move(read.scene);
    in.warnings = std::move(read.warnings);
    in.error = std::move(read.error);
    return in;
  }
  if (int64_t(in.bytes.size()) > kMaxPictureFileBytes) {
    in.error = path + ": " + std::to_string(in.bytes.size()) + " bytes is more than a picture may have (" +
               std::to_string(kMaxPictureFileBytes) + ")";
    return in;
  }
  PictureReadResult read = ParsePicture(in.bytes, path, CycleReadOptionsFor(flags));
  in.warnings = std::move(read.warnings);
  in.error = std::move(read.error);
  if (!in.error.empty()) return in;
  in.scene.picture = std::move(read.picture);
  in.runningUnmarked = RunCyclesNoneIsMarkedFor(in.bytes, flags, in.scene.picture.cycles);
  return in;
}

}  // namespace quorvel::programs
