#pragma once

#include <string>
#include <vector>

namespace orvane::panel {

// The captions of the panel's context menu.
inline constexpr const char* StorePresetCaption = "Store preset\u2026";
inline constexpr const char* RecallPresetCaption = "Recall preset";

// A preset's name as a menu item shows it: both toolkits take "&" for the mark of a shortcut
// letter, so it is doubled to show as itself.
inline std::string menuItemText(const std::string& name) {
  std::string text;
  for (const char c : name) text += c == '&' ? std::string("&&") : std::string(1, c);
  return text;
}

// What the panel's context menu offers (a right-click, Shift+F10 or the context-menu key): store
// the switcher's routing under a name, and recall a preset. The program brings them.
class PresetActions {
 public:
  virtual ~PresetActions() = default;
  // The presets' names, read from the file as the menu opens; none when it cannot be read (a box
  // has said why).
  virtual std::vector<std::string> presetNames() = 0;
  // Asks for a name, confirms replacing a preset of that name, reads the switcher and stores.
  virtual void storePreset() = 0;
  virtual void recallPreset(const std::string& name) = 0;
};

}  // namespace orvane::panel
