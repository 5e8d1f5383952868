#include "app/CommandLine.h"

#include "app/PresetFile.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <limits>
#include <regex>
#include <sstream>

namespace orvane::app {

namespace {

template <typename Number>
std::optional<Number> numberIn(const std::string& text, Number lowest, Number highest) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < lowest || value > highest) return std::nullopt;
  return value;
}

// Checks the text before it is converted; the message follows the option's name.
CLI::Validator check(std::function<bool(const std::string&)> valid, std::string wants) {
  return CLI::Validator([valid = std::move(valid), wants = std::move(wants)](
                            std::string& text) { return valid(text) ? std::string() : wants; },
                        "");
}

CLI::Validator wholeNumber(int lowest, int highest, const std::string& unit) {
  return check(
      [=](const std::string& text) { return numberIn(text, lowest, highest).has_value(); },
      "wants " + unit + " from " + std::to_string(lowest) + " to " + std::to_string(highest));
}

std::optional<std::set<int>> addressesIn(const std::string& text) {
  std::set<int> addresses;
  std::stringstream list(text);
  std::string item;
  while (std::getline(list, item, ',')) {
    const auto address = numberIn(item, 0, 64);
    if (!address) return std::nullopt;
    addresses.insert(*address);
  }
  if (addresses.empty()) return std::nullopt;
  return addresses;
}

// MEMBER or MEMBER:N, N from 1.
std::optional<std::pair<std::string, int>> blockIn(const std::string& text) {
  const auto colon = text.find(':');
  std::string member = text.substr(0, colon);
  const auto from = colon == std::string::npos ? std::optional<int>(1)
                                               : numberIn(text.substr(colon + 1), 1, 1000000);
  if (!host::sim::hasMember(member) || !from) return std::nullopt;
  return std::make_pair(std::move(member), *from);
}

// A file's name: neither empty nor an option taken for one (`--trace --address 3`).
bool isFileName(const std::string& text) {
  return !text.empty() && !text.starts_with("--");
}

// An option of whole milliseconds from lowest to highest.
void addMilliseconds(CLI::App& app, const std::string& name, int& target, const std::string& help,
                     int lowest, int highest) {
  app.add_option(name, target, help)
      ->type_name("N")
      ->check(wholeNumber(lowest, highest, "milliseconds"));
}

constexpr const char* SimulatorFooter =
    "On every simulated switcher channel X3 carries about +9 V DC, so balance on a bus\n"
    "with X3 connected is refused.\n\n";
constexpr const char* ExitStatusFooter =
    "Exit status: 0 the operator ended the run (also Cancel at the address prompt or\n"
    "in the start-up window); 1 the program could not start; 2 a mistake on the\n"
    "command line; 3 the connection to the host or the switcher was lost (also when\n"
    "the operator gave up waiting for it); 70 an unexpected internal error.";

// Qt 6's own options, as QApplication reads them: those that take a value (as the next argument;
// "name=value" is handed on split), and those that stand alone. Either may start with one dash or
// two. Qt 5's X11 options (-bg, -fn, -cmap, ...) are gone from Qt 6 and are mistakes here.
constexpr std::string_view QtOptionsWithValue =
    " platform platformpluginpath platformtheme plugin qwindowgeometry qwindowicon qwindowtitle"
    " session display geometry style stylesheet title name visual qmljsdebugger icon ";
constexpr std::string_view QtFlags = " reverse widgetcount nograb dograb sync testability ";

bool listed(std::string_view names, std::string_view name) {
  return !name.empty() && names.find(" " + std::string(name) + " ") != std::string_view::npos;
}

// Moves Qt's options out of `arguments` into the returned list, in their order.
std::vector<std::string> takeQtOptions(std::vector<std::string>& arguments) {
  std::vector<std::string> qt;
  std::vector<std::string> ours;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    std::string_view name(argument);
    if (name == "--") {  // everything after it is ours
      ours.insert(ours.end(), arguments.begin() + static_cast<long>(i), arguments.end());
      break;
    }
    if (!name.starts_with('-') || name == "-") {
      ours.push_back(argument);
      continue;
    }
    name.remove_prefix(name.starts_with("--") ? 2 : 1);
    const auto equals = name.find('=');
    const std::string_view bare = name.substr(0, equals);
    if (listed(QtFlags, bare) && equals == std::string_view::npos) {
      qt.push_back(argument);
    } else if (listed(QtOptionsWithValue, bare)) {
      // Qt reads the value only as the next argument: "-platform=offscreen" is handed on so.
      qt.push_back("-" + std::string(bare));
      if (equals != std::string_view::npos) {
        qt.push_back(std::string(name.substr(equals + 1)));
      } else if (i + 1 < arguments.size()) {
        qt.push_back(arguments[++i]);
      }
    } else {
      ours.push_back(argument);
    }
  }
  arguments = std::move(ours);
  return qt;
}

