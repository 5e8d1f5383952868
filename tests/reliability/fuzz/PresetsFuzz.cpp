#include "tests/reliability/fuzz/PresetsFuzz.h"

#include <algorithm>

#include "app/PresetFile.h"

namespace orvane::reliability {

namespace {

// Each preset's values by name, none for one with a mistake (whose text names a line, which a
// store may move).
std::map<std::string, std::optional<controller::Preset>> byName(const app::PresetList& list) {
  std::map<std::string, std::optional<controller::Preset>> presets;
  for (const auto& entry : list) presets[entry.name] = entry.preset;
  return presets;
}

}  // namespace

std::string presetsFuzzFinding(const std::uint8_t* data, std::size_t size) {
  using app::PresetFileError;
  if (size == 0) return "";
  const auto* bytes = reinterpret_cast<const char*>(data);
  const std::size_t nameLength = std::min<std::size_t>(data[0] % 48, size - 1);
  const std::string name(bytes + 1, nameLength);
  const std::string text(bytes + 1 + nameLength, size - 1 - nameLength);

  std::map<std::string, std::optional<controller::Preset>> before;
  bool reads = true;
  try {
    before = byName(app::presetsInText(text, "fuzz.toml"));
  } catch (const PresetFileError&) {
    reads = false;
  }
  if (controller::presetNameProblem(name)) return "";

  controller::Preset preset{
      name, static_cast<std::int16_t>(data[0] % 6), {}, {true, false}, {false, true}};
  preset.on[data[0] % 2][data[0] % 16] = true;
  std::string written;
  try {
    written = app::textWithPreset(text, preset, "fuzz.toml");
  } catch (const PresetFileError& error) {
    return reads ? std::string("a file that reads refused a store: ") + error.what() : "";
  }
  if (!reads) return "a file that does not read took a store";
  try {
    auto after = byName(app::presetsInText(written, "fuzz.toml"));
    auto stored = after[name];
    if (stored) stored->unknownKeys.clear();  // a preset's keys of a newer version stay
    if (stored != preset) return "the stored preset did not read back as stored";
    before[name] = after[name];
    if (after != before) return "a store changed another preset";
  } catch (const PresetFileError& error) {
    return std::string("the text written does not read: ") + error.what();
  }
  return "";
}

}  // namespace orvane::reliability
