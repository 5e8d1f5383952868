#pragma once

#include <string>
#include <string_view>

#define TOML_HEADER_ONLY 1
#define TOML_EXCEPTIONS 1
#include <toml++/toml.h>

namespace orvane::app {

// A table as TOML text, every string and every key that is not plainly bare in double quotes:
// toml++ 3.3's own writer takes a key with an apostrophe for a bare one and writes a file that
// does not parse. The tables named in `quotedKeys` (such as "preset") have all their keys quoted,
// so that a name reads the same whatever it holds. Scalars other than strings are toml++'s.
std::string tomlText(const toml::table& root);

// A key as TOML writes it: bare when it may be, else a basic string.
std::string tomlKey(std::string_view key, bool alwaysQuoted = false);

// Whether two tables hold the same keys with the same values and types (a NaN equals a NaN), as a
// check of text written against what was meant.
bool sameContent(const toml::node& left, const toml::node& right);

}  // namespace orvane::app
