// The context menu as the Qt panel builds it: the preset items in their order, the preset in force
// checked, a preset with a mistake marked, "&" shown as itself, and each submenu's choice reaching
// the program with the preset's own name.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "panel/PresetActions.h"
#include "panel/qt/PanelWindow.h"

namespace orvane::panel::qt {
namespace {

struct RecordedPresets final : PresetActions {
  std::vector<MenuPreset> menuPresets() override {
    return {{"bench", true, true}, {"R&D", false, false}};
  }
  void storePreset() override { chosen.push_back("store"); }
  void recallPreset(const std::string& name) override { chosen.push_back("recall " + name); }
  void renamePreset(const std::string& name) override { chosen.push_back("rename " + name); }
  void deletePreset(const std::string& name) override { chosen.push_back("delete " + name); }
  std::vector<std::string> chosen;
};

// Shift+F10 opens the menu; `act` runs on it once it is up.
void openMenu(PanelWindow& window, std::function<void(QMenu&)> act) {
  QTimer::singleShot(0, [act = std::move(act)] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) act(*menu);
  });
  QTest::keyClick(&window, Qt::Key_F10, Qt::ShiftModifier);
}

TEST(ContextMenuTest, ListsThePresetsMarksTheOneInForceAndHandsEachChoiceOn) {
  PanelWindow window;
  RecordedPresets presets;
  window.offerPresets(presets);
  std::vector<QString> items;
  std::vector<QString> recall;
  std::vector<bool> checked;
  openMenu(window, [&](QMenu& menu) {
    for (const QAction* item : menu.actions()) items.push_back(item->text());
    for (const QAction* item : menu.actions()[1]->menu()->actions()) {
      recall.push_back(item->text());
      checked.push_back(item->isChecked());
    }
    // As the operator does it: Delete, then its second preset.
    menu.setActiveAction(menu.actions()[3]);
    QTest::keyClick(&menu, Qt::Key_Right);
    QMenu* list = menu.actions()[3]->menu();
    list->setActiveAction(list->actions()[1]);
    QTest::keyClick(list, Qt::Key_Return);
  });
  EXPECT_EQ(items,
            (std::vector<QString>{
                QString::fromUtf8(StorePresetCaption), QString::fromUtf8(RecallPresetCaption),
                QString::fromUtf8(RenamePresetCaption), QString::fromUtf8(DeletePresetCaption)}));
  EXPECT_EQ(recall, (std::vector<QString>{"bench", "R&&D (cannot be recalled)"}));
  EXPECT_EQ(checked, (std::vector<bool>{true, false}));
  EXPECT_EQ(presets.chosen, std::vector<std::string>{"delete R&D"});
}

}  // namespace
}  // namespace orvane::panel::qt
