#pragma once

#include <optional>
#include <string_view>

namespace orvane::host {

// Reads text as a number when it is numeric: optional blanks, an optional sign, digits with an
// optional decimal point and fraction, an optional exponent, optional blanks; nothing else (no hex,
// no thousands separators, no "NaN"). A magnitude beyond double range gives an infinity of the
// right sign, so callers can clamp it.
std::optional<double> parseNumericText(std::string_view text);

}  // namespace orvane::host
