#include "host/trace/TraceText.h"

#include <cstdio>
#include <exception>

namespace orvane::host::trace {

std::string quotedText(std::string_view text) {
  std::string result(1, '"');
  for (const char c : text) {
    switch (c) {
      case '\\':
        result += "\\\\";
        break;
      case '"':
        result += "\\\"";
        break;
      case '\r':
        result += "\\r";
        break;
      case '\n':
        result += "\\n";
        break;
      case '\t':
        result += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          char escaped[5];
          std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
          result += escaped;
        } else {
          result += c;
        }
    }
  }
  result += '"';
  return result;
}

std::string valueText(const Variant& value) {
  try {
    if (value.kind() == Variant::Kind::Text) return quotedText(value.toText());
    return describe(value);
  } catch (const std::exception&) {
    return "<value>";  // a kind this build cannot show; the trace must go on
  }
}

}  // namespace orvane::host::trace
