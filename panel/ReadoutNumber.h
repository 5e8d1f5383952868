#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvane::panel {

// A reading's number as the decimal digits its text states. Rounding works on these digits, not
// on the nearest binary double, so that 0.15 rounds to 0.2 as the operator expects.
struct DecimalNumber {
  bool negative = false;
  std::string digits;         // significant digits: no leading or trailing zeros; empty for zero
  std::int64_t exponent = 0;  // the value is d.ddd... times ten to this power
};

// Reads "-5.5E-11", "1234.5", "1.5E+20", "+.5", "7.": an optional sign, digits with an optional
// point, an optional exponent. Anything else is no number: blanks, "NaN", "Infinity", "1,5", an
// exponent of more than nine digits.
std::optional<DecimalNumber> parseDecimal(std::string_view text);

// A number rounded to a count of significant digits; `digits` has exactly that many, trailing
// zeros included (9.96 to two digits is "10" with exponent 1). `lastPlace` is the power of ten at
// which it was rounded: 999.5 to three digits is "100" with exponent 3, rounded at the units.
struct RoundedNumber {
  bool negative = false;
  std::string digits;
  std::int64_t exponent = 0;
  std::int64_t lastPlace = 0;
};

// Rounds half away from zero to `significant` digits (at least 1). Zero stays "0".
RoundedNumber roundTo(const DecimalNumber& number, int significant);

// Plain decimal notation down to the place it was rounded at ("1235", "-0.00312", "10.0", "1000"
// for 999.5 rounded at the units). nullopt when it was rounded above the units, where zeros would
// stand in for dropped digits (1234.5 to two digits is no "1200"), or when it is longer than any
// readout could show.
std::optional<std::string> fixedText(const RoundedNumber& number);
// Exponent notation with the shortest exponent ("1.2E3", "-5.5E-11", "1E20").
std::string exponentText(const RoundedNumber& number);

}  // namespace orvane::panel
