#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace orvane::host {

class Object;

// A value of a type the core has no kind for (an automation Null, an error code, an array, a
// currency amount, ...). The binding that produced it keeps it exactly as the host returned it, so
// that it goes back to the host unchanged, and converts it the way the host's own type system
// does when the controller reads it. Each conversion raises ConversionError for a value that has
// no such form (Null, an error code, an array).
class ForeignValue {
 public:
  virtual ~ForeignValue() = default;

  virtual bool toBool() const = 0;
  virtual std::int16_t toInt16() const = 0;  // overflow is a ConversionError
  virtual double toNumber() const = 0;
  virtual std::string toText() const = 0;
  // An object the binding can reach through this value (an interface of another kind that also
  // answers to member names); by default there is none.
  virtual std::shared_ptr<Object> toObject() const;
  // A short description for logs and test messages, for example "<VT_NULL>" or "<VT_R4 0.5>";
  // never throws.
  virtual std::string describe() const = 0;

 protected:
  ForeignValue() = default;
  ForeignValue(const ForeignValue&) = default;
  ForeignValue& operator=(const ForeignValue&) = default;
};

}  // namespace orvane::host
