#include "panel/ReadoutFitter.h"

#include <algorithm>

#include "panel/ReadoutNumber.h"

namespace orvane::panel {

namespace {

constexpr std::string_view Unit = "V ";
constexpr std::string_view UnitDropped = " ";
constexpr std::string_view Ellipsis = "\xE2\x80\xA6";  // U+2026
// More significant digits than any readout can show; a longer reading starts rounding here.
constexpr int MostDigitsTried = 64;

std::string overflowMark(const TextFits& fits) {
  // Too narrow even for the mark: the part of it that shows is still no number.
  if (fits(OverflowMark)) return std::string(OverflowMark);
  return std::string(OverflowMark.substr(0, OverflowMark.find('V')));
}

std::optional<std::string> roundedReading(const DecimalNumber& number, std::string_view unit,
                                          const TextFits& fits) {
  const auto withUnit = [unit](std::string text) {
    text += unit;
    return text;
  };
  const int most = std::clamp(static_cast<int>(number.digits.size()), 1, MostDigitsTried);
  for (int digits = most; digits >= 1; --digits) {
    const RoundedNumber rounded = roundTo(number, digits);
    if (const auto fixed = fixedText(rounded)) {
      std::string text = withUnit(*fixed);
      if (fits(text)) return text;
    }
    std::string text = withUnit(exponentText(rounded));
    if (fits(text)) return text;
  }
  return std::nullopt;
}

bool isContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The longest beginning of a text, cut before its first digit and between whole characters, that
// fits with an ellipsis after it.
std::optional<std::string> elidedText(std::string_view caption, const TextFits& fits) {
  const std::size_t limit = std::min(caption.find_first_of("0123456789"), caption.size());
  for (std::size_t end = limit; end > 0; --end) {
    if (end < caption.size() && isContinuationByte(caption[end])) continue;  // inside a character
    std::string text(caption.substr(0, end));
    if (text.find_first_not_of(' ') == std::string::npos) break;
    text += Ellipsis;
    if (fits(text)) return text;
  }
  return std::nullopt;
}

}  // namespace

bool isReadout(ControlId id) {
  using enum ControlName;
  return id.name == Label4 || id.name == Label5 || id.name == Label6 || id.name == Label7;
}

std::string fitReadout(std::string_view caption, const TextFits& fits) {
  if (fits(caption)) return std::string(caption);
  if (caption.ends_with(Unit)) {
    if (const auto number = parseDecimal(caption.substr(0, caption.size() - Unit.size()))) {
      if (auto rounded = roundedReading(*number, Unit, fits)) return *rounded;
      // The number without its unit (the readout says what it measures) beats no number at all;
      // the blank still keeps it apart from its neighbour.
      if (auto rounded = roundedReading(*number, UnitDropped, fits)) return *rounded;
      return overflowMark(fits);
    }
  }
  if (auto elided = elidedText(caption, fits)) return *elided;
  return overflowMark(fits);
}

}  // namespace orvane::panel
