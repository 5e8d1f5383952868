#pragma once

#include <string>
#include <string_view>

#include "host/Variant.h"

namespace orvane::host::trace {

// How texts and values look in a trace line, so that every line stays one line and can be read
// back without doubt: a text is quoted, with backslash, double quote, CR, LF and tab escaped as
// \\ \" \r \n \t and every other control character as \xNN.
std::string quotedText(std::string_view text);

// A value as a trace shows it: text quoted as above, everything else as describe() writes it
// (Empty, True, 5, 0.25, <object>). Never throws.
std::string valueText(const Variant& value);

}  // namespace orvane::host::trace
