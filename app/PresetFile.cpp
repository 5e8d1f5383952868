#include "app/PresetFile.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>

#include "app/FileLock.h"
#include "app/TomlGuard.h"
#include "app/TomlText.h"
#include "host/PathText.h"

namespace orvane::app {

namespace {

using controller::Preset;

constexpr const char* BusKeys[2][3] = {{"a_channels", "a_balance", "a_load"},
                                       {"b_channels", "b_balance", "b_load"}};

std::string inQuotes(const std::string& name) {
  return "\"" + name + "\"";
}

std::string modeList() {
  std::string list;
  for (const auto name : controller::LinkModeNames)
    list += (list.empty() ? "" : ", ") + std::string(name);
  return list;
}

toml::table parsed(const std::string& text, const std::string& name) {
  const TomlForParsing safe = tomlForParsing(text);
  if (const auto line = safe.refusedLine) {
    throw PresetFileError(name + ":" + std::to_string(*line) +
                          ": a character beyond ASCII outside quotes (TOML allows such characters "
                          "only in quoted text and comments)");
  }
  try {
    return toml::parse(safe.ascii, name);
  } catch (const toml::parse_error& error) {
    throw PresetFileError(name + ":" + std::to_string(error.source().begin.line) + ": " +
                          std::string(error.description()));
  }
}

// One preset's table, checked key by key; keys this version does not know are left alone.
class PresetReader {
 public:
  PresetReader(const std::string& file, std::string name) : file_(file), name_(std::move(name)) {}

  Preset read(const toml::table& table) const {
    Preset preset{name_, {}, {}, {}, {}, {}};
    for (const auto& [key, value] : table) {
      if (!known(key.str())) preset.unknownKeys.emplace_back(key.str());
    }
    if (const auto* mode = table.get("mode")) preset.mode = modeOf(*mode);
    for (int bus = 0; bus < 2; ++bus) {
      if (const auto* channels = table.get(BusKeys[bus][0])) {
        for (const int channel : channelsOf(*channels, BusKeys[bus][0])) {
          preset.on[bus][channel - 1] = true;
        }
      }
      preset.balance[bus] = flag(table, BusKeys[bus][1]);
      preset.load[bus] = flag(table, BusKeys[bus][2]);
    }
    return preset;
  }

 private:
  static bool known(std::string_view key) {
    if (key == "mode") return true;
    for (const auto& keys : BusKeys) {
      for (const char* own : keys) {
        if (key == own) return true;
      }
    }
    return false;
  }

  [[noreturn]] void fail(const toml::node& at, const std::string& what) const {
    throw PresetFileError(file_ + ":" + std::to_string(at.source().begin.line) + ": preset \"" +
                          name_ + "\": " + what);
  }

  std::int16_t modeOf(const toml::node& node) const {
    const auto text = node.value<std::string>();
    if (!node.is_string() || !text) fail(node, "mode must be text: one of " + modeList());
    for (std::size_t index = 0; index < controller::LinkModeNames.size(); ++index) {
      if (controller::LinkModeNames[index] == *text) return static_cast<std::int16_t>(index);
    }
    fail(node, "unknown mode \"" + *text + "\" (" + modeList() + ")");
  }

  std::vector<int> channelsOf(const toml::node& node, const char* key) const {
    const auto* list = node.as_array();
    if (!list)
      fail(node, std::string(key) + " must be a list of channels such as [\"X1\", \"Y2\"]");
    std::vector<int> channels;
    for (const auto& item : *list) {
      const auto text = item.value<std::string>();
      const auto channel = item.is_string() && text ? controller::channelOf(*text) : std::nullopt;
      if (!channel) {
        fail(item, "unknown channel " + (text && item.is_string() ? "\"" + *text + "\"" : "value") +
                       " in " + key + " (X1..X8, Y1..Y8)");
      }
      if (std::find(channels.begin(), channels.end(), *channel) != channels.end()) {
        fail(item, "channel \"" + *text + "\" is listed twice in " + key);
      }
      channels.push_back(*channel);
    }
    return channels;
  }

  bool flag(const toml::table& table, const char* key) const {
    const auto* node = table.get(key);
    if (!node) return false;
    if (!node->is_boolean()) fail(*node, std::string(key) + " must be true or false");
    return node->as_boolean()->get();
  }

