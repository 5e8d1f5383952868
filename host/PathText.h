#pragma once

#include <filesystem>
#include <string>

namespace orvane::host {

// A file's name as UTF-8 text, for messages and the trace, on every platform.
inline std::string pathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The path a UTF-8 file name stands for (the command line's names are UTF-8 on every platform).
inline std::filesystem::path pathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace orvane::host
