// The view operations on the Qt window: what they change on screen, which of them raise events
// and when, and that setting a value the panel already shows does no painting work.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <string>
#include <vector>

#include "panel/qt/PanelWindow.h"
#include "panel/qt/QtView.h"
#include "panel/qt/ReadoutLabel.h"
#include "tests/panel/qt/QtTestSupport.h"

namespace orvane::panel::qt {
namespace {

using enum ControlName;
using orvane::testing::insideCorner;
using orvane::testing::shownColour;

// Records the raised events, with what the view showed at that moment.
struct RecordedRaises : RaisedEvents {
  explicit RecordedRaises(View& view) : view(view) {}
  void listClickRaised() override { listClicks.push_back(view.listIndex()); }
  void unloadRaised() override { ++unloads; }
  View& view;
  std::vector<int> listClicks;  // the list index seen inside each raised click
  int unloads = 0;
};

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

const std::vector<std::string> Modes = {"None",        "Input to Output", "Stereo Pairs",
                                        "Termination", "Exclusive On",    "Exclusive Off"};

class ViewOperationsTest : public ::testing::Test {
 protected:
  ViewOperationsTest() : view(window), raised(view) { view.setRaisedEvents(&raised); }

  void fillModes() {
    for (std::size_t i = 0; i < Modes.size(); ++i) {
      view.addListEntry(Modes[i], static_cast<std::int16_t>(i));
    }
  }
  // Shows the window and lets it paint everything it has to, so that later counts start at zero.
  void showSettled() {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
  }

