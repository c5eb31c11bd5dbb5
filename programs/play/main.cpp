#include "programs/common/program.hpp"
#include "programs/play/play.hpp"

int main(int argc, char** argv) {
  const int code = quorvel::play::RunPlay(quorvel::programs::Arguments(argc, argv), stdout, stderr);
  return quorvel::programs::FinishOutput("quorvel-play", code, stdout, stderr);
}
