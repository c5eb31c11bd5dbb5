#include "programs/pal/pal.hpp"

int main(int argc, char** argv) {
  return quorvel::pal::RunPal(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
}
