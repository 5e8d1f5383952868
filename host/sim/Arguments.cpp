#include "host/sim/Arguments.h"

#include <type_traits>

namespace orvane::host::sim::detail {

void raise(std::string_view member, std::string message) {
  throw HostError(std::string(member), std::move(message));
}

void expectArgCount(std::string_view member, Args args, std::size_t count) {
  if (args.size() < count) raise(member, ArgumentMissing);
  if (args.size() > count) raise(member, WrongArguments);
}

std::int16_t int16Arg(std::string_view member, const Arg& arg) {
  try {
    return arg.current().toInt16();
  } catch (const ConversionError&) {
    raise(member, TypeMismatch);
  }
}

bool boolArg(std::string_view member, const Variant& value) {
  try {
    return value.toBool();
  } catch (const ConversionError&) {
    raise(member, TypeMismatch);
  }
}

std::string textArg(std::string_view member, const Arg& arg) {
  try {
    return arg.current().toText();
  } catch (const ConversionError&) {
    raise(member, TypeMismatch);
  }
}

namespace {

// Whether the field behind a reference can hold the value, by the same conversion that
// Arg::write makes.
bool fits(const Arg& arg, const Variant& value) {
  if (!arg.isRef()) return true;
  return std::visit(
      [&value](auto* target) {
        using Field = std::remove_pointer_t<decltype(target)>;
        try {
          if constexpr (std::is_same_v<Field, std::int16_t>) {
            (void)value.toInt16();
          } else if constexpr (std::is_same_v<Field, bool>) {
            (void)value.toBool();
          }
          return true;
        } catch (const ConversionError&) {
          return false;
        }
      },
      arg.field());
}

}  // namespace

void writeOuts(std::string_view member, std::span<const Out> outs) {
  for (const auto& out : outs) {
    if (!fits(*out.arg, out.value)) raise(member, TypeMismatch);
  }
  for (const auto& out : outs) out.arg->write(out.value);
}

}  // namespace orvane::host::sim::detail
