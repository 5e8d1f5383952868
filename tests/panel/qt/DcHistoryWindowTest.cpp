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
#include "tests/support/FixedDcHistory.h"

namespace orvane::panel::qt {
namespace {

TEST(DcHistoryWindowTest, OpensFromTheMenuAndDrawsEachLevelAtTheRowItsAxisGives) {
  PanelWindow window;
  window.setCaption("Orvane I/O Switcher 0");
  testing::FixedDcHistory fixed(40, 25);  // DC off from 40 to 25 s ago
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
