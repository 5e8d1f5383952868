// Every row of the event table driven through the Qt window with real mouse and key events, on
// the simulated host behind the recording decorator: the click reaches its controller operation,
// the host sees the calls and the window shows the result.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "controller/Controller.h"
#include "host/recording/RecordingObject.h"
#include "host/sim/SimulatedHost.h"
#include "panel/Dispatcher.h"
#include "panel/qt/PanelWindow.h"
#include "panel/qt/QtPlatformServices.h"
#include "panel/qt/QtView.h"
#include "tests/panel/qt/QtTestSupport.h"
#include "tests/support/ScriptedServices.h"

namespace orvane::panel::qt {
namespace {

using enum ControlName;
using orvane::testing::insideCorner;
using orvane::testing::shownColour;
using orvane::testing::whenModalOpens;

// The program as app/linux wires it, with the operator's boxes answered by Services.
template <typename Services>
struct Program {
  explicit Program(host::sim::SimConfig config = {})
      : sim(config),
        log(std::make_shared<host::recording::CallLog>()),
        view(window),
        services(makeServices()),
        controller(view, services, host::recording::recordingFactory(sim.factory(), log)),
        dispatcher(controller, services) {
    view.setRaisedEvents(&dispatcher);
    window.attach(dispatcher);
  }

  Services makeServices() {
    if constexpr (std::is_same_v<Services, QtPlatformServices>) {
      return QtPlatformServices(window);
    } else {
      return Services{};
    }
  }

  host::sim::SimulatedHost sim;
  std::shared_ptr<host::recording::CallLog> log;
  PanelWindow window;
  QtView view;
  Services services;
  controller::Controller controller;
  Dispatcher dispatcher;
};

class EventRoutingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    p.services.addressAnswers.push_back("0");
    ASSERT_TRUE(p.window.load());
    p.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&p.window));
    p.log->clear();
  }

  void click(ControlId id) { QTest::mouseClick(p.window.control(id), Qt::LeftButton); }
  std::string firstCall() const {
    return p.log->calls().empty() ? std::string() : p.log->calls().front().text();
  }
  Colour shown(ControlId id) { return shownColour(p.window, insideCorner(controlSpec(id))); }
  void chooseMode(int index) {
    QComboBox& list = p.window.modeList();
    while (list.currentIndex() < index) QTest::keyClick(&list, Qt::Key_Down);
    while (list.currentIndex() > index) QTest::keyClick(&list, Qt::Key_Up);
  }
  void tick() { QMetaObject::invokeMethod(&p.window.timer(), "timeout"); }

  Program<orvane::testing::ScriptedServices> p;
};

TEST_F(EventRoutingTest, StartUpLeavesModeNoneSelectedAndTheTimerRunning) {
  EXPECT_EQ(p.window.modeList().count(), 6);
  EXPECT_EQ(p.window.modeList().currentText(), QStringLiteral("None"));
  EXPECT_EQ(p.window.windowTitle(), QStringLiteral("Orvane I/O Switcher 0"));
  EXPECT_FALSE(p.window.control({PrevButton})->isEnabled());
  EXPECT_FALSE(p.window.control({NextButton})->isEnabled());
  EXPECT_TRUE(p.window.control({BusA, 0})->isEnabled());
  EXPECT_TRUE(p.window.timer().isActive());
  EXPECT_EQ(p.window.timer().interval(), 200);
}

TEST_F(EventRoutingTest, BusAChannelX5IsSwitchedOnAndTurnsGreen) {
  click({BusA, 5});
  EXPECT_EQ(firstCall(), "SWITCHER_AddChannel(\"BusA0\", &5)");
  EXPECT_EQ(p.sim.statusWord(0, 0), 1u << 4);
  EXPECT_EQ(shown({BusA, 5}), colour::Green);
  EXPECT_EQ(shown({BusA, 4}), colour::Grey);
  EXPECT_EQ(shown({BusB, 5}), colour::Grey);

  click({BusA, 5});
  EXPECT_EQ(p.sim.statusWord(0, 0), 0u);
  EXPECT_EQ(shown({BusA, 5}), colour::Grey);
}

TEST_F(EventRoutingTest, BusBY1RunsTheRowHandlerWithIndex9) {
  click({BusB, 9});
  EXPECT_EQ(firstCall(), "SWITCHER_AddChannel(\"BusB0\", &9)");
  EXPECT_EQ(shown({BusB, 9}), colour::Green);
}

