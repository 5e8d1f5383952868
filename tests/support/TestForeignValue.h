#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "host/AutomationError.h"
#include "host/Variant.h"

namespace orvane::testing {

// A value of a type the core cannot interpret, as a binding would hand one over: either it stands
// for a number (like a host's byte or currency value) or it has no form the controller can read
// (like an automation Null). Every instance carries a serial of its own, so a log line that shows
// "<test#7 ...>" twice shows the very same value twice.
class TestForeignValue final : public host::ForeignValue {
 public:
  static host::Variant number(double value) {
    return host::Variant(host::ForeignRef(std::make_shared<TestForeignValue>(value)));
  }
  static host::Variant unconvertible() {
    return host::Variant(host::ForeignRef(std::make_shared<TestForeignValue>(std::nullopt)));
  }

  explicit TestForeignValue(std::optional<double> value) : value_(value), serial_(++serials()) {}

  bool toBool() const override { return asNumber().toBool(); }
  std::int16_t toInt16() const override { return asNumber().toInt16(); }
  double toNumber() const override { return asNumber().toNumber(); }
  std::string toText() const override { return asNumber().toText(); }
  std::string describe() const override {
    return "<test#" + std::to_string(serial_) + " " +
           (value_ ? host::Variant(*value_).toText() : std::string("Null")) + ">";
  }

 private:
  static std::atomic<int>& serials() {
    static std::atomic<int> count{0};
    return count;
  }
  host::Variant asNumber() const {
    if (!value_) throw host::ConversionError("invalid use of Null");
    return host::Variant(*value_);
  }

  std::optional<double> value_;
  int serial_;
};

}  // namespace orvane::testing
