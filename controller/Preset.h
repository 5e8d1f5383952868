#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::controller {

// The link modes as the mode list shows them, in the order of their list indexes.
inline constexpr std::array<std::string_view, 6> LinkModeNames = {
    "None", "Input to Output", "Stereo Pairs", "Termination", "Exclusive On", "Exclusive Off"};

// A bench's routing, stored under a name and recalled in one step: the link mode, the channels
// that are on and the two relays of each bus. Tied to no address: any switcher can take it.
struct Preset {
  std::string name;
  std::optional<std::int16_t> mode;          // a list index; none: a recall leaves the mode
  std::array<std::array<bool, 16>, 2> on{};  // [bus][channel - 1]: X1..X8, then Y1..Y8
  std::array<bool, 2> balance{};
  std::array<bool, 2> load{};
  // Keys of the preset's table this version does not know (a newer version's, or a misspelling):
  // a recall names them as ignored.
  std::vector<std::string> unknownKeys{};

  friend bool operator==(const Preset&, const Preset&) = default;
};

// Whether the panel's routing `shown` is what `preset` sets: the channels and relays of both
// buses, and the mode unless the preset leaves the mode as it is.
bool routingMatches(const Preset& preset, const Preset& shown);

// "X1".."X8" for channels 1..8, "Y1".."Y8" for 9..16.
std::string channelName(int channel);
// The channel a name stands for, spelled exactly; none for anything else.
std::optional<int> channelOf(std::string_view name);
// A preset's name: 1 to 40 printable characters of UTF-8 text, not only blanks and no control
// character (C0, DEL or C1), or why it is not.
std::optional<std::string> presetNameProblem(std::string_view name);

}  // namespace orvane::controller