TEST_F(EventRoutingTest, AllOnAndAllOffRunTheRowHandlerWith17And0) {
  click({BusA, 17});
  EXPECT_EQ(firstCall(), "SWITCHER_NotChannel(\"BusA0\", 1)");
  EXPECT_EQ(p.sim.statusWord(0, 0) & 0xFFFF, 0xFFFFu);
  EXPECT_EQ(shown({BusA, 1}), colour::Green);
  EXPECT_EQ(shown({BusA, 16}), colour::Green);
  EXPECT_EQ(shown({BusA, 17}), colour::White);  // the row buttons keep their colour
  p.log->clear();
  click({BusA, 0});
  EXPECT_EQ(firstCall(), "SWITCHER_ClearChannels(\"BusA0\")");
  EXPECT_EQ(shown({BusA, 16}), colour::Grey);
  EXPECT_EQ(shown({BusA, 0}), colour::White);
}

TEST_F(EventRoutingTest, RelayButtonsToggleTheirRelayAndTurnOrange) {
  click({LoadA_Button});
  EXPECT_EQ(p.log->count("IOSWITCHER_BusLoad"), 1u);
  EXPECT_EQ(shown({LoadA_Button}), colour::Orange);
  click({BalB_Button});
  EXPECT_EQ(p.log->count("SWITCHER_Balance"), 1u);
  EXPECT_EQ(shown({BalB_Button}), colour::Orange);
  click({LoadB_Button});
  EXPECT_EQ(p.log->count("IOSWITCHER_BusLoad"), 2u);
  EXPECT_EQ(p.sim.statusWord(0, 1) >> 16, 0b11u);
  click({LoadA_Button});
  EXPECT_EQ(shown({LoadA_Button}), colour::Grey);
}

TEST_F(EventRoutingTest, BalanceOnABusCarryingDcIsRefusedWithTheExclamationBox) {
  click({BusA, 3});  // X3 carries about +9 V
  p.log->clear();
  click({BalA_Button});
  ASSERT_EQ(p.services.boxes.size(), 1u);
  EXPECT_EQ(p.services.boxes[0].style, controller::box::ExclamationOk);
  EXPECT_EQ(p.log->count("SWITCHER_Balance"), 0u);
  EXPECT_EQ(shown({BalA_Button}), colour::Grey);
}

TEST_F(EventRoutingTest, ResetButtonResetsTheSwitcher) {
  click({BusA, 5});
  p.log->clear();
  click({ResetButton});
  EXPECT_EQ(p.log->count("ORVANE_Reset"), 1u);
  EXPECT_EQ(shown({BusA, 5}), colour::Grey);
}

TEST_F(EventRoutingTest, DcButtonAndTimerTicksShowTheReadings) {
  tick();
  EXPECT_EQ(p.log->count("IOSWITCHER_GetBusDC"), 0u);  // readings off: the tick does nothing
  click({DCButton});
  tick();
  EXPECT_EQ(p.log->count("IOSWITCHER_GetBusDC"), 2u);
  auto* readout = qobject_cast<QLabel*>(p.window.control({Label4}));
  EXPECT_NE(readout->text(), QStringLiteral("- - V "));
  click({DCButton});
  for (auto label : {Label4, Label5, Label6, Label7}) {
    EXPECT_EQ(qobject_cast<QLabel*>(p.window.control({label}))->text(), QStringLiteral("- - V "));
  }
}

TEST_F(EventRoutingTest, ChoosingAModeRunsTheListClickAndEnablesTheSteppingButtons) {
  chooseMode(4);  // keys move one entry at a time: each step is an operator choice
  EXPECT_EQ(p.controller.state().Link_Mode, 4);
  EXPECT_TRUE(p.window.control({NextButton})->isEnabled());
  EXPECT_FALSE(p.window.control({BusA, 0})->isEnabled());
  EXPECT_FALSE(p.window.control({BusB, 17})->isEnabled());
  p.log->clear();
  click({NextButton});
  EXPECT_EQ(firstCall(), "SWITCHER_ExclusiveChannel(\"BusA0\", &1)");
  p.log->clear();
  click({PrevButton});
  EXPECT_EQ(firstCall(), "SWITCHER_ExclusiveChannel(\"BusA0\", &16)");
}

