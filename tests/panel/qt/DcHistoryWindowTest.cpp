// The DC history window on the Qt panel: opened from the context menu, titled after the main
// window, and its chart drawn where its own axis says: a +9 V trace at the row of 9 V, the guard
// lines at +6 and -6 V, and nothing where DC was off.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "panel/qt/Colours.h"
#include "panel/qt/DcHistoryWindow.h"
#include "panel/qt/PanelWindow.h"

namespace orvane::panel::qt {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

struct FixedHistory final : DcHistoryActions, PresetActions {
  // A+ reads 9 V and the rest 0 V, five times a second over the last minute, except from 40 to
  // 25 s ago: DC was switched off then.
  FixedHistory() {
    const auto now = std::chrono::steady_clock::now();
    for (int k = 0; k < 300; ++k) {
      const auto at = now - seconds(60) + milliseconds(200 * k);
      if (at > now - seconds(40) && at < now - seconds(25)) continue;
      history.add({at, {}, {9.0, 0.0, 0.0, 0.0}});
      if (at <= now - seconds(40) && at + milliseconds(200) > now - seconds(40)) {
        history.addGap(at + milliseconds(100), {});
      }
    }
  }
  const controller::DcHistory& dcHistory() const override { return history; }
  void saveDcHistory(const std::string&) override {}
  std::vector<MenuPreset> menuPresets() override { return {}; }
  void storePreset() override {}
  void recallPreset(const std::string&) override {}
  void renamePreset(const std::string&) override {}
  void deletePreset(const std::string&) override {}
  controller::DcHistory history;
};

TEST(DcHistoryWindowTest, OpensFromTheMenuAndDrawsEachLevelAtTheRowItsAxisGives) {
  PanelWindow window;
  window.setCaption("Orvane I/O Switcher 0");
  FixedHistory fixed;
  window.offerPresets(fixed);
  window.offerDcHistory(fixed);
  QStringList items;
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    for (const QAction* item : menu->actions()) items << item->text();
    menu->setActiveAction(menu->actions().back());
    QTest::keyClick(menu, Qt::Key_Return);
  });
  QTest::keyClick(&window, Qt::Key_F10, Qt::ShiftModifier);
  ASSERT_FALSE(items.isEmpty());
  EXPECT_EQ(items.back(), QString::fromUtf8(DcHistoryMenuCaption));
  DcHistoryWindow* history = window.dcHistoryWindow();
  ASSERT_NE(history, nullptr);
  ASSERT_TRUE(history->isVisible());
  EXPECT_EQ(history->windowTitle(), "DC history - Orvane I/O Switcher 0");
  EXPECT_EQ(history->legendReading(0).text(), "9.000 V");
  EXPECT_EQ(history->legendReading(0).accessibleName(), "Bus A +ve");

  const QImage image = history->chart().grab().toImage();
  const DcPlot& plot = history->chart().lastPlot();
  const QRect area = history->chart().lastArea();
  const auto colourAt = [&](int column, int row) {
    return fromQColor(image.pixelColor(area.left() + column, area.top() + row));
  };
  // Whether the trace's colour is on the row, or a pixel off it (its pen is two pixels wide).
  const auto traceNear = [&](int column, double volts) {
    const int row = plot.rowOf(volts);
    for (const int y : {row - 1, row, row + 1}) {
      if (colourAt(column, y) == DcTraceStyles[0].colour) return true;
    }
    return false;
  };
  const auto columnAgo = [&](double secondsAgo) {
    return static_cast<int>((60 - secondsAgo) / 60 * (plot.width - 1));
  };
  EXPECT_TRUE(traceNear(columnAgo(50), 9.0));
  EXPECT_TRUE(traceNear(columnAgo(5), 9.0));
  EXPECT_FALSE(traceNear(columnAgo(33), 9.0)) << "DC was off";
  for (const double guard : {GuardVolts, -GuardVolts}) {
    EXPECT_EQ(colourAt(columnAgo(33), plot.rowOf(guard)), GuardColour) << guard;
    EXPECT_NE(colourAt(columnAgo(33), plot.rowOf(guard) + 3), GuardColour) << guard;
  }

  history->spanList().setCurrentIndex(2);
  EXPECT_EQ(history->chart().span(), 3600);
  QTest::keyClick(history, Qt::Key_Escape);
  EXPECT_FALSE(history->isVisible());
}

}  // namespace
}  // namespace orvane::panel::qt