  PanelWindow window;
  QtView view;
  RecordedRaises raised;
};

TEST_F(ViewOperationsTest, AddingTheSixModesSelectsNothingAndRaisesNothing) {
  QSignalSpy changes(&window.modeList(), &QComboBox::currentIndexChanged);
  fillModes();
  EXPECT_EQ(window.modeList().count(), 6);
  EXPECT_EQ(window.modeList().itemText(4), QStringLiteral("Exclusive On"));
  EXPECT_EQ(view.listIndex(), -1);
  EXPECT_TRUE(raised.listClicks.empty());
  EXPECT_EQ(changes.count(), 0);
}

TEST_F(ViewOperationsTest, SettingAnotherListIndexRaisesTheClickInsideTheSet) {
  fillModes();
  view.setListIndex(0);
  ASSERT_EQ(raised.listClicks, std::vector<int>{0});  // the handler already saw the new index
  view.setListIndex(0);
  EXPECT_EQ(raised.listClicks.size(), 1u);  // the same entry again raises nothing
  view.setListIndex(3);
  EXPECT_EQ(raised.listClicks, (std::vector<int>{0, 3}));
  EXPECT_EQ(window.modeList().currentText(), QStringLiteral("Termination"));
}

TEST_F(ViewOperationsTest, OutOfRangeListIndexesChangeNothing) {
  fillModes();
  view.setListIndex(2);
  view.setListIndex(6);
  view.setListIndex(-5);
  view.addListEntry("Beyond", 9);
  EXPECT_EQ(view.listIndex(), 2);
  EXPECT_EQ(window.modeList().count(), 6);
  EXPECT_EQ(raised.listClicks, std::vector<int>{2});
}

TEST_F(ViewOperationsTest, InsertingBeforeTheSelectionKeepsTheSelectedEntry) {
  view.addListEntry("None", 0);
  view.addListEntry("Termination", 1);
  view.setListIndex(1);
  view.addListEntry("Input to Output", 1);
  EXPECT_EQ(view.listIndex(), 2);
  EXPECT_EQ(window.modeList().currentText(), QStringLiteral("Termination"));
  EXPECT_EQ(raised.listClicks.size(), 1u);
}

TEST_F(ViewOperationsTest, ColoursAndCaptionsShowAtOnce) {
  const auto& x5 = controlSpec({BusA, 5});
  const auto& loadB = controlSpec({LoadB_Button});
  view.setBackColor({BusA, 5}, colour::Green);
  view.setBackColor({LoadB_Button}, colour::Orange);
  EXPECT_EQ(shownColour(window, insideCorner(x5)), colour::Green);
  EXPECT_EQ(shownColour(window, insideCorner(loadB)), colour::Orange);
  view.setBackColor({BusA, 5}, colour::Grey);
  EXPECT_EQ(shownColour(window, insideCorner(x5)), colour::Grey);

  view.setCaption({Label6}, "0.2V ");
  EXPECT_EQ(qobject_cast<QLabel*>(window.control({Label6}))->text(), QStringLiteral("0.2V "));
  view.setWindowCaption("Orvane I/O Switcher 5");
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Orvane I/O Switcher 5"));
}

// Readings come unrounded; a right-aligned label would show only their last digits.
TEST_F(ViewOperationsTest, AReadingTooWideForItsLabelKeepsItsSignLeadingDigitsAndUnit) {
  auto* readout = qobject_cast<ReadoutLabel*>(window.control({Label5}));
  ASSERT_NE(readout, nullptr);
  view.setCaption({Label5}, "-9.00213456789012V ");
  EXPECT_EQ(readout->text(), QStringLiteral("-9.00213456789012V "));  // the caption stays exact
  const QString shown = readout->shownText();
  EXPECT_TRUE(shown.startsWith(QStringLiteral("-9.0"))) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith(QStringLiteral("V "))) << shown.toStdString();
  EXPECT_TRUE(QStringLiteral("-9.00213456789012").startsWith(shown.chopped(2)));
  EXPECT_LE(readout->fontMetrics().horizontalAdvance(shown), readout->contentsRect().width());
}

TEST_F(ViewOperationsTest, SettingWhatIsShownAlreadyDoesNoPaintingWork) {
  showSettled();
  QWidget* x5 = window.control({BusA, 5});
  QWidget* readout = window.control({Label4});
  PaintCounter x5Paints(x5);
  PaintCounter readoutPaints(readout);

  view.setCaption({Label7}, "0.00123456789V ");
  QCoreApplication::processEvents();
  PaintCounter shortenedPaints(window.control({Label7}));

  view.setBackColor({BusA, 5}, colour::Grey);
  view.setCaption({Label4}, "- - V ");
  view.setCaption({Label7}, "0.00123456789V ");  // shown shortened, but the same caption
  view.setEnabled({BusA, 0}, true);
  QCoreApplication::processEvents();
  EXPECT_EQ(x5Paints.paints, 0);
  EXPECT_EQ(readoutPaints.paints, 0);
  EXPECT_EQ(shortenedPaints.paints, 0);

  view.setBackColor({BusA, 5}, colour::Green);
  view.setCaption({Label4}, "0.002 V ");
  QCoreApplication::processEvents();
  EXPECT_GE(x5Paints.paints, 1);
  EXPECT_GE(readoutPaints.paints, 1);
}

TEST_F(ViewOperationsTest, EnabledStateReachesTheButtons) {
  view.setEnabled({BusB, 17}, false);
  view.setEnabled({PrevButton}, false);
  EXPECT_FALSE(window.control({BusB, 17})->isEnabled());
  EXPECT_FALSE(window.control({PrevButton})->isEnabled());
  view.setEnabled({PrevButton}, true);
  EXPECT_TRUE(window.control({PrevButton})->isEnabled());
}

TEST_F(ViewOperationsTest, TimerIntervalStartsTheTimer) {
  EXPECT_FALSE(window.timer().isActive());
  view.setTimerInterval(200);
  EXPECT_TRUE(window.timer().isActive());
  EXPECT_EQ(window.timer().interval(), 200);
}

TEST_F(ViewOperationsTest, CloseRaisesUnloadOnceThenEndsTheRun) {
  showSettled();
  view.setTimerInterval(200);
  QSignalSpy finished(&window, &PanelWindow::runFinished);
  view.close();
  view.close();
  EXPECT_EQ(raised.unloads, 1);
  EXPECT_EQ(finished.count(), 1);
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(window.timer().isActive());
}

}  // namespace
}  // namespace orvane::panel::qt
