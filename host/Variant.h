#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "host/ForeignValue.h"

namespace orvane::host {

class Object;
using ObjectRef = std::shared_ptr<Object>;
using ForeignRef = std::shared_ptr<const ForeignValue>;

// A dynamically typed value as the host delivers it. The controller needs only the conversions and
// the arithmetic below; everything else about a value is passed back to the host unchanged. A value
// of a type without a kind of its own travels as a Foreign payload, shared between copies, which
// does its own conversions.
class Variant {
 public:
  enum class Kind { Empty, Boolean, Int16, Int32, Double, Text, Object, Foreign };

  Variant() = default;
  Variant(bool value) : value_(value) {}  // NOLINT: implicit, values read like literals
  Variant(std::int16_t value) : value_(value) {}
  Variant(std::int32_t value) : value_(value) {}
  Variant(double value) : value_(value) {}
  Variant(std::string value) : value_(std::move(value)) {}
  Variant(const char* value) : value_(std::string(value)) {}
  Variant(ObjectRef value) : value_(std::move(value)) {}
  // A missing payload is no value at all: Empty.
  Variant(ForeignRef value) {
    if (value) value_ = std::move(value);
  }

  Kind kind() const { return static_cast<Kind>(value_.index()); }
  bool isEmpty() const { return kind() == Kind::Empty; }

  // Nonzero or True is True; empty is False; text must read as a number, "True" or "False".
  bool toBool() const;
  // Rounds half to even; a value outside -32768..32767 (or no number at all) is a ConversionError.
  std::int16_t toInt16() const;
  // Ordinary decimal notation (up to 15 significant digits, no trailing zeros); empty gives "".
  std::string toText() const;
  // The numeric value: empty is 0, True is -1, numeric text is its number; anything else throws.
  double toNumber() const;
  // The object reference held; anything else throws.
  ObjectRef toObject() const;
  // The payload held; anything else throws.
  const ForeignRef& toForeign() const;

  // Exact equality of kind and value (a foreign value: the same payload); for tests and logs, not
  // the controller's numeric comparison.
  friend bool operator==(const Variant& a, const Variant& b) { return a.value_ == b.value_; }

 private:
  std::variant<std::monostate, bool, std::int16_t, std::int32_t, double, std::string, ObjectRef,
               ForeignRef>
      value_;
};

// Numeric comparison (empty counts as 0): negative, zero or positive like a three-way compare.
// Throws ConversionError when either side is no number, or when either side is NaN, which has no
// order.
int compareNumeric(const Variant& a, const Variant& b);
Variant subtract(const Variant& a, const Variant& b);
Variant absoluteValue(const Variant& v);

// Text as the value's decimal form for the logs of tests: text is quoted, empty shows as Empty, a
// foreign value as its payload describes itself.
std::string describe(const Variant& v);

// The decimal text of a 16-bit integer: the plain number, a minus sign when negative, no blanks.
std::string decimalText(std::int16_t value);

}  // namespace orvane::host