  const std::string& file_;
  std::string name_;
};

// The presets table, or none when the file has no presets yet; anything else is a mistake of
// the whole file.
const toml::table* presetsTable(const toml::table& root, const std::string& file) {
  const auto* all = root.get("preset");
  if (!all) return nullptr;
  if (!all->is_table()) {
    throw PresetFileError(file + ":" + std::to_string(all->source().begin.line) +
                          ": preset must be a table of presets, such as [preset.\"Bench 1\"]");
  }
  return all->as_table();
}

// Every preset, each with its values or its mistake: one bad preset spoils no other.
PresetList presetsIn(const toml::table& root, const std::string& file) {
  PresetList presets;
  if (const auto* all = presetsTable(root, file)) {
    for (const auto& [key, node] : *all) {
      FilePreset entry{std::string(key.str()), std::nullopt, {}};
      const std::string at = file + ":" + std::to_string(node.source().begin.line) + ": preset " +
                             inQuotes(entry.name);
      try {
        if (const auto problem = controller::presetNameProblem(entry.name)) {
          throw PresetFileError(at + ": " + *problem);
        }
        if (!node.is_table()) throw PresetFileError(at + " must be a table of keys");
        entry.preset = PresetReader(file, entry.name).read(*node.as_table());
      } catch (const PresetFileError& error) {
        entry.problem = error.what();
      }
      presets.push_back(std::move(entry));
    }
  }
  std::sort(presets.begin(), presets.end(),
            [](const FilePreset& a, const FilePreset& b) { return menuOrder(a.name, b.name); });
  return presets;
}

// The preset's keys, written over the ones of the same name; other keys stay.
void writeInto(toml::table& table, const Preset& preset) {
  if (preset.mode) {
    table.insert_or_assign(
        "mode", std::string(controller::LinkModeNames[static_cast<std::size_t>(*preset.mode)]));
  } else {
    table.erase("mode");
  }
  for (int bus = 0; bus < 2; ++bus) {
    toml::array channels;
    for (int channel = 1; channel <= 16; ++channel) {
      if (preset.on[bus][channel - 1]) channels.push_back(controller::channelName(channel));
    }
    table.insert_or_assign(BusKeys[bus][0], std::move(channels));
    table.insert_or_assign(BusKeys[bus][1], preset.balance[bus]);
    table.insert_or_assign(BusKeys[bus][2], preset.load[bus]);
  }
}

}  // namespace

std::filesystem::path defaultPresetsPath() {
#ifdef _WIN32
  const wchar_t* appData = _wgetenv(L"APPDATA");
  const std::filesystem::path base = appData && *appData ? appData : L".";
  return base / L"Orvane I-O Switcher panel" / L"presets.toml";
#else
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  const std::filesystem::path base = config && *config ? std::filesystem::path(config)
                                     : home && *home   ? std::filesystem::path(home) / ".config"
                                                       : std::filesystem::path(".config");
  return base / "orvane-panel" / "presets.toml";
#endif
}

std::string PresetFile::displayName() const {
  return host::pathText(path_);
}

void PresetFile::checkPath() const {
  const std::string name = displayName();
  if (path_.empty()) throw PresetFileError("the presets file needs a name");
  checkFile(followLinks(path_, name), name);
}

// The file's text; none when it does not exist, nor, at the default location, its folder: the
// first store makes that.
std::optional<std::string> PresetFile::readText(const std::string& name) const {
  const auto target = followLinks(path_, name);
  std::error_code unknown;
  if (makeFolder_ && target.has_parent_path() &&
      !std::filesystem::exists(target.parent_path(), unknown) && !unknown) {
    return std::nullopt;
  }
  return readWhole(target, name, LargestPresetsFile);
}

PresetList PresetFile::list() const {
  const std::string name = displayName();
  const auto text = readText(name);
  if (!text) return {};
  return presetsInText(*text, name);
}

std::map<std::string, Preset> PresetFile::load() const {
  std::map<std::string, Preset> presets;
  for (auto& entry : list()) {
    if (entry.preset) presets.emplace(entry.name, std::move(*entry.preset));
  }
  return presets;
}

Preset PresetFile::recallable(const std::string& name) const {
  const std::string file = displayName();
  const auto text = readText(file);
  if (!text) {
    throw PresetFileError(file + " does not exist: no preset has been stored in it yet");
  }
  for (auto& entry : presetsInText(*text, file)) {
    if (entry.name != name) continue;
    if (!entry.preset) throw PresetFileError(entry.problem);
    return std::move(*entry.preset);
  }
  throw PresetFileError("no preset " + inQuotes(name) + " in " + file);
}

PresetList presetsInText(const std::string& text, const std::string& file) {
  return presetsIn(parsed(text, file), file);
}

bool menuOrder(std::string_view a, std::string_view b) {
  const auto folded = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  const auto fold = [&](std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), folded);
    return out;
  };
  const std::string left = fold(a);
  const std::string right = fold(b);
  if (left != right) return left < right;
  return a < b;
}

