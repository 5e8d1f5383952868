#pragma once

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

#include "controller/Preset.h"

namespace orvane::app {

// A presets file could not be read or written. The message names the file, the line where there
// is one, and what is wrong.
class PresetFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where presets live unless --presets names a file: $XDG_CONFIG_HOME/orvane-panel/presets.toml
// (~/.config/... without it) on Linux, %APPDATA%\Orvane I-O Switcher panel\presets.toml on Windows.
std::filesystem::path defaultPresetsPath();

// The presets file, a TOML file people and scripts can write too:
//   [preset."Bench 1"]
//   mode = "Stereo Pairs"
//   a_channels = ["X1", "X2"]
//   b_channels = ["Y1"]
//   a_balance = false
//   a_load = true
// A key left out reads as off or empty; without `mode` a recall leaves the mode as it is. Keys this
// version does not know are kept when the file is written again.
class PresetFile {
 public:
  explicit PresetFile(std::filesystem::path path) : path_(std::move(path)) {}

  // Every preset, by name; a file that does not exist holds none. Reading never writes.
  std::map<std::string, controller::Preset> load() const;
  // Stores one preset, replacing one of the same name. Under a lock, the file is read again just
  // before, written to a temporary file beside it and renamed over it: a crash or a full disk never
  // leaves half a file, and two panels storing at once both keep their presets. A file that does
  // not parse is left as it was.
  void store(const controller::Preset& preset) const;

  const std::filesystem::path& path() const { return path_; }
  std::string displayName() const;

 private:
  std::filesystem::path path_;
};

}  // namespace orvane::app
