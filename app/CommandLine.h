#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "host/sim/SimulatedHost.h"

namespace orvane::app {

// Exit status for a command line the program cannot follow.
inline constexpr int ExitBadCommandLine = 2;

// Which program reads the command line: the Windows one drives Qelvix unless told --simulate; the
// Linux one always runs on the simulated host, which its own options shape.
enum class Platform { Linux, Windows };

// What the simulated host should look like and how it should misbehave.
struct SimulatorOptions {
  host::sim::SimConfig config;
  int latencyMs = 0;
  // --sim-block MEMBER[:N]: from its Nth call on, the member never answers.
  std::string blockMember;
  int blockFromCall = 1;
};

struct Options {
  std::chrono::milliseconds hostTimeout{5000};
  std::optional<std::string> tracePath;  // "-" is standard error
  bool simulate = false;                 // always on Linux
  SimulatorOptions sim;
};

// The command line read: the options to run with, or what to show before leaving at once (the
// help, the version, or what is wrong) and the exit status to leave with.
struct CommandLine {
  std::optional<Options> options;
  std::string text;
  bool textIsError = false;
  bool isVersion = false;
  int exitStatus = 0;
};

// arguments: without the program's name. With skipUnknown, arguments that are not ours are passed
// over: before Qt has taken its own options out, "-platform offscreen" must not count as a mistake.
CommandLine readCommandLine(const std::vector<std::string>& arguments, Platform platform,
                            const std::string& version, bool skipUnknown = false);

}  // namespace orvane::app
