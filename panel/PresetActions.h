#pragma once

#include <string>
#include <vector>

namespace orvane::panel {

// The captions of the panel's context menu, in its order: the preset items first.
inline constexpr const char* StorePresetCaption = "Store preset\u2026";
inline constexpr const char* RecallPresetCaption = "Recall preset";
inline constexpr const char* RenamePresetCaption = "Rename preset\u2026";
inline constexpr const char* DeletePresetCaption = "Delete preset";
// After the name of a preset with a mistake, in the Recall submenu.
inline constexpr const char* CannotBeRecalled = " (cannot be recalled)";

// A preset as the menu lists it.
struct MenuPreset {
  std::string name;
  bool recallable = true;  // false: a mistake in it; choosing it tells which
  bool inForce = false;    // the panel shows what it sets: a check mark
};

// A preset's name as a menu item shows it: both toolkits take "&" for the mark of a shortcut
// letter, so it is doubled to show as itself.
inline std::string menuItemText(const std::string& name) {
  std::string text;
  for (const char c : name) text += c == '&' ? std::string("&&") : std::string(1, c);
  return text;
}

// The Recall submenu's item for a preset.
inline std::string recallItemText(const MenuPreset& preset) {
  return menuItemText(preset.name) + (preset.recallable ? "" : CannotBeRecalled);
}

// What the panel's context menu offers (a right-click, Shift+F10 or the context-menu key): store
// the switcher's routing under a name, recall, rename and delete a preset. The program brings them.
class PresetActions {
 public:
  virtual ~PresetActions() = default;
  // The presets in the menu's order, read from the file as the menu opens, with no host call; none
  // when it cannot be read (a box has said why).
  virtual std::vector<MenuPreset> menuPresets() = 0;
  // Asks for a name, confirms replacing a preset of that name, reads the switcher and stores.
  virtual void storePreset() = 0;
  virtual void recallPreset(const std::string& name) = 0;
  // Asks for the new name, confirms replacing a preset of that name, and renames.
  virtual void renamePreset(const std::string& name) = 0;
  // Asks whether to delete it, and deletes.
  virtual void deletePreset(const std::string& name) = 0;
};

}  // namespace orvane::panel