// The parser's own phrasing of a missing value, told the program's way.
std::string inOurWords(const std::string& message) {
  static const std::regex missingValue(R"(^(--[a-z-]+): \d+ required \S+ missing$)");
  static const std::regex tooMany(R"(^(--[a-z-]+): At Most \d+ required but received \d+$)");
  std::smatch found;
  if (std::regex_match(message, found, missingValue)) return found[1].str() + " wants a value";
  if (std::regex_match(message, found, tooMany)) return found[1].str() + " takes one value";
  static const std::regex extras(R"(^The following arguments? (were|was) not expected: (.*)$)");
  if (std::regex_match(message, found, extras))
    return "not an option of this program: " + found[2].str();
  return message;
}

}  // namespace

CommandLine readCommandLine(const std::vector<std::string>& given, Platform platform,
                            const std::string& version) {
  const bool onLinux = platform == Platform::Linux;
  std::vector<std::string> arguments = given;
  std::vector<std::string> qtArguments;
  if (onLinux) qtArguments = takeQtOptions(arguments);
  CLI::App app(onLinux
                   ? "The front panel of an Orvane I/O Switcher, on the built-in simulated host."
                   : "The front panel of an Orvane I/O Switcher.",
               "orvane-panel");
  app.get_formatter()->column_width(26);

  Options options;
  options.simulate = onLinux;
  bool showVersion = false;
  bool listPresets = false;
  int timeoutMs = static_cast<int>(options.hostTimeout.count());
  std::string trace;
  std::string addresses;
  std::string block;
  int createMs = 0;
  int readyMs = 0;
  int sleepMs = -1;
  int address = -1;
  int followMs = 0;
  int otherClientMs = 0;
  app.add_option("--address", address,
                 "control the switcher at address N (0 to 64)\nwithout asking for it")
      ->type_name("N")
      ->check(wholeNumber(0, 64, "a switcher address"));
  std::string presetsPath;
  std::string presetName;
  app.add_option(
         "--presets", presetsPath,
         "read and store presets in FILE instead of\n" + host::pathText(defaultPresetsPath()))
      ->type_name("FILE")
      ->check(check(isFileName, "needs a file name"));
  auto* presetOption =
      app.add_option("--preset", presetName,
                     "recall the preset NAME once start-up has\nfinished (with --address: no click "
                     "at all)")
          ->type_name("NAME")
          ->check(check(
              [](const std::string& text) { return !text.empty() && !text.starts_with("--"); },
              "needs a preset's name"));
  addMilliseconds(app, "--follow-ms", followMs,
                  "read the switcher's status every N ms between\noperations, to show what "
                  "others switch (off\nby default; at least 200)",
                  ShortestFollowMs, 3600000);
  if (!onLinux) {
    app.add_flag("--simulate", options.simulate,
                 "run on the built-in simulated host instead of Qelvix");
  }
  addMilliseconds(
      app, "--host-timeout-ms", timeoutMs,
      "wait this long for the host before asking\nwhether to keep waiting (default 5000)", 1,
      3600000);
  app.add_option("--trace", trace,
                 "write every host call, operator event and box\nto FILE (- for standard error), "
                 "one line each")
      ->type_name("FILE")
      ->check(check(isFileName, "needs a file name, or - for standard error"));
  std::string dcLog;
  app.add_option(
         "--dc-log", dcLog,
         "append a CSV row of the four DC readings to FILE\non every reading while DC is on")
      ->type_name("FILE")
      ->check(check(isFileName, "needs a file name"));
  if (onLinux) {
    app.add_option("--sim-addresses", addresses, "switchers that answer, e.g. 0,5 (default 0)")
        ->type_name("LIST")
        ->check(check([](const std::string& text) { return addressesIn(text).has_value(); },
                      "wants addresses 0 to 64, separated by commas"));
    app.add_option("--sim-seed", options.sim.config.seed,
                   "seed of the simulated DC noise (default 1)")
        ->type_name("N")
        ->check(check(
            [](const std::string& text) {
              return numberIn<std::uint64_t>(text, 0, std::numeric_limits<std::uint64_t>::max())
                  .has_value();
            },
            "wants a whole number"));
    addMilliseconds(app, "--sim-latency-ms", options.sim.latencyMs,
                    "delay of every simulated host call (default 0)", 0, 10000);
    addMilliseconds(app, "--sim-create-ms", createMs,
                    "creating the simulated host takes this long (default 0)", 0, 600000);
    addMilliseconds(
        app, "--sim-ready-ms", readyMs,
        "the simulated host says it is ready this long after\nit was created (default 0)", 0,
        600000);
    addMilliseconds(
        app, "--sim-sleep-ms", sleepMs,
        "the simulated host's Sleep takes this long, whatever\nits argument (0: returns "
        "at once)",
        0, 10000);
    addMilliseconds(app, "--sim-other-client", otherClientMs,
                    "another client of the simulated host toggles\nthe next channel of bus B every "
                    "N ms",
                    1, 3600000);
    app.add_option("--sim-block", block,
                   "the simulated host never answers MEMBER from\nits Nth call on (default N = 1), "
                   "e.g.\nIOSWITCHER_GetFullStatus:4")
        ->type_name("MEMBER[:N]")
        ->check(check([](const std::string& text) { return blockIn(text).has_value(); },
                      "wants a member of the simulated host, spelled exactly, optionally :N (N "
                      "from 1)"));
  }
  app.footer(std::string(onLinux ? SimulatorFooter : "") + ExitStatusFooter);
  app.add_flag("--list-presets", listPresets,
               "print the presets file's preset names, one a\nline, and exit");
  app.add_flag("--version", showVersion, "show the version and exit");
  app.set_help_flag("-h,--help", "show this text and exit");

  std::vector<const char*> argv{"orvane-panel"};
  for (const auto& argument : arguments) argv.push_back(argument.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::CallForHelp&) {
    return {.text = app.help()};
  } catch (const CLI::ParseError& error) {
    return {.text = inOurWords(error.what()) + "\n" + HelpPointer,
            .textIsError = true,
            .exitStatus = ExitBadCommandLine};
  }
  if (showVersion) return {.text = "orvane-panel " + version + "\n", .isVersion = true};

  options.hostTimeout = std::chrono::milliseconds(timeoutMs);
  options.sim.config.createDelay = std::chrono::milliseconds(createMs);
  options.sim.config.readyAfter = std::chrono::milliseconds(readyMs);
  if (sleepMs >= 0) options.sim.config.sleepTakes = std::chrono::milliseconds(sleepMs);
  options.sim.config.otherClientEvery = std::chrono::milliseconds(otherClientMs);
  if (address >= 0) options.address = address;
  if (followMs > 0) options.followEvery = std::chrono::milliseconds(followMs);
  if (!trace.empty()) options.tracePath = trace;
  if (!dcLog.empty()) options.dcLogPath = dcLog;
  if (!presetsPath.empty()) options.presetsPath = presetsPath;
  if (presetOption->count() > 0) options.presetName = presetName;
  if (!addresses.empty()) options.sim.config.addresses = *addressesIn(addresses);
  if (const auto blocked = blockIn(block)) {
    options.sim.blockMember = blocked->first;
    options.sim.blockFromCall = blocked->second;
  }
  if (listPresets) return presetListing(presetsFileOf(options));
  return {.options = options, .qtArguments = std::move(qtArguments)};
}

CommandLine presetListing(const PresetFile& file) {
  std::string text;
  try {
    for (const auto& entry : file.list()) {
      text += entry.name + (entry.preset ? "" : "\t" + entry.problem) + "\n";
    }
  } catch (const PresetFileError& error) {
    return {.text = std::string(error.what()) + "\n",
            .textIsError = true,
            .exitStatus = ExitBadCommandLine};
  }
  return {.text = text};
}

std::optional<std::string> presetMistake(const Options& options) {
  const PresetFile file = presetsFileOf(options);
  try {
    if (options.presetsPath) {
      try {
        file.checkPath();
      } catch (const PresetFileError& error) {
        return std::string("--presets: ") + error.what() + "\n" + HelpPointer;
      }
    }
    if (options.presetName) file.recallable(*options.presetName);
    return std::nullopt;
  } catch (const PresetFileError& error) {
    return std::string("--preset: ") + error.what() + "\n" + HelpPointer;
  }
}

PresetFile presetsFileOf(const Options& options) {
  if (!options.presetsPath) return PresetFile(defaultPresetsPath(), true);
  return PresetFile(pathOf(*options.presetsPath));
}

}  // namespace orvane::app
