#include "app/TomlGuard.h"

#include <cstdint>
#include <cstdio>

namespace orvane::app {

namespace {

bool beyondAscii(char c) {
  return static_cast<unsigned char>(c) >= 0x80;
}

// The code point of the UTF-8 sequence at `at` and its length; nothing when it is not UTF-8 (left
// as it is, for toml++ to refuse as text that is not UTF-8).
std::optional<std::pair<std::uint32_t, std::size_t>> codePointAt(std::string_view text,
                                                                 std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || at + length > text.size()) return std::nullopt;
  std::uint32_t point = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return std::nullopt;
    point = point << 6 | (byte(at + i) & 0x3F);
  }
  const bool overlong = (length == 3 && point < 0x800) || (length == 4 && point < 0x10000);
  if (overlong || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return std::nullopt;
  return std::pair{point, length};
}

std::string escapeOf(std::uint32_t point) {
  char text[16];
  std::snprintf(text, sizeof text, point <= 0xFFFF ? "\\u%04X" : "\\U%08X",
                static_cast<unsigned>(point));
  return text;
}

// Outside strings and comments: whether the characters read so far make a bare token (a bare key,
// a number, a date, or garbage), in which a quote opens no string: toml++ reads a bare value on to
// its end whatever it holds, quotes and brackets included.
struct BareTokens {
  bool bare = false;
  bool valueSide = false;  // after "=" on this line: a dot belongs to the value (2.5, a date)

  void read(char c) {
    switch (c) {
      case '\n':
        bare = valueSide = false;
        break;
      case ' ':
      case '\t':
      case '\r':
      case ',':
      case ']':
      case '}':
        bare = false;
        break;
      case '=':
        bare = false;
        valueSide = true;
        break;
      case '{':  // an inline table's keys, unless inside a bare token
        if (!bare) valueSide = false;
        break;
      case '[':  // an array or a table header, unless inside a bare token
        break;
      case '.':
        bare = valueSide;  // between a dotted key's parts, or inside a value
        break;
      default:
        bare = true;
    }
  }
};

}  // namespace

TomlForParsing tomlForParsing(std::string_view text) {
  enum class In { Plain, Comment, Basic, Literal, MultiBasic, MultiLiteral };
  TomlForParsing result;
  std::string& out = result.ascii;
  out.reserve(text.size() + text.size() / 8);
  In in = In::Plain;
  BareTokens tokens;
  std::size_t line = 1;
  const auto opens = [&](std::size_t at, char quote) {
    return text.substr(at, 3) == std::string_view(quote == '"' ? "\"\"\"" : "'''");
  };
  // A character beyond ASCII in a string or a comment: its escape, or '?' in a comment; a byte
  // that is not UTF-8 stays, so that toml++ says so.
  const auto beyond = [&](std::size_t& at, bool inComment) {
    const auto point = codePointAt(text, at);
    if (!point) {
      out += text[at];
      return;
    }
    out += inComment ? std::string("?") : escapeOf(point->first);
    at += point->second - 1;
  };
  const auto close = [&](std::string_view quote) {
    out += quote;
    in = In::Plain;
    tokens.bare = true;  // what follows a string must end the value
  };
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '\n') ++line;
    switch (in) {
      case In::Plain:
        if (beyondAscii(c)) {
          if (!result.refusedLine) result.refusedLine = line;
          out += '?';
          continue;
        }
        if (c == '#') {
          in = In::Comment;
        } else if ((c == '"' || c == '\'') && !tokens.bare) {
          const bool multi = opens(at, c);
          in = c == '"' ? (multi ? In::MultiBasic : In::Basic)
                        : (multi ? In::MultiLiteral : In::Literal);
          out += multi ? "\"\"\"" : "\"";  // a literal string becomes a basic one
          if (multi) at += 2;
          continue;
        } else {
          tokens.read(c);
        }
        out += c;
        break;
      case In::Comment:
        if (beyondAscii(c)) {
          beyond(at, true);
          continue;
        }
        if (c == '\n') {
          in = In::Plain;
          tokens.read(c);
        }
        out += c;
        break;
      case In::Basic:
      case In::MultiBasic:
        if (beyondAscii(c)) {
          beyond(at, false);
        } else if (c == '\\' && at + 1 < text.size()) {
          // An escape, or a line-ending backslash: copied as it is; a character beyond ASCII after
          // the backslash is no escape at all, and becomes '?' for toml++ to refuse.
          out += c;
          const char next = text[++at];
          if (next == '\n') ++line;
          if (!beyondAscii(next)) {
            out += next;
          } else {
            out += '?';
            if (const auto point = codePointAt(text, at)) at += point->second - 1;
          }
        } else if (in == In::Basic && c == '"') {
          close("\"");
        } else if (in == In::Basic && c == '\n') {
          out += c;
          in = In::Plain;
          tokens.read(c);
        } else if (in == In::MultiBasic && opens(at, '"')) {
          close("\"\"\"");
          at += 2;
        } else {
          out += c;
        }
        break;
      case In::Literal:
      case In::MultiLiteral:
        if (beyondAscii(c)) {
          beyond(at, false);
        } else if (in == In::Literal && c == '\'') {
          close("\"");
        } else if (in == In::Literal && c == '\n') {
          out += c;
          in = In::Plain;
          tokens.read(c);
        } else if (in == In::MultiLiteral && opens(at, '\'')) {
          close("\"\"\"");
          at += 2;
        } else if (c == '\\' || c == '"') {
          out += '\\';  // as itself in the basic string it becomes
          out += c;
        } else {
          out += c;
        }
        break;
    }
  }
  return result;
}

}  // namespace orvane::app
