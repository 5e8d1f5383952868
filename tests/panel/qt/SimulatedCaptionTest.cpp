// The Linux program marks its window as simulated, and only its window: the address prompt and
// the message boxes keep the controller's title.
#include <gtest/gtest.h>

#include <QInputDialog>
#include <QMessageBox>
#include <QTest>

#include "controller/Controller.h"
#include "host/sim/SimulatedHost.h"
#include "panel/Dispatcher.h"
#include "panel/qt/PanelWindow.h"
#include "panel/qt/QtPlatformServices.h"
#include "panel/qt/QtView.h"
#include "tests/panel/qt/QtTestSupport.h"

namespace orvane::panel::qt {
namespace {

using orvane::testing::whenModalOpens;

TEST(QtSimulatedCaption, TheWindowSaysSimulatedAfterTheTitleWhileTheBoxesKeepIt) {
  host::sim::SimulatedHost sim;
  PanelWindow window;
  QtView view(window);
  view.setCaptionSuffix(" (simulated)");
  QtPlatformServices services(window);
  controller::Controller controller(view, services, sim.factory());
  Dispatcher dispatcher(controller, services);
  view.setRaisedEvents(&dispatcher);
  window.attach(dispatcher);

  QString promptTitle;
  whenModalOpens([&](QWidget* modal) {
    auto* dialog = qobject_cast<QInputDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    promptTitle = dialog->windowTitle();
    dialog->accept();  // address 0
  });
  ASSERT_TRUE(window.load());
  EXPECT_EQ(promptTitle, QStringLiteral("Orvane I/O Switcher"));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Orvane I/O Switcher 0 (simulated)"));
  EXPECT_EQ(controller.state().Title_Text, "Orvane I/O Switcher 0");

  QString boxTitle;
  whenModalOpens([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    boxTitle = box->windowTitle();
    box->accept();
  });
  sim.kill();  // the next status read fails: the lost-connection box
  QTest::mouseClick(window.control({ControlName::BusA, 5}), Qt::LeftButton);
  EXPECT_EQ(boxTitle, QStringLiteral("Orvane I/O Switcher 0"));
  EXPECT_TRUE(window.finished());
}

}  // namespace
}  // namespace orvane::panel::qt
