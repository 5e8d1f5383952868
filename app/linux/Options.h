#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "host/sim/SimulatedHost.h"

namespace orvane::app {

// The command line: how long to wait for the host, and what the simulated host should look like.
// With no options the program runs with one switcher at address 0, on which X3 carries DC.
struct Options {
  host::sim::SimConfig sim;
  int latencyMs = 0;
  std::chrono::milliseconds hostTimeout{5000};
  // --sim-block MEMBER[:N]: from its Nth call on, the member never answers.
  std::string blockMember;
  int blockFromCall = 1;
  bool help = false;
  bool version = false;
};

struct ParsedOptions {
  std::optional<Options> options;  // nullopt: the command line was wrong
  std::string error;
};

// With skipUnknown, arguments that are not ours are passed over: before Qt has taken its own
// options out, "-platform offscreen" must not count as a mistake.
ParsedOptions parseOptions(const std::vector<std::string>& arguments, bool skipUnknown = false);
std::string usageText(const std::string& program);

}  // namespace orvane::app
