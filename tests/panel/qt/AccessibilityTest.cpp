// What assistive technology reads from the Qt window: a name for every control that says its bus,
// the channel and relay buttons' on/off state as a checked state with its change announced, and
// the readouts' exact readings; all without changing how a button behaves when pressed.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QPushButton>
#include <QSignalSpy>
#include <vector>

#ifdef ORVANE_QT_PLATFORM_ACCESSIBILITY
#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/qpa/qplatformaccessibility.h>
#include <QtGui/qpa/qplatformintegration.h>
#endif

#include "panel/AccessibleNames.h"
#include "panel/qt/PanelWindow.h"
#include "panel/qt/QtView.h"

namespace orvane::panel::qt {
namespace {

using enum ControlName;

struct Announcement {
  QObject* object;
  bool checkedChanged;
  bool checkedNow;
};

// Tells Qt that a screen reader is listening, as the platform does when one runs; false where that
// cannot be done.
bool setScreenReaderListening(bool listening) {
#ifdef ORVANE_QT_PLATFORM_ACCESSIBILITY
  if (QPlatformAccessibility* platform =
          QGuiApplicationPrivate::platformIntegration()->accessibility()) {
    platform->setActive(listening);
    return QAccessible::isActive() == listening;
  }
#endif
  (void)listening;
  return false;
}

// Every accessibility update of the process, while a test runs.
std::vector<Announcement>* announcements = nullptr;

void recordUpdate(QAccessibleEvent* event) {
  if (!announcements || event->type() != QAccessible::StateChanged) return;
  const auto* change = static_cast<QAccessibleStateChangeEvent*>(event);
  QAccessibleInterface* iface = event->accessibleInterface();
  announcements->push_back(
      {event->object(), change->changedStates().checked != 0, iface && iface->state().checked});
}

class AccessibilityTest : public ::testing::Test {
 protected:
  AccessibilityTest() : view(window) {
    announcements = &heard;
    previousHandler = QAccessible::installUpdateHandler(&recordUpdate);
    wasListening = QAccessible::isActive();
    listening = setScreenReaderListening(true);
  }
  ~AccessibilityTest() override {
    setScreenReaderListening(wasListening);
    QAccessible::installUpdateHandler(previousHandler);
    announcements = nullptr;
  }
  QAccessibleInterface& of(ControlId id) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(window.control(id));
    EXPECT_NE(iface, nullptr) << controlText(id);
    return *iface;
  }

