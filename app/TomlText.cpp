#include "app/TomlText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace orvane::app {

namespace {

std::string basicString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
          out += escaped;
        } else {
          out += c;  // UTF-8 as it is (C1 characters are printable in TOML's eyes)
        }
    }
  }
  return out + '"';
}

std::string valueText(const toml::node& node);

std::string inlineTable(const toml::table& table) {
  std::string out = "{";
  for (const auto& [key, value] : table) {
    out += (out.size() > 1 ? ", " : " ") + tomlKey(key.str()) + " = " + valueText(value);
  }
  return out + (out.size() > 1 ? " }" : "}");
}

std::string valueText(const toml::node& node) {
  if (const auto* text = node.as_string()) return basicString(text->get());
  if (const auto* table = node.as_table()) return inlineTable(*table);
  if (const auto* array = node.as_array()) {
    std::string out = "[";
    for (const auto& item : *array) out += (out.size() > 1 ? ", " : "") + valueText(item);
    return out + "]";
  }
  std::ostringstream scalar;  // numbers, booleans, dates and times as toml++ writes them
  node.visit([&](const auto& value) { scalar << value; });
  return scalar.str();
}

bool isArrayOfTables(const toml::node& node) {
  const auto* array = node.as_array();
  return array && !array->empty() && array->is_array_of_tables();
}

bool isSection(const toml::node& node) {
  return node.is_table() || isArrayOfTables(node);
}

void writeTable(std::string& out, const toml::table& table, const std::string& path, bool header,
                bool quoteChildren);

// A table's header, after a blank line unless it comes first.
void writeHeader(std::string& out, std::string_view open, const std::string& path,
                 std::string_view close) {
  if (!out.empty()) out += '\n';
  out.append(open).append(path).append(close) += '\n';
}

// The table's own keys first, then its tables and arrays of tables under their headers.
void writeBody(std::string& out, const toml::table& table, const std::string& path,
               bool quoteChildren) {
  for (const auto& [key, value] : table) {
    if (!isSection(value))
      out += tomlKey(key.str(), quoteChildren) + " = " + valueText(value) + "\n";
  }
  for (const auto& [key, value] : table) {
    const std::string child = (path.empty() ? "" : path + ".") + tomlKey(key.str(), quoteChildren);
    const bool presets = path.empty() && key.str() == "preset";
    if (const auto* sub = value.as_table()) {
      writeTable(out, *sub, child, true, presets);
    } else if (isArrayOfTables(value)) {
      for (const auto& item : *value.as_array()) {
        writeHeader(out, "[[", child, "]]");
        writeBody(out, *item.as_table(), child, false);
      }
    }
  }
}

void writeTable(std::string& out, const toml::table& table, const std::string& path, bool header,
                bool quoteChildren) {
  const bool ownKeys = std::any_of(table.begin(), table.end(),
                                   [](const auto& entry) { return !isSection(entry.second); });
  if (header && (ownKeys || table.empty())) writeHeader(out, "[", path, "]");
  writeBody(out, table, path, quoteChildren);
}

}  // namespace

std::string tomlKey(std::string_view key, bool alwaysQuoted) {
  const bool bare = !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
  });
  return bare && !alwaysQuoted ? std::string(key) : basicString(key);
}

std::string tomlText(const toml::table& root) {
  std::string out;
  writeTable(out, root, "", false, false);
  return out;
}

bool sameContent(const toml::node& left, const toml::node& right) {
  if (left.type() != right.type()) return false;
  if (const auto* table = left.as_table()) {
    const auto& other = *right.as_table();
    if (table->size() != other.size()) return false;
    for (const auto& [key, value] : *table) {
      const auto* match = other.get(key.str());
      if (!match || !sameContent(value, *match)) return false;
    }
    return true;
  }
  if (const auto* array = left.as_array()) {
    const auto& other = *right.as_array();
    if (array->size() != other.size()) return false;
    for (std::size_t i = 0; i < array->size(); ++i) {
      if (!sameContent(*array->get(i), *other.get(i))) return false;
    }
    return true;
  }
  if (const auto* number = left.as_floating_point()) {
    const double a = number->get();
    const double b = right.as_floating_point()->get();
    return a == b || (std::isnan(a) && std::isnan(b));
  }
  if (const auto* text = left.as_string()) return text->get() == right.as_string()->get();
  if (const auto* number = left.as_integer()) return number->get() == right.as_integer()->get();
  if (const auto* flag = left.as_boolean()) return flag->get() == right.as_boolean()->get();
  if (const auto* date = left.as_date()) return date->get() == right.as_date()->get();
  if (const auto* time = left.as_time()) return time->get() == right.as_time()->get();
  if (const auto* both = left.as_date_time()) return both->get() == right.as_date_time()->get();
  return false;
}

}  // namespace orvane::app
