#include "programs/common/program.hpp"
#include "programs/pic/pic.hpp"

int main(int argc, char** argv) {
  const int code = quorvel::pic::RunPic(quorvel::programs::Arguments(argc, argv), stdout, stderr);
  return quorvel::programs::FinishOutput("quorvel-pic", code, stdout, stderr);
}
