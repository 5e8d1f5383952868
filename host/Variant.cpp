#include "host/Variant.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "host/AutomationError.h"
#include "host/NumericText.h"

namespace orvane::host {

namespace {

// Formats a double the way an operator reads a meter: plain digits wherever the magnitude allows.
std::string formatDouble(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  if (value == 0.0) return "0";  // also -0.0
  const double magnitude = std::fabs(value);
  char buffer[64];
  if (magnitude >= 1e15 || magnitude < 1e-10) {
    std::snprintf(buffer, sizeof buffer, "%.14E", value);
    // Drop trailing zeros of the mantissa: 1.50000000000000E+20 -> 1.5E+20.
    std::string text(buffer);
    const auto e = text.find('E');
    std::string mantissa = text.substr(0, e);
    while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
    if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
    return mantissa + text.substr(e);
  }
  // 15 significant digits in fixed notation, then trailing zeros removed.
  const int integerDigits = static_cast<int>(std::floor(std::log10(magnitude))) + 1;
  const int decimals = std::max(0, 15 - integerDigits);
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string text(buffer);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  if (text == "-0") return "0";
  return text;
}

double numberFromText(const std::string& text) {
  if (const auto number = parseNumericText(text)) return *number;
  throw ConversionError("the text \"" + text + "\" is not a number");
}

}  // namespace

double Variant::toNumber() const {
  switch (kind()) {
    case Kind::Empty:
      return 0.0;
    case Kind::Boolean:
      return std::get<bool>(value_) ? -1.0 : 0.0;
    case Kind::Int16:
      return std::get<std::int16_t>(value_);
    case Kind::Int32:
      return std::get<std::int32_t>(value_);
    case Kind::Double:
      return std::get<double>(value_);
    case Kind::Text:
      return numberFromText(std::get<std::string>(value_));
    case Kind::Object:
      break;
    case Kind::Foreign:
      return std::get<ForeignRef>(value_)->toNumber();
  }
  throw ConversionError("an object reference is not a number");
}

bool Variant::toBool() const {
  if (kind() == Kind::Foreign) return std::get<ForeignRef>(value_)->toBool();
  if (kind() == Kind::Boolean) return std::get<bool>(value_);
  if (kind() == Kind::Text) {
    const auto& text = std::get<std::string>(value_);
    if (text == "True") return true;
    if (text == "False") return false;
  }
  const double number = toNumber();
  if (std::isnan(number)) throw ConversionError("NaN has no truth value");
  return number != 0.0;
}

std::int16_t Variant::toInt16() const {
  if (kind() == Kind::Foreign) return std::get<ForeignRef>(value_)->toInt16();
  const double number = toNumber();
  // nearbyint rounds half to even in the default rounding mode, which the program never changes.
  const double rounded = std::nearbyint(number);
  if (!(rounded >= std::numeric_limits<std::int16_t>::min() &&
        rounded <= std::numeric_limits<std::int16_t>::max())) {
    throw ConversionError("overflow: " + formatDouble(number) + " does not fit a 16-bit integer");
  }
  return static_cast<std::int16_t>(rounded);
}

std::string Variant::toText() const {
  switch (kind()) {
    case Kind::Empty:
      return "";
    case Kind::Boolean:
      return std::get<bool>(value_) ? "True" : "False";
    case Kind::Int16:
      return std::to_string(std::get<std::int16_t>(value_));
    case Kind::Int32:
      return std::to_string(std::get<std::int32_t>(value_));
    case Kind::Double:
      return formatDouble(std::get<double>(value_));
    case Kind::Text:
      return std::get<std::string>(value_);
    case Kind::Object:
      break;
    case Kind::Foreign:
      return std::get<ForeignRef>(value_)->toText();
  }
  throw ConversionError("an object reference has no text");
}

ObjectRef ForeignValue::toObject() const {
  throw ConversionError("the value " + describe() + " is not an object");
}

ObjectRef Variant::toObject() const {
  if (kind() == Kind::Object) return std::get<ObjectRef>(value_);
  if (kind() == Kind::Foreign) return std::get<ForeignRef>(value_)->toObject();
  throw ConversionError("the value " + describe(*this) + " is not an object");
}

const ForeignRef& Variant::toForeign() const {
  if (kind() == Kind::Foreign) return std::get<ForeignRef>(value_);
  throw ConversionError("the value " + describe(*this) + " is not a foreign value");
}

int compareNumeric(const Variant& a, const Variant& b) {
  const double x = a.toNumber();
  const double y = b.toNumber();
  if (std::isnan(x) || std::isnan(y)) throw ConversionError("NaN cannot be compared");
  return x < y ? -1 : (x > y ? 1 : 0);
}

Variant subtract(const Variant& a, const Variant& b) {
  return Variant(a.toNumber() - b.toNumber());
}

Variant absoluteValue(const Variant& v) {
  return Variant(std::fabs(v.toNumber()));
}

std::string describe(const Variant& v) {
  switch (v.kind()) {
    case Variant::Kind::Empty:
      return "Empty";
    case Variant::Kind::Text: {
      // Built piece by piece: "\"" + std::string&& trips GCC 12's -Wrestrict at -O2.
      std::string text(1, '"');
      text += v.toText();
      text += '"';
      return text;
    }
    case Variant::Kind::Object:
      return "<object>";
    case Variant::Kind::Foreign:
      return v.toForeign()->describe();
    default:
      return v.toText();
  }
}

std::string decimalText(std::int16_t value) {
  return std::to_string(value);
}

}  // namespace orvane::host
