#include "programs/common/program.hpp"
#include "programs/showcase/showcase.hpp"

int main(int argc, char** argv) {
  const int code = quorvel::showcase::Run({argv + 1, argv + argc});
  return quorvel::programs::FinishOutput("quorvel-showcase", code, stdout, stderr);
}
