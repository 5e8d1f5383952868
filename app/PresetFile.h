#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/FileAccess.h"
#include "controller/Preset.h"

namespace orvane::app {

// A presets file could not be read or written. The message names the file, the line where there
// is one, and what is wrong.
using PresetFileError = FileError;
// Another program holds the file: its lock past the limit, or (Windows) the file itself.
using PresetFileBusy = FileBusy;

// Where presets live unless --presets names a file: $XDG_CONFIG_HOME/orvane-panel/presets.toml
// (~/.config/... without it) on Linux, %APPDATA%\Orvane I-O Switcher panel\presets.toml on Windows.
std::filesystem::path defaultPresetsPath();

// A presets file holds a few kB; anything over this is not one, and is not read into memory.
inline constexpr std::size_t LargestPresetsFile = 1024 * 1024;

// How long a store waits for others, and how it spends the wait.
struct StoreWait {
  std::chrono::milliseconds lockLimit{5000};  // another program storing into the file
  std::chrono::milliseconds busyLimit{2000};  // Windows: a reader or scanner holding it open
  Pause pause;                                // none: sleep
};

// The presets file, a TOML file people and scripts can write too:
//   [preset."Bench 1"]
//   mode = "Stereo Pairs"
//   a_channels = ["X1", "X2"]
//   b_channels = ["Y1"]
//   a_balance = false
//   a_load = true
// A key left out reads as off or empty; without `mode` a recall leaves the mode as it is. Keys this
// version does not know are kept when the file is written again.
//
// A file that is a symbolic link stays one: it is read, locked and replaced where it points. No
// error of the file system escapes as anything but PresetFileError.
// One preset as the file holds it: its values, or the mistake that keeps it from being recalled
// ("FILE:LINE: preset "NAME": reason"). One bad preset spoils no other.
struct FilePreset {
  std::string name;
  std::optional<controller::Preset> preset;
  std::string problem;
};
// The presets in the menu's order.
using PresetList = std::vector<FilePreset>;

// The menu's order: names compared with ASCII letters folded to lower case, then, for names equal
// so, byte for byte ("bench", "Bench 2", "bench 3").
bool menuOrder(std::string_view a, std::string_view b);

// The presets a file's text holds; throws PresetFileError, naming the line, only when the text does
// not parse or its presets are not a table.
PresetList presetsInText(const std::string& text, const std::string& file);
// The file's text (none: no file yet) with one preset stored, every other key kept, checked to
// read back as meant; throws PresetFileError when the text does not parse or would not read back.
std::string textWithPreset(const std::optional<std::string>& text, const controller::Preset& preset,
                           const std::string& file);

class PresetFile {
 public:
  // makeFolder: the default location, whose folder the first store makes; a folder named on the
  // command line must exist.
  explicit PresetFile(std::filesystem::path path, bool makeFolder = false)
      : path_(std::move(path)), makeFolder_(makeFolder) {}

  // Every preset, in the menu's order, each with its values or its mistake; a file that does not
  // exist holds none. Reading takes no lock (a store replaces the file in one step) and never
  // writes. Throws only when the file as a whole cannot be read.
  PresetList list() const;
  // The presets that can be recalled, by name.
  std::map<std::string, controller::Preset> load() const;
  // The one preset that --preset names: the file must exist and hold it, without a mistake.
  controller::Preset recallable(const std::string& name) const;
  // Throws unless the path could be a presets file, without reading it: the name, the links, the
  // folder, and what is there (nothing yet, or a readable regular file).
  void checkPath() const;
  // Stores one preset, replacing one of the same name. Under the lock (FILE.lock beside the file),
  // the file is read again just before, written to FILE.new, read back and compared with what was
  // meant, and renamed over it: a crash or a full disk never leaves half a file, and two panels
  // storing at once both keep their presets. A file that does not parse, or is read-only, is left
  // as it was.
  void store(const controller::Preset& preset, const StoreWait& wait = {}) const;
  // Deletes a preset, and renames one (over a preset of the new name, which the caller has
  // confirmed), as a store writes: under the lock, every other key and preset kept.
  void remove(const std::string& name, const StoreWait& wait = {}) const;
  void rename(const std::string& from, const std::string& to, const StoreWait& wait = {}) const;

  const std::filesystem::path& path() const { return path_; }
  std::string displayName() const;

 private:
  using TextChange =
      std::function<std::string(const std::optional<std::string>& text, const std::string& file)>;
  void change(const StoreWait& wait, const TextChange& changed) const;

  std::filesystem::path path_;
  std::optional<std::string> readText(const std::string& name) const;

  bool makeFolder_ = false;
};

}  // namespace orvane::app
