#include "demo/demo.hpp"

int main() { return quorvel::demo::Run(); }
