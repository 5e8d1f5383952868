#include "panel/ReadoutNumber.h"

#include <algorithm>

namespace orvane::panel {

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// No readout is wider than this many characters; a longer plain form is never a candidate.
constexpr std::int64_t LongestFixedText = 64;
constexpr std::size_t LongestExponent = 9;

}  // namespace

std::optional<DecimalNumber> parseDecimal(std::string_view text) {
  std::size_t i = 0;
  DecimalNumber number;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) number.negative = text[i++] == '-';

  std::string all;            // every mantissa digit, point removed
  std::int64_t integers = 0;  // how many of them stand before the point
  bool point = false;
  for (; i < text.size(); ++i) {
    if (isDigit(text[i])) {
      all += text[i];
      if (!point) ++integers;
    } else if (text[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (all.empty()) return std::nullopt;

  std::int64_t exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
    const std::size_t first = i;
    for (; i < text.size() && isDigit(text[i]); ++i) {
      if (i - first >= LongestExponent) return std::nullopt;
      exponent = exponent * 10 + (text[i] - '0');
    }
    if (i == first) return std::nullopt;
    if (negativeExponent) exponent = -exponent;
  }
  if (i != text.size()) return std::nullopt;

  const auto firstNonZero = all.find_first_not_of('0');
  if (firstNonZero == std::string::npos) {
    number.negative = false;  // -0 is 0
    return number;
  }
  const auto lastNonZero = all.find_last_not_of('0');
  number.digits = all.substr(firstNonZero, lastNonZero - firstNonZero + 1);
  number.exponent = exponent + integers - 1 - static_cast<std::int64_t>(firstNonZero);
  return number;
}

RoundedNumber roundTo(const DecimalNumber& number, int significant) {
  const auto n = static_cast<std::size_t>(std::max(significant, 1));
  if (number.digits.empty()) return {false, "0", 0, 0};
  RoundedNumber rounded{number.negative, number.digits, number.exponent,
                        number.exponent - static_cast<std::int64_t>(n - 1)};
  if (rounded.digits.size() <= n) {
    rounded.digits.resize(n, '0');
    return rounded;
  }
  const bool up = rounded.digits[n] >= '5';
  rounded.digits.resize(n);
  if (!up) return rounded;
  std::size_t i = n;
  while (i > 0 && rounded.digits[i - 1] == '9') rounded.digits[--i] = '0';
  if (i > 0) {
    ++rounded.digits[i - 1];
  } else {
    // 9.99 became 10.0: one more integer digit, still n significant ones.
    rounded.digits.assign(n, '0');
    rounded.digits[0] = '1';
    ++rounded.exponent;
  }
  return rounded;
}

std::optional<std::string> fixedText(const RoundedNumber& number) {
  if (number.lastPlace > 0) return std::nullopt;
  const std::int64_t top = std::max<std::int64_t>(number.exponent, 0);
  if (top - number.lastPlace + 1 > LongestFixedText) return std::nullopt;
  std::string text = number.negative ? "-" : "";
  const auto count = static_cast<std::int64_t>(number.digits.size());
  for (std::int64_t place = top; place >= number.lastPlace; --place) {
    const std::int64_t at = number.exponent - place;
    text += at >= 0 && at < count ? number.digits[static_cast<std::size_t>(at)] : '0';
    if (place == 0 && number.lastPlace < 0) text += '.';
  }
  return text;
}

std::string exponentText(const RoundedNumber& number) {
  std::string text = number.negative ? "-" : "";
  text += number.digits.substr(0, 1);
  if (number.digits.size() > 1) {
    text += '.';
    text.append(number.digits, 1);
  }
  // Appended piece by piece: "E" + std::to_string(...) trips GCC 12's -Wrestrict at -O2.
  text += 'E';
  text += std::to_string(number.exponent);
  return text;
}

}  // namespace orvane::panel
