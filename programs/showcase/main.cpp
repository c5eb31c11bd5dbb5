#include "programs/showcase/showcase.hpp"

int main(int argc, char** argv) { return quorvel::showcase::Run({argv + 1, argv + argc}); }
