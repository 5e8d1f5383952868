#include "controller/Preset.h"

namespace orvane::controller {

std::string channelName(int channel) {
  return (channel <= 8 ? "X" : "Y") + std::to_string((channel - 1) % 8 + 1);
}

std::optional<int> channelOf(std::string_view name) {
  if (name.size() != 2 || (name[0] != 'X' && name[0] != 'Y') || name[1] < '1' || name[1] > '8') {
    return std::nullopt;
  }
  return (name[0] == 'X' ? 0 : 8) + (name[1] - '0');
}

std::optional<std::string> presetNameProblem(std::string_view name) {
  int characters = 0;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return "a name may not hold control characters";
    if ((byte & 0xC0) != 0x80) ++characters;  // not a UTF-8 continuation byte
  }
  if (characters == 0) return "a name needs at least one character";
  if (characters > 40) return "a name has at most 40 characters";
  return std::nullopt;
}

}  // namespace orvane::controller
