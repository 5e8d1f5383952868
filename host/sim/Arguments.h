#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "host/Object.h"

// Argument handling of the simulated host's members, with the messages a late-bound host gives.
namespace orvane::host::sim::detail {

inline constexpr const char* NotSupported = "Object doesn't support this property or method";
inline constexpr const char* TypeMismatch = "Type mismatch";
inline constexpr const char* ArgumentMissing = "Argument not optional";
inline constexpr const char* WrongArguments =
    "Wrong number of arguments or invalid property assignment";
inline constexpr const char* CallFailed = "The remote procedure call failed.";
inline constexpr const char* Unspecified = "Unspecified error";

[[noreturn]] void raise(std::string_view member, std::string message);

// Too few arguments is "Argument not optional", too many "Wrong number of arguments".
void expectArgCount(std::string_view member, Args args, std::size_t count);

// Each conversion raises "Type mismatch" for a value the host cannot take as that type.
std::int16_t int16Arg(std::string_view member, const Arg& arg);
bool boolArg(std::string_view member, const Variant& value);
std::string textArg(std::string_view member, const Arg& arg);

// A value to be written through a by-reference argument when the access succeeds.
struct Out {
  const Arg* arg;
  Variant value;
};

// Writes all outs, or none: a value that its field cannot hold raises "Type mismatch" before
// anything is written. A by-value argument receives nothing.
void writeOuts(std::string_view member, std::span<const Out> outs);

}  // namespace orvane::host::sim::detail
