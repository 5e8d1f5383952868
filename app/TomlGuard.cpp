#include "app/TomlGuard.h"

namespace orvane::app {

namespace {

bool beyondAscii(char c) {
  return static_cast<unsigned char>(c) >= 0x80;
}

bool blankOrLineEnd(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Where a key or a value may begin: after these (or at a line's start) a quote opens a string. A
// quote anywhere else sits inside a bare value, which toml++ reads on through everything up to the
// value's end, asking of each character whether it ends the value.
bool stringMayOpenAfter(char c) {
  return c == '\n' || c == '=' || c == '[' || c == ',' || c == '{' || c == '.';
}

}  // namespace

std::optional<std::size_t> lineTouchingTomlFault(std::string_view text) {
  enum class In { Plain, Comment, Basic, Literal, MultiBasic, MultiLiteral };
  In in = In::Plain;
  std::size_t line = 1;
  char before = '\n';  // the last character outside strings and comments, blanks aside
  const auto opens = [&](std::size_t at, char quote) {
    return text.substr(at, 3) == std::string_view(quote == '"' ? "\"\"\"" : "'''");
  };
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '\n') ++line;
    switch (in) {
      case In::Plain:
        if (c == '#') {
          in = In::Comment;
        } else if ((c == '"' || c == '\'') && stringMayOpenAfter(before)) {
          const bool multi = opens(at, c);
          in = c == '"' ? (multi ? In::MultiBasic : In::Basic)
                        : (multi ? In::MultiLiteral : In::Literal);
          if (multi) at += 2;
        } else if (beyondAscii(c)) {
          return line;
        }
        if (c == '\n' || (c != ' ' && c != '\t' && c != '\r')) before = c;
        break;
      case In::Comment:
        if (c == '\n') {
          in = In::Plain;
          before = '\n';
        }
        break;
      case In::Basic:
      case In::MultiBasic:
        if (c == '\\' && at + 1 < text.size()) {
          if (!blankOrLineEnd(text[at + 1])) {
            ++at;  // an escape: the next character is never a closing quote
            break;
          }
          // A backslash before blanks: toml++ skips the blanks, asking of each what it is.
          while (at + 1 < text.size() && blankOrLineEnd(text[at + 1])) {
            if (text[++at] == '\n') ++line;
          }
          if (at + 1 < text.size() && beyondAscii(text[at + 1])) return line;
        } else if (in == In::Basic && (c == '"' || c == '\n')) {
          in = In::Plain;
          before = c;
        } else if (in == In::MultiBasic && opens(at, '"')) {
          in = In::Plain;
          before = '"';
          at += 2;
        }
        break;
      case In::Literal:
        if (c == '\'' || c == '\n') {
          in = In::Plain;
          before = c;
        }
        break;
      case In::MultiLiteral:
        if (opens(at, '\'')) {
          in = In::Plain;
          before = '\'';
          at += 2;
        }
        break;
    }
  }
  return std::nullopt;
}

}  // namespace orvane::app
