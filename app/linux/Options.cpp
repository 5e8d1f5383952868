#include "app/linux/Options.h"

#include <charconv>
#include <limits>
#include <sstream>

namespace orvane::app {

namespace {

template <typename Number>
std::optional<Number> parseNumber(const std::string& text, Number lowest, Number highest) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < lowest || value > highest) return std::nullopt;
  return value;
}

std::optional<std::set<int>> parseAddresses(const std::string& text) {
  std::set<int> addresses;
  std::stringstream list(text);
  std::string item;
  while (std::getline(list, item, ',')) {
    const auto address = parseNumber<int>(item, 0, 64);
    if (!address) return std::nullopt;
    addresses.insert(*address);
  }
  if (addresses.empty()) return std::nullopt;
  return addresses;
}

}  // namespace

ParsedOptions parseOptions(const std::vector<std::string>& arguments, bool skipUnknown) {
  Options options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      options.help = true;
      continue;
    }
    if (argument == "--version") {
      options.version = true;
      continue;
    }
    const std::string name = argument.substr(0, argument.find('='));
    if (name != "--sim-addresses" && name != "--sim-seed" && name != "--sim-latency-ms" &&
        name != "--host-timeout-ms" && name != "--sim-block") {
      if (skipUnknown) continue;
      return {std::nullopt, "unknown option " + argument};
    }
    // Each of these takes a value, as "--name value" or "--name=value".
    std::optional<std::string> value;
    if (const auto equals = argument.find('='); equals != std::string::npos) {
      value = argument.substr(equals + 1);
    } else if (i + 1 < arguments.size()) {
      value = arguments[++i];
    }
    const auto wrong = [&](const std::string& why) {
      return ParsedOptions{std::nullopt, name + ": " + why};
    };
    if (!value) return wrong("needs a value");
    if (name == "--sim-addresses") {
      const auto addresses = parseAddresses(*value);
      if (!addresses) return wrong("wants addresses 0 to 64, separated by commas");
      options.sim.addresses = *addresses;
    } else if (name == "--sim-seed") {
      const auto seed =
          parseNumber<std::uint64_t>(*value, 0, std::numeric_limits<std::uint64_t>::max());
      if (!seed) return wrong("wants a whole number");
      options.sim.seed = *seed;
    } else if (name == "--host-timeout-ms") {
      const auto timeout = parseNumber<int>(*value, 1, 3600000);
      if (!timeout) return wrong("wants milliseconds from 1 to 3600000");
      options.hostTimeout = std::chrono::milliseconds(*timeout);
    } else if (name == "--sim-block") {
      const auto colon = value->find(':');
      const std::string member = value->substr(0, colon);
      const auto from = colon == std::string::npos
                            ? std::optional<int>(1)
                            : parseNumber<int>(value->substr(colon + 1), 1, 1000000);
      if (member.empty() || !from) return wrong("wants a member name, optionally :N (N from 1)");
      options.blockMember = member;
      options.blockFromCall = *from;
    } else {
      const auto latency = parseNumber<int>(*value, 0, 10000);
      if (!latency) return wrong("wants milliseconds from 0 to 10000");
      options.latencyMs = *latency;
    }
  }
  return {options, {}};
}

std::string usageText(const std::string& program) {
  return "Usage: " + program +
         " [options]\n"
         "The front panel of an Orvane I/O Switcher, on the built-in simulated host.\n"
         "\n"
         "Options:\n"
         "  --sim-addresses LIST   switchers that answer, e.g. 0,5 (default 0)\n"
         "  --sim-seed N           seed of the simulated DC noise (default 1)\n"
         "  --sim-latency-ms N     delay of every simulated host call (default 0)\n"
         "  --sim-block MEMBER[:N] the simulated host never answers MEMBER from its Nth call on\n"
         "                         (default N = 1), e.g. IOSWITCHER_GetFullStatus:4\n"
         "  --host-timeout-ms N    wait this long for the host before asking whether to keep\n"
         "                         waiting (default 5000)\n"
         "  --help                 show this text and exit\n"
         "  --version              show the version and exit\n"
         "\n"
         "On every simulated switcher channel X3 carries about +9 V DC, so balance on a bus\n"
         "with X3 connected is refused.\n";
}

}  // namespace orvane::app