  PanelWindow window;
  QtView view;
  std::vector<Announcement> heard;
  QAccessible::UpdateHandler previousHandler = nullptr;
  bool wasListening = false;
  bool listening = false;
};

TEST_F(AccessibilityTest, EveryControlIsNamedAfterItsBusAndRole) {
  for (const auto& tableRow : controlTable()) {
    if (tableRow.kind == ControlKind::Timer) continue;
    const QString name = of(tableRow.id).text(QAccessible::Name);
    EXPECT_EQ(name.toStdString(), accessibleName(tableRow.id)) << controlText(tableRow.id);
    EXPECT_FALSE(name.isEmpty()) << controlText(tableRow.id);
  }
  EXPECT_EQ(of({BusA, 5}).text(QAccessible::Name), QStringLiteral("Bus A X5"));
  EXPECT_EQ(of({BusB, 9}).text(QAccessible::Name), QStringLiteral("Bus B Y1"));
  EXPECT_EQ(of({BusA, 0}).text(QAccessible::Name), QStringLiteral("Bus A All Off"));
  EXPECT_EQ(of({BusB, 17}).text(QAccessible::Name), QStringLiteral("Bus B All On"));
  EXPECT_EQ(of({LoadB_Button}).text(QAccessible::Name), QStringLiteral("Bus B Load"));
  EXPECT_EQ(of({BalA_Button}).text(QAccessible::Name), QStringLiteral("Bus A Bal"));
  EXPECT_EQ(of({Label5}).text(QAccessible::Name), QStringLiteral("Bus A -ve DC"));
  EXPECT_EQ(of({Label6}).text(QAccessible::Name), QStringLiteral("Bus B +ve DC"));
  // The tooltips still describe them, and the captions on screen are the table's.
  EXPECT_EQ(of({BalA_Button}).text(QAccessible::Description),
            QStringLiteral("Toggle balanced measuring mode"));
  EXPECT_EQ(qobject_cast<QPushButton*>(window.control({BusA, 5}))->text(), QStringLiteral("X5"));
}

TEST_F(AccessibilityTest, ChannelAndRelayButtonsAreCheckableButtonsTheOthersPlainOnes) {
  for (const auto& tableRow : controlTable()) {
    if (tableRow.kind != ControlKind::PaintingButton && tableRow.kind != ControlKind::PlainButton)
      continue;
    QAccessibleInterface& button = of(tableRow.id);
    EXPECT_EQ(button.role(), QAccessible::Button) << controlText(tableRow.id);
    EXPECT_EQ(button.state().checkable != 0, showsOnOffState(tableRow.id))
        << controlText(tableRow.id);
    EXPECT_FALSE(button.state().checked) << controlText(tableRow.id);
  }
  EXPECT_TRUE(of({BusB, 16}).state().checkable);
  EXPECT_TRUE(of({LoadA_Button}).state().checkable);
  EXPECT_FALSE(of({BusA, 17}).state().checkable);
  EXPECT_FALSE(of({ResetButton}).state().checkable);
}

TEST_F(AccessibilityTest, TheCheckedStateFollowsTheColourAndEveryChangeIsAnnounced) {
  if (!listening) GTEST_SKIP() << "Qt's platform accessibility cannot be switched on here";
  view.setBackColor({BusA, 5}, colour::Green);
  view.setBackColor({BalB_Button}, colour::Orange);
  EXPECT_TRUE(of({BusA, 5}).state().checked);
  EXPECT_TRUE(of({BalB_Button}).state().checked);
  EXPECT_FALSE(of({BusB, 5}).state().checked);
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[0].object, window.control({BusA, 5}));
  EXPECT_TRUE(heard[0].checkedChanged);
  EXPECT_TRUE(heard[0].checkedNow);
  EXPECT_EQ(heard[1].object, window.control({BalB_Button}));

  view.setBackColor({BusA, 5}, colour::Green);  // a poll that repaints the same state: silence
  EXPECT_EQ(heard.size(), 2u);
  view.setBackColor({BusA, 5}, colour::Grey);
  ASSERT_EQ(heard.size(), 3u);
  EXPECT_EQ(heard[2].object, window.control({BusA, 5}));
  EXPECT_FALSE(heard[2].checkedNow);
  EXPECT_FALSE(of({BusA, 5}).state().checked);
}

TEST_F(AccessibilityTest, PressingAButtonClicksItAndNeverTogglesIt) {
  auto* x3 = qobject_cast<QPushButton*>(window.control({BusB, 3}));
  QSignalSpy clicks(x3, &QPushButton::clicked);
  QAccessibleInterface& button = of({BusB, 3});
  QAccessibleActionInterface* actions = button.actionInterface();
  ASSERT_NE(actions, nullptr);
  ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
  EXPECT_FALSE(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
  actions->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(clicks.count(), 1);
  EXPECT_FALSE(x3->isCheckable());
  EXPECT_FALSE(button.state().checked);  // only the controller's colour turns it on
  EXPECT_TRUE(heard.empty());

  view.setEnabled({BusB, 0}, false);
  QSignalSpy allOffClicks(window.control({BusB, 0}), SIGNAL(clicked(bool)));
  of({BusB, 0}).actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(allOffClicks.count(), 0);  // a disabled button raises no click
  EXPECT_TRUE(of({BusB, 0}).state().disabled);
}

TEST_F(AccessibilityTest, AReadoutsValueIsTheWholeExactReading) {
  QAccessibleInterface& readout = of({Label4});
  EXPECT_EQ(readout.role(), QAccessible::StaticText);
  EXPECT_EQ(readout.text(QAccessible::Value), QStringLiteral("- - V "));
  view.setCaption({Label4}, "-9.00213456789012V ");
  EXPECT_EQ(readout.text(QAccessible::Value), QStringLiteral("-9.00213456789012V "));
  EXPECT_EQ(readout.text(QAccessible::Name), QStringLiteral("Bus A +ve DC"));
  EXPECT_EQ(readout.text(QAccessible::Description),
            QStringLiteral("DC volts on Bus A +ve terminal"));
}

}  // namespace
}  // namespace orvane::panel::qt
