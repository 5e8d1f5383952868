#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "panel/ControlId.h"

namespace orvane::panel {

// The four DC readouts: labels whose caption is a reading followed by "V ".
bool isReadout(ControlId id);

// Whether a text, painted in the readout's font, fits its width (the platform measures it).
using TextFits = std::function<bool(std::string_view text)>;

// Painted when a reading cannot be shown even to one significant digit: plainly no number.
inline constexpr std::string_view OverflowMark = "###V ";

// The text a readout paints for the caption the controller gave it (UTF-8). A caption that fits
// is painted as it is. A reading that does not fit ("1234.5V ", "-5.5E-11V ") is painted as the
// same number rounded to as many significant digits as fit, its sign, decimal point and exponent
// whole, in plain or exponent notation, whichever keeps more digits; when not even one digit fits
// with its unit, the rounded number with only the blank ("-3E-3 "); when not even that fits,
// OverflowMark. Any other caption ("- - V ", "NaNV ", a host's word) that does not fit keeps its
// beginning up to its first digit with an ellipsis, so no cut-off text can pass for a number; with
// nothing left of it, OverflowMark too.
std::string fitReadout(std::string_view caption, const TextFits& fits);

}  // namespace orvane::panel
