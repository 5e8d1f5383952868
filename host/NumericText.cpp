#include "host/NumericText.h"

#include <charconv>
#include <limits>

namespace orvane::host {

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// For a number out of double range: true when it is too large, false when it is too small.
// Works on the decimal magnitude: exponent plus the place of the first nonzero digit.
bool overflows(std::string_view unsigned_number) {
  long magnitude = 0;
  bool seenNonZero = false;
  bool afterPoint = false;
  std::size_t i = 0;
  for (; i < unsigned_number.size(); ++i) {
    const char c = unsigned_number[i];
    if (c == '.') {
      afterPoint = true;
    } else if (isDigit(c)) {
      if (!seenNonZero && c != '0') seenNonZero = true;
      if (seenNonZero && !afterPoint) ++magnitude;
      if (!seenNonZero && afterPoint) --magnitude;
    } else {
      break;
    }
  }
  long exponent = 0;
  if (i < unsigned_number.size()) {  // 'e' or 'E'
    ++i;
    const bool negativeExponent = i < unsigned_number.size() && unsigned_number[i] == '-';
    if (i < unsigned_number.size() && (unsigned_number[i] == '+' || unsigned_number[i] == '-')) ++i;
    for (; i < unsigned_number.size(); ++i) {
      if (exponent < 100000) exponent = exponent * 10 + (unsigned_number[i] - '0');
    }
    if (negativeExponent) exponent = -exponent;
  }
  return magnitude + exponent > 0;
}

}  // namespace

std::optional<double> parseNumericText(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  std::string_view core = text.substr(begin, end - begin);

  // Check the grammar by hand first: strtod alone would also take hex, "inf" and "nan".
  std::size_t i = 0;
  if (i < core.size() && (core[i] == '+' || core[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < core.size() && isDigit(core[i])) ++i, ++digits;
  if (i < core.size() && core[i] == '.') {
    ++i;
    while (i < core.size() && isDigit(core[i])) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < core.size() && (core[i] == 'e' || core[i] == 'E')) {
    ++i;
    if (i < core.size() && (core[i] == '+' || core[i] == '-')) ++i;
    std::size_t exponentDigits = 0;
    while (i < core.size() && isDigit(core[i])) ++i, ++exponentDigits;
    if (exponentDigits == 0) return std::nullopt;
  }
  if (i != core.size()) return std::nullopt;

  // from_chars ignores the locale (a Qt program runs under the user's one) but takes no '+'.
  const bool negative = core.front() == '-';
  if (core.front() == '+' || core.front() == '-') core.remove_prefix(1);
  double value = 0.0;
  const auto [rest, error] = std::from_chars(core.data(), core.data() + core.size(), value);
  if (error == std::errc::result_out_of_range) {
    value = overflows(core) ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (error != std::errc{} || rest != core.data() + core.size()) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

}  // namespace orvane::host
