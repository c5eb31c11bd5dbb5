#include "programs/common/program.hpp"
#include "programs/showcase/showcase.hpp"

int main(int argc, char** argv) {
  const int code = quorvel::showcase::Run(quorvel::programs::Arguments(argc, argv));
  return quorvel::programs::FinishOutput("quorvel-showcase", code, stdout, stderr);
}
