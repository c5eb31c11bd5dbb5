#include "programs/common/program.hpp"
#include "programs/pic/pic.hpp"

int main(int argc, char** argv) {
  const int code = quorvel::pic::RunPic(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
  return quorvel::programs::FinishOutput("quorvel-pic", code, stdout, stderr);
}
