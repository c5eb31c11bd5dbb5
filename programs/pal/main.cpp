#include "programs/common/program.hpp"
#include "programs/pal/pal.hpp"

int main(int argc, char** argv) {
  const int code = quorvel::pal::RunPal(quorvel::programs::Arguments(argc, argv), stdout, stderr);
  return quorvel::programs::FinishOutput("quorvel-pal", code, stdout, stderr);
}
