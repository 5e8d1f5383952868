#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace orvane::app {

// toml++ 3.3 (Debian 12's) reaches undefined behaviour when it asks whether a character is blank
// and the character is one of a few thousand beyond ASCII (é, Cyrillic, kana among them): its
// generated table has holes. It asks wherever a blank may stand: outside quotes, and after a
// backslash that ends a line in a string. TOML allows characters beyond ASCII only inside quotes
// and comments, so text that has one anywhere else is refused here, before toml++ reads it.
// Returns the line (from 1) of the first such character, or nothing when the text is safe to parse.
std::optional<std::size_t> lineTouchingTomlFault(std::string_view text);

}  // namespace orvane::app
