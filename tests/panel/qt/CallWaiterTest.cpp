// Waiting for the host thread in the Qt panel: events keep flowing, the pointer turns busy, and the
// box after the limit keeps waiting, gives up, or goes away by itself when the host answers.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <functional>
#include <thread>

#include "panel/qt/PanelWindow.h"
#include "panel/qt/QtCallWaiter.h"

namespace orvane::panel::qt {
namespace {

using namespace std::chrono_literals;
using Outcome = host::CallWaiter::Outcome;

class QtWaiting : public ::testing::Test {
 protected:
  QtWaiting() {
    // The box comes only after the limit: look for it on every turn of a short timer, for as
    // long as it takes, and hand each new one to the test once.
    QObject::connect(&boxWatch, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || box == lastBox || !onBox) return;
      lastBox = box;
      onBox(box, ++boxesSeen);
    });
    boxWatch.start(5);
    // Should a test go wrong, it fails instead of hanging: the host "answers" and any box goes.
    QTimer::singleShot(30000, &boxWatch, [this] {
      gaveUpOnTest = true;
      answered.store(true);
      if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
  }
  ~QtWaiting() override {
    if (host.joinable()) host.join();
    EXPECT_FALSE(gaveUpOnTest);
  }
  // The host thread's part: set the flag, then wake the waiter, from another thread.
  void answerFromHost() {
    host = std::thread([this] {
      answered.store(true);
      waiter.wake();
    });
  }
  QString buttonText(QAbstractButton* button) { return button->text().remove(QLatin1Char('&')); }
  void press(QMessageBox* box, const QString& text) {
    for (QAbstractButton* button : box->buttons()) {
      if (buttonText(button) == text) button->click();
    }
  }

  PanelWindow window;
  QTimer boxWatch;
  QPointer<QMessageBox> lastBox;  // each box lives on the waiter's stack, often at one address
  bool gaveUpOnTest = false;
  int boxesSeen = 0;
  std::function<void(QMessageBox*, int)> onBox;
  QtCallWaiter waiter{window, 60s};
  std::atomic<bool> answered{false};
  std::function<bool()> isAnswered = [this] { return answered.load(); };
  std::thread host;
};

TEST_F(QtWaiting, EventsAreHandledWhileWaitingAndTheAnswerEndsTheWait) {
  bool timerRan = false;
  QTimer::singleShot(0, [&] {
    timerRan = true;  // the window's own events go on during the wait
    answerFromHost();
  });
  EXPECT_EQ(waiter.wait("IOSWITCHER_GetFullStatus", isAnswered), Outcome::Answered);
  EXPECT_TRUE(timerRan);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // An answer that came before the wait began needs no wake-up at all.
  EXPECT_EQ(waiter.wait("IOSWITCHER_GetFullStatus", isAnswered), Outcome::Answered);
}

TEST_F(QtWaiting, ThePointerIsBusyWhileACallTakesLongAndNormalAfterwards) {
  bool sawBusy = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    const QCursor* cursor = QApplication::overrideCursor();
    if (!sawBusy && cursor && cursor->shape() == Qt::WaitCursor) {
      sawBusy = true;
      answerFromHost();
    }
  });
  poll.start(10);
  EXPECT_EQ(waiter.wait("SWITCHER_AddChannel", isAnswered), Outcome::Answered);
  EXPECT_TRUE(sawBusy);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(QtWaiting, RetryKeepsWaitingAndAnAnswerTakesTheOpenBoxAway) {
  QtCallWaiter quick(window, 30ms);
  quick.title = [] { return std::string("Orvane I/O Switcher 7"); };
  QString title, text, defaultButton;
  QStringList buttons;
  onBox = [&](QMessageBox* box, int number) {
    if (number == 1) {
      title = box->windowTitle();
      text = box->text();
      for (QAbstractButton* button : box->buttons()) buttons << buttonText(button);
      if (box->defaultButton()) defaultButton = buttonText(box->defaultButton());
      press(box, "Retry");
      return;
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // an ordinary pointer for the box
    host = std::thread([&] {
      answered.store(true);
      quick.wake();
    });
  };
  EXPECT_EQ(quick.wait("IOSWITCHER_GetFullStatus", isAnswered), Outcome::Answered);
  EXPECT_EQ(boxesSeen, 2);
  EXPECT_EQ(title, "Orvane I/O Switcher 7");
  EXPECT_TRUE(text.startsWith("Qelvix has not answered for 0.03 seconds.\n")) << text.toStdString();
  EXPECT_TRUE(text.endsWith("Retry keeps waiting; Cancel closes this program."))
      << text.toStdString();
  EXPECT_EQ(buttons, (QStringList{"Retry", "Cancel"}));
  EXPECT_EQ(defaultButton, "Retry");
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(QtWaiting, CancelOrClosingTheBoxGivesUp) {
  QtCallWaiter quick(window, 10ms);
  onBox = [&](QMessageBox* box, int number) {
    if (number == 1) {
      press(box, "Cancel");
    } else {
      box->close();
    }
  };
  EXPECT_EQ(quick.wait("IOSWITCHER_GetFullStatus", isAnswered), Outcome::GivenUp);
  EXPECT_EQ(quick.wait("ORVANE_Reset", isAnswered), Outcome::GivenUp);
  EXPECT_EQ(boxesSeen, 2);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

QWidget* startupWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == QStringLiteral("hostStarting") && widget->isVisible())
      return widget;
  }
  return nullptr;
}

// While the host starts there is no box, but the start-up window: Return and Space typed ahead for
// the prompt do nothing there, its Cancel ends the wait as cancelled, and the prompt's coming takes
// it away.
TEST_F(QtWaiting, TheStartupWindowCountsAndOnlyItsCancelEndsTheWait) {
  QtCallWaiter quick(window, 10ms);
  quick.beginStartup();
  QString title, text;
  bool busyPointer = false;
  int returnsTyped = 0;
  bool survivedTheKeys = false;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    QWidget* starting = startupWindow();
    if (!starting) return;
    if (returnsTyped == 0) {
      title = starting->windowTitle();
      text = starting->findChild<QLabel*>()->text();
      busyPointer = starting->cursor().shape() == Qt::BusyCursor;
      QApplication::setActiveWindow(starting);  // as the window manager would
      QWidget* typedInto = starting->focusWidget() ? starting->focusWidget() : starting;
      QTest::keyClick(typedInto, Qt::Key_Return);
      QTest::keyClick(typedInto, Qt::Key_Space);
      ++returnsTyped;
      return;
    }
    survivedTheKeys = true;
    look.stop();
    for (QAbstractButton* button : starting->findChildren<QAbstractButton*>()) {
      if (buttonText(button) == "Cancel") button->click();
    }
  });
  look.start(20);
  EXPECT_EQ(quick.wait("CreateObject(Qelvix.Application)", isAnswered), Outcome::Cancelled);
  EXPECT_EQ(boxesSeen, 0);
  EXPECT_EQ(title, "Orvane I/O Switcher");
  EXPECT_TRUE(text.startsWith(QString::fromUtf8("Waiting for Qelvix to start\u2026 ")))
      << text.toStdString();
  EXPECT_TRUE(busyPointer);
  EXPECT_EQ(returnsTyped, 1);
  EXPECT_TRUE(survivedTheKeys);
  quick.endStartup();
  EXPECT_EQ(startupWindow(), nullptr);
}

}  // namespace
}  // namespace orvane::panel::qt
