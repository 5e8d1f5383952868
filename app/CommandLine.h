#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/ExitStatus.h"
#include "app/PresetFile.h"
#include "host/PathText.h"
#include "host/sim/SimulatedHost.h"

namespace orvane::app {

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

// The shortest period of --follow-ms: five status reads a second, as often as the DC readings.
inline constexpr int ShortestFollowMs = 200;

struct Options {
  // --address N: the switcher to control, without the address prompt.
  std::optional<int> address;
  // --follow-ms N: read the switcher's status every N ms between operations. Off by default, so
  // that the host sees no calls beyond the operator's.
  std::optional<std::chrono::milliseconds> followEvery;
  std::chrono::milliseconds hostTimeout{5000};
  std::optional<std::string> tracePath;  // "-" is standard error
  // --presets FILE: the presets file instead of the default one (as UTF-8).
  std::optional<std::string> presetsPath;
  // --dc-log FILE: each DC tick appended as a CSV row (as UTF-8).
  std::optional<std::string> dcLogPath;
  // --preset NAME: recalled once start-up has finished.
  std::optional<std::string> presetName;
  bool simulate = false;  // always on Linux
  SimulatorOptions sim;
};

// The command line read: the options to run with, or what to show before leaving at once (the
// help, the version, or what is wrong) and the exit status to leave with.
struct CommandLine {
  std::optional<Options> options{};
  std::string text{};
  bool textIsError = false;
  bool isVersion = false;
  ExitStatus exitStatus = ExitEnded;
  // On Linux, Qt's own options (-platform xcb, -display :1, -style=Fusion, ...), taken out of the
  // command line before it is read, for the program to hand to Qt.
  std::vector<std::string> qtArguments{};
};

// What ends every message of a command-line mistake.
inline constexpr const char* HelpPointer = "Run 'orvane-panel --help' to see the options.\n";

using host::pathOf;

// The presets options, checked before the host is created: --presets FILE must name a file that
// could be one (without reading it), and --preset NAME a preset of the file, which is read. None
// when they do, else the mistake (the file, the reason, then HelpPointer) for the command line's
// report.
std::optional<std::string> presetMistake(const Options& options);
// --list-presets: the file's preset names in the menu's order, one a line, each with a mistake
// followed by a tab and the mistake; a file that cannot be read or does not parse is the reason and
// status 2. A file that does not exist yet lists nothing.
CommandLine presetListing(const PresetFile& file);
// The presets file the options name, or the default one.
PresetFile presetsFileOf(const Options& options);

// arguments: without the program's name. The whole command line is read before anything else
// happens, so that a mistake is told even where no window could be shown.
CommandLine readCommandLine(const std::vector<std::string>& arguments, Platform platform,
                            const std::string& version);

}  // namespace orvane::app
