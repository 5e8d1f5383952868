#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace orvane::app {

// toml++ 3.3 (Debian 12's) reaches undefined behaviour when it asks whether a character is blank
// and the character is one of a few thousand beyond ASCII (é, Cyrillic, kana among them): its
// generated table has holes. It asks wherever a blank may stand, and its reading of broken text
// (a quote inside a bare value, a backslash before such a character) is not ours to predict. So
// toml++ is never shown a character beyond ASCII:
// - outside quotes and comments, where TOML allows none, the text is refused with its line;
// - inside a string it is written as its escape (\uXXXX or \UXXXXXXXX), a literal string becoming
//   the basic string of the same text, so that every value and key reads as written;
// - in a comment it becomes '?'.
struct TomlForParsing {
  std::optional<std::size_t> refusedLine;  // the line (from 1) of a character beyond ASCII outside
                                           // quotes, or nothing
  std::string ascii;                       // the text to hand to toml++ when not refused
};
TomlForParsing tomlForParsing(std::string_view text);

}  // namespace orvane::app
