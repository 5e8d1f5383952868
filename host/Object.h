#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "host/AutomationError.h"
#include "host/Variant.h"

namespace orvane::host {

// One positional argument of a member call: a value, or a reference to a field of the caller's
// state that the callee may write (a 16-bit integer, a Boolean or a Variant).
class Arg {
 public:
  using FieldRef = std::variant<std::int16_t*, bool*, Variant*>;

  Arg(Variant value) : value_(std::move(value)) {}  // NOLINT: by value reads naturally
  Arg(const char* text) : value_(Variant(text)) {}
  Arg(std::string text) : value_(Variant(std::move(text))) {}
  Arg(std::int16_t value) : value_(Variant(value)) {}
  Arg(bool value) : value_(Variant(value)) {}

  static Arg ref(std::int16_t& field) { return Arg(FieldRef(&field)); }
  static Arg ref(bool& field) { return Arg(FieldRef(&field)); }
  static Arg ref(Variant& field) { return Arg(FieldRef(&field)); }

  bool isRef() const { return std::holds_alternative<FieldRef>(value_); }
  const FieldRef& field() const { return std::get<FieldRef>(value_); }
  // The value as it stands now: the by-value argument, or the referenced field's content.
  Variant current() const;
  // Writes through a reference (converting to the field's type); a by-value argument ignores it.
  void write(const Variant& value) const;

 private:
  explicit Arg(FieldRef field) : value_(field) {}
  std::variant<Variant, FieldRef> value_;
};

using Args = std::span<const Arg>;

// An automation object of the host, reached late-bound by member name. Every failure of a member
// access raises HostError with the member's name and the host's own message. Dropping the last
// reference releases the object.
class Object {
 public:
  virtual ~Object() = default;

  // Calls a member with positional arguments, in call order.
  virtual Variant call(std::string_view member, Args args) = 0;
  // Reads an argument-less member (a property or a constant).
  virtual Variant get(std::string_view member) = 0;
  // Sets a property.
  virtual void put(std::string_view member, const Variant& value) = 0;

  Variant call(std::string_view member, std::initializer_list<Arg> args) {
    return call(member, Args(args.begin(), args.size()));
  }
};

// Creates an object by its ProgID; throws HostError when no such object can be made. The program
// chooses the binding (simulated host, COM) by the factory it hands to the controller.
using ObjectFactory = std::function<ObjectRef(const std::string& progId)>;

}  // namespace orvane::host
