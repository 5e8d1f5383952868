#include "controller/Preset.h"

namespace orvane::controller {

std::string channelName(int channel) {
  return {channel <= 8 ? 'X' : 'Y', static_cast<char>('1' + (channel - 1) % 8)};
}

std::optional<int> channelOf(std::string_view name) {
  if (name.size() != 2 || (name[0] != 'X' && name[0] != 'Y') || name[1] < '1' || name[1] > '8') {
    return std::nullopt;
  }
  return (name[0] == 'X' ? 0 : 8) + (name[1] - '0');
}

bool routingMatches(const Preset& preset, const Preset& shown) {
  return (!preset.mode || preset.mode == shown.mode) && preset.on == shown.on &&
         preset.balance == shown.balance && preset.load == shown.load;
}

namespace {

// The code points of UTF-8 text, or none when it is not well-formed UTF-8 (overlong forms,
// surrogates and values past U+10FFFF included).
std::optional<std::u32string> codePointsOf(std::string_view text) {
  std::u32string points;
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const int length = lead < 0x80                   ? 1
                       : lead >= 0xC2 && lead < 0xE0 ? 2
                       : lead >= 0xE0 && lead < 0xF0 ? 3
                       : lead >= 0xF0 && lead < 0xF5 ? 4
                                                     : 0;
    if (length == 0 || at + static_cast<std::size_t>(length) > text.size()) return std::nullopt;
    char32_t point = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (int i = 1; i < length; ++i) {
      const auto next = static_cast<unsigned char>(text[at + static_cast<std::size_t>(i)]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      point = (point << 6) | (next & 0x3F);
    }
    constexpr char32_t Smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < Smallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
      return std::nullopt;
    }
    points.push_back(point);
    at += static_cast<std::size_t>(length);
  }
  return points;
}

}  // namespace

std::optional<std::string> presetNameProblem(std::string_view name) {
  const auto points = codePointsOf(name);
  if (!points) return "a name must be UTF-8 text";
  bool blank = true;
  for (const char32_t point : *points) {
    if (point < 0x20 || (point >= 0x7F && point <= 0x9F)) {
      return "a name may not hold control characters (such as a tab or a line break)";
    }
    if (point != U' ') blank = false;
  }
  if (points->empty()) return "a name needs at least one character";
  if (blank) return "a name needs more than blanks";
  if (points->size() > 40) return "a name has at most 40 characters";
  return std::nullopt;
}

}  // namespace orvane::controller