std::string textWithChange(const std::optional<std::string>& text, const std::string& file,
                           const std::function<void(toml::table& presets)>& change) {
  toml::table root = text ? parsed(*text, file) : toml::table{};
  presetsTable(root, file);  // a file whose presets are no table is not written over
  if (!root.contains("preset")) root.insert("preset", toml::table{});
  change(*root.get("preset")->as_table());

  // No writer is trusted blindly: what is about to be written must read back as meant.
  const std::string written = tomlText(root);
  toml::table readBack;
  try {
    const TomlForParsing safe = tomlForParsing(written);
    if (!safe.refusedLine) readBack = toml::parse(safe.ascii, file);
  } catch (const toml::parse_error&) {  // told below, as any text that does not read back
  }
  if (!sameContent(readBack, root)) {
    throw PresetFileError(file +
                          ": the presets would not read back as they were meant; the file "
                          "is as it was");
  }
  return written;
}

std::string textWithPreset(const std::optional<std::string>& text, const Preset& preset,
                           const std::string& file) {
  return textWithChange(text, file, [&](toml::table& all) {
    if (!all.get_as<toml::table>(preset.name)) all.insert_or_assign(preset.name, toml::table{});
    writeInto(*all.get_as<toml::table>(preset.name), preset);
  });
}

void PresetFile::store(const Preset& preset, const StoreWait& wait) const {
  change(wait, [&](const std::optional<std::string>& text, const std::string& file) {
    return textWithPreset(text, preset, file);
  });
}

void PresetFile::remove(const std::string& name, const StoreWait& wait) const {
  change(wait, [&](const std::optional<std::string>& text, const std::string& file) {
    return textWithChange(text, file, [&](toml::table& all) {
      if (!all.erase(name)) throw PresetFileError("no preset " + inQuotes(name) + " in " + file);
    });
  });
}

void PresetFile::rename(const std::string& from, const std::string& to,
                        const StoreWait& wait) const {
  change(wait, [&](const std::optional<std::string>& text, const std::string& file) {
    return textWithChange(text, file, [&](toml::table& all) {
      const auto* old = all.get_as<toml::table>(from);
      if (!old) throw PresetFileError("no preset " + inQuotes(from) + " in " + file);
      toml::table moved = *old;  // its own keys, unknown ones included
      all.erase(from);
      all.insert_or_assign(to, std::move(moved));
    });
  });
}

// Under the lock (FILE.lock beside the file), the file is read again, changed, and replaced.
void PresetFile::change(const StoreWait& wait, const TextChange& changed) const {
  const std::string name = displayName();
  const auto target = followLinks(path_, name);
  if (makeFolder_ && target.has_parent_path()) {
    std::error_code ignored;  // a folder that cannot be made is named by the check below
    std::filesystem::create_directories(target.parent_path(), ignored);
  }
  checkFile(target, name);
  const FileLock lock(std::filesystem::path(target).concat(".lock"), name, wait.lockLimit,
                      wait.pause);
  try {
    checkWritable(target, name);
    const auto text = readWhole(target, name, LargestPresetsFile);
    replaceWith(target, changed(text, name), name, wait.busyLimit, wait.pause);
  } catch (...) {
    // A FILE.new left by a store that failed, ours or an earlier one: nobody else writes it while
    // we hold the lock.
    std::error_code ignored;
    const auto leftover = std::filesystem::path(target).concat(".new");
    if (std::filesystem::is_regular_file(std::filesystem::symlink_status(leftover, ignored))) {
      std::filesystem::remove(leftover, ignored);
    }
    throw;
  }
}

}  // namespace orvane::app
