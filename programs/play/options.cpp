// The command line of quorvel-play.
#include <charconv>
#include <string>

#include "programs/common/arguments.hpp"
#include "programs/play/play.hpp"

namespace quorvel::play {
namespace {

bool Register(std::string_view text, int32_t& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value >= 0 && value <= 255 &&
         !text.empty() && text[0] != '-' && text[0] != '+';
}

}  // namespace

bool ParseCycleOption(std::string_view text, Cycle& cycle, std::string& error) {
  error.clear();
  error.reserve(text.size() + 64);
  error.append("the cycle ").append(text).append(" is not LOW-HIGH@STEPS[:wrap|pingpong|sine]");
  const size_t dash = text.find('-'), at = text.find('@');
  if (dash == std::string_view::npos || at == std::string_view::npos || dash > at) return false;
  std::string_view steps = text.substr(at + 1), mode;
  if (const size_t colon = steps.find(':'); colon != std::string_view::npos) {
    mode = steps.substr(colon + 1);
    steps = steps.substr(0, colon);
  }
  Cycle c;
  c.blend = false;
  if (!Register(text.substr(0, dash), c.low) || !Register(text.substr(dash + 1, at - dash - 1), c.high)) {
    error += ": registers are 0..255";
    return false;
  }
  if (c.low >= c.high) {
    error += ": LOW must be below HIGH";
    return false;
  }
  if (!programs::ParseDecimal(steps, c.stepsPerSecond)) {
    error += ": STEPS is a number of steps a second";
    return false;
  }
  if (mode == "pingpong") {
    c.mode = CycleMode::PingPong;
  } else if (mode == "sine") {
    c.mode = CycleMode::Sine;
  } else if (!mode.empty() && mode != "wrap") {
    error += ": the mode is wrap, pingpong or sine";
    return false;
  }
  cycle = c;
  error.clear();
  return true;
}

bool ParseTimeOfDay(std::string_view text, double& ms) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon > 2 || text.size() != colon + 3) return false;
  int32_t hours = 0, minutes = 0;
  const auto whole = [](std::string_view digits, int32_t& value) {
    for (char c : digits) {
      if (c < '0' || c > '9') return false;
    }
    return std::from_chars(digits.data(), digits.data() + digits.size(), value).ec == std::errc();
  };
  if (!whole(text.substr(0, colon), hours) || !whole(text.substr(colon + 1), minutes) ||
      hours > 23 || minutes > 59) {
    return false;
  }
  ms = (hours * 60.0 + minutes) * 60 * 1000;
  return true;
}

bool ParsePlayArgs(const std::vector<std::string>& args, PlayOptions& options, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--dos-cycles" || arg == "--strict-flags") {
      if (!programs::TakeCycleFlags(arg, options.cycleFlags, error)) return false;
    } else if (arg == "--full-screen") {
      options.fullScreen = true;
    } else if (arg == "--cycle") {
      if (i + 1 == args.size()) {
        error = "--cycle needs LOW-HIGH@STEPS";
        return false;
      }
      Cycle cycle;
      if (!ParseCycleOption(args[++i], cycle, error)) return false;
      options.extraCycles.push_back(cycle);
    } else if (arg == "--time") {
      if (i + 1 == args.size() || !ParseTimeOfDay(args[i + 1], options.timeOfDayMs)) {
        error = "--time needs HH:MM, 00:00 to 23:59" +
                (i + 1 == args.size() ? std::string() : ", not " + args[i + 1]);
        return false;
      }
      ++i;
    } else if (arg == "--day-seconds") {
      if (i + 1 == args.size() || !programs::ParseSeconds(args[i + 1], options.daySeconds)) {
        error = "--day-seconds needs a number of seconds above 0" +
                (i + 1 == args.size() ? std::string() : ", not " + args[i + 1]);
        return false;
      }
      ++i;
    } else if (arg == "--quantize") {
      options.quantize = true;
    } else if (arg == "--save") {
      if (i + 1 == args.size()) {
        error = "--save needs OUT.lbm, OUT.pbm, OUT.gif, OUT.png or OUT.json";
        return false;
      }
      options.save = args[++i];
    } else if (arg == "--record" || arg == "--seconds") {
      if (i + 1 == args.size()) {
        error = arg + (arg == "--record" ? " needs OUT.gif" : " needs a number of seconds");
        return false;
      }
      const std::string& value = args[++i];
      if (arg == "--record") {
        options.record = value;
      } else if (!programs::ParseSeconds(value, options.seconds)) {
        error = "--seconds needs a number of seconds above 0, not " + value;
        return false;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
      return false;
    } else if (options.file.empty()) {
      options.file = arg;
    } else {
      error = "one picture at a time, not " + options.file + " and " + arg;
      return false;
    }
  }
  if (options.file.empty() && !options.help && !options.version) {
    error = "no picture given";
    return false;
  }
  return true;
}

}  // namespace quorvel::play
