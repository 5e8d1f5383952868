#include "app/PresetFile.h"

#include <algorithm>
#include <cstdlib>
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

std::string quoted(const std::string& name) {
  return "\"" + name + "\"";
}

std::string modeList() {
  std::string list;
  for (const auto name : controller::LinkModeNames)
    list += (list.empty() ? "" : ", ") + std::string(name);
  return list;
}

toml::table parsed(const std::string& text, const std::string& name) {
  if (const auto line = lineTouchingTomlFault(text)) {
    throw PresetFileError(name + ":" + std::to_string(*line) +
                          ": a character beyond ASCII outside quotes (TOML allows such characters "
                          "only in quoted text and comments)");
  }
  try {
    return toml::parse(text, name);
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
    Preset preset{name_, {}, {}, {}, {}};
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

std::map<std::string, Preset> presetsIn(const toml::table& root, const std::string& file) {
  std::map<std::string, Preset> presets;
  const auto* all = root.get("preset");
  if (!all) return presets;
  if (!all->is_table()) {
    throw PresetFileError(file + ":" + std::to_string(all->source().begin.line) +
                          ": preset must be a table of presets, such as [preset.\"Bench 1\"]");
  }
  for (const auto& [key, node] : *all->as_table()) {
    const std::string name(key.str());
    const PresetReader reader(file, name);
    if (const auto problem = controller::presetNameProblem(name)) {
      throw PresetFileError(file + ":" + std::to_string(node.source().begin.line) + ": preset \"" +
                            name + "\": " + *problem);
    }
    if (!node.is_table()) {
      throw PresetFileError(file + ":" + std::to_string(node.source().begin.line) + ": preset \"" +
                            name + "\" must be a table of keys");
    }
    presets.emplace(name, reader.read(*node.as_table()));
  }
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

std::map<std::string, Preset> PresetFile::load() const {
  const std::string name = displayName();
  const auto text = readWhole(followLinks(path_, name), name, LargestPresetsFile);
  if (!text) return {};
  return presetsInText(*text, name);
}

Preset PresetFile::recallable(const std::string& name) const {
  const std::string file = displayName();
  const auto text = readWhole(followLinks(path_, file), file, LargestPresetsFile);
  if (!text) {
    throw PresetFileError(file + " does not exist: no preset has been stored in it yet");
  }
  const auto presets = presetsIn(parsed(*text, file), file);
  const auto found = presets.find(name);
  if (found == presets.end()) {
    throw PresetFileError("no preset " + quoted(name) + " in " + file);
  }
  return found->second;
}

std::map<std::string, Preset> presetsInText(const std::string& text, const std::string& file) {
  return presetsIn(parsed(text, file), file);
}

std::string textWithPreset(const std::optional<std::string>& text, const Preset& preset,
                           const std::string& file) {
  toml::table root = text ? parsed(*text, file) : toml::table{};
  presetsIn(root, file);  // a file with a broken preset is not written over either
  if (!root.contains("preset")) root.insert("preset", toml::table{});
  auto& all = *root.get("preset")->as_table();
  if (!all.contains(preset.name)) all.insert(preset.name, toml::table{});
  writeInto(*all.get(preset.name)->as_table(), preset);

  // No writer is trusted blindly: what is about to be written must read back as meant.
  const std::string written = tomlText(root);
  toml::table readBack;
  try {
    if (!lineTouchingTomlFault(written)) readBack = toml::parse(written, file);
  } catch (const toml::parse_error&) {  // told below, as any text that does not read back
  }
  if (!sameContent(readBack, root)) {
    throw PresetFileError(file + ": the preset " + quoted(preset.name) +
                          " would not read back as it was meant; it is as it was");
  }
  return written;
}

void PresetFile::store(const Preset& preset, const StoreWait& wait) const {
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
    replaceWith(target, textWithPreset(text, preset, name), name, wait.busyLimit, wait.pause);
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