TEST_F(EventRoutingTest, DisabledButtonsAndLabelsRaiseNothing) {
  click({PrevButton});  // mode None: "<" and ">" are disabled
  click({NextButton});
  click({Label1});
  click({Label4});
  EXPECT_TRUE(p.log->calls().empty());
  chooseMode(1);
  p.log->clear();
  click({BusA, 0});
  click({BusB, 17});
  EXPECT_TRUE(p.log->calls().empty());
}

TEST_F(EventRoutingTest, ClosingTheWindowRunsFormUnloadOnceAndEndsTheRun) {
  QSignalSpy finished(&p.window, &PanelWindow::runFinished);
  EXPECT_TRUE(p.window.close());
  EXPECT_EQ(p.log->count("ORVANE_Reset"), 1u);
  EXPECT_TRUE(p.controller.unloaded());
  EXPECT_EQ(finished.count(), 1);
  EXPECT_FALSE(p.window.isVisible());
  EXPECT_FALSE(p.window.timer().isActive());
  p.window.close();
  EXPECT_EQ(p.log->count("ORVANE_Reset"), 1u);
  EXPECT_EQ(p.sim.liveObjects(), 0);
}

TEST_F(EventRoutingTest, LostConnectionClosesTheWindowThroughFormUnloadOnce) {
  QSignalSpy finished(&p.window, &PanelWindow::runFinished);
  p.sim.injectFault("IOSWITCHER_GetFullStatus", {});
  click({BusA, 5});
  ASSERT_EQ(p.services.boxes.size(), 1u);
  EXPECT_EQ(p.log->count("ORVANE_Reset"), 1u);
  EXPECT_EQ(finished.count(), 1);
  EXPECT_TRUE(p.window.finished());
  click({BusA, 6});
  EXPECT_EQ(p.log->count("SWITCHER_AddChannel"), 1u);
}

// What the operator does while a host call is still running is dropped, never run nested: a list
// choice is taken back; the close box is kept and closes the window once the click is done.
TEST_F(EventRoutingTest, OperatorInputDuringAHostCallIsDroppedButTheCloseIsKept) {
  bool closeAccepted = true;
  p.sim.setCallHook([&](const std::string& member) {
    if (member != "SWITCHER_AddChannel") return;
    closeAccepted = p.window.close();
    QTest::keyClick(&p.window.modeList(), Qt::Key_Down);
    QTest::mouseClick(p.window.control({BusA, 6}), Qt::LeftButton);
  });
  click({BusA, 5});
  p.sim.setCallHook({});
  EXPECT_FALSE(closeAccepted);
  EXPECT_EQ(p.window.modeList().currentIndex(), 0);
  EXPECT_EQ(p.controller.state().Link_Mode, 0);
  EXPECT_EQ(p.log->count("SWITCHER_AddChannel"), 1u);
  EXPECT_TRUE(p.window.finished());
  EXPECT_FALSE(p.window.isVisible());
  EXPECT_EQ(p.log->count("ORVANE_Reset"), 1u);
}

// Start-up through the real boxes: nothing is shown before the run goes on.
class StartUpTest : public ::testing::Test {
 protected:
  Program<QtPlatformServices> p;
};

TEST_F(StartUpTest, CancelAtTheAddressPromptEndsTheRunWithNoWindowAndNoReset) {
  whenModalOpens([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
  p.window.load();
  EXPECT_TRUE(p.dispatcher.runEnded());
  EXPECT_FALSE(p.dispatcher.failure());
  EXPECT_TRUE(p.window.finished());
  EXPECT_FALSE(p.window.isVisible());
  EXPECT_EQ(p.log->count("ORVANE_Reset"), 0u);
}

TEST_F(StartUpTest, AcceptingTheDefaultControlsSwitcherZero) {
  whenModalOpens([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); });
  p.window.load();
  EXPECT_FALSE(p.dispatcher.runEnded());
  EXPECT_FALSE(p.window.isVisible());  // the program shows it after load
  EXPECT_EQ(p.window.windowTitle(), QStringLiteral("Orvane I/O Switcher 0"));
  EXPECT_EQ(p.sim.resetCount(0), 2);
}

TEST_F(StartUpTest, AHostThatCannotBeReachedGivesTheCriticalBoxAndAFailure) {
  p.sim.kill();
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  whenModalOpens([&](QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) icon = box->icon();
    QTest::keyClick(modal, Qt::Key_Return);
  });
  p.window.load();
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_TRUE(p.dispatcher.failure().has_value());
  EXPECT_TRUE(p.window.finished());
  EXPECT_FALSE(p.window.isVisible());
}

}  // namespace
}  // namespace orvane::panel::qt
