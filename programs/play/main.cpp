#include "programs/play/play.hpp"

int main(int argc, char** argv) {
  return quorvel::play::RunPlay(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
}
