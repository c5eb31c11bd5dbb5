// quorvel-make-samples [FOLDER]: writes the sample art into FOLDER (samples/ by default).
// scripts/samples.sh runs it; the files it writes are committed.
#include <cstdio>
#include <string>

#include "formats/file_io.hpp"
#include "programs/common/program.hpp"
#include "tools/samples/art.hpp"

namespace {

bool Report(const quorvel::PictureWriteResult& written) {
  for (const std::string& warning : written.warnings) {
    std::fprintf(stderr, "quorvel-make-samples: warning: %s\n", warning.c_str());
  }
  if (!written.ok()) std::fprintf(stderr, "quorvel-make-samples: %s\n", written.error.c_str());
  return written.ok();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quorvel;
  const std::string first = argc > 1 ? argv[1] : "";
  if (first == "--help") {
    std::printf("usage: quorvel-make-samples [FOLDER]  (writes the sample art; samples/ by default)\n");
    return programs::FinishOutput("quorvel-make-samples", 0, stdout, stderr);
  }
  if (first == "--version") {
    programs::PrintVersion("quorvel-make-samples", stdout);
    return programs::FinishOutput("quorvel-make-samples", 0, stdout, stderr);
  }
  const std::string folder = argc > 1 ? argv[1] : "samples";
  const Scene waterfall = samples::Waterfall();
  bool ok = Report(WritePicture(folder + "/coast.lbm", samples::ForIff(samples::Coast()), PictureFormat::Ilbm));
  ok = Report(WritePicture(folder + "/waterfall.lbm", samples::ForIff(waterfall.picture), PictureFormat::Ilbm)) && ok;
  ok = Report(WriteScene(folder + "/waterfall.json", waterfall)) && ok;
  ok = Report(WriteScene(folder + "/coast_day.json", samples::CoastDay())) && ok;
  PictureWriteResult ramp = EncodeScene(samples::TestRamp());
  if (ramp.ok()) {
    ramp.error = formats::ReplaceFile(folder + "/test_ramp.js", samples::ObjectLiteral(ramp.bytes, "testRamp"));
  }
  ok = Report(ramp) && ok;
  return ok ? 0 : 1;
}
