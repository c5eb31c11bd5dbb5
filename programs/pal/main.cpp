#include "programs/common/program.hpp"
#include "programs/pal/pal.hpp"

int main(int argc, char** argv) {
  const int code = quorvel::pal::RunPal(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
  return quorvel::programs::FinishOutput("quorvel-pal", code, stdout, stderr);
}
