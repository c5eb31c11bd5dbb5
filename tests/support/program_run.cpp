#include "tests/support/program_run.hpp"

namespace quorvel::testing {
namespace {

std::string Drain(std::FILE* file) {
  std::string text;
  std::rewind(file);
  for (int c; (c = std::fgetc(file)) != EOF;) text += char(c);
  std::fclose(file);
  return text;
}

}  // namespace

ProgramRun RunProgram(const std::function<int(const std::vector<std::string>&, std::FILE*, std::FILE*)>& run,
                      const std::vector<std::string>& args) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  ProgramRun ran;
  ran.status = run(args, out, err);
  ran.out = Drain(out);
  ran.err = Drain(err);
  return ran;
}

}  // namespace quorvel::testing
