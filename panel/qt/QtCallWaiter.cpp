#include "panel/qt/QtCallWaiter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "panel/qt/PanelWindow.h"
#include "panel/qt/QtPlatformServices.h"

namespace orvane::panel::qt {

namespace {

using std::chrono::milliseconds;

// How long the box says the host has been silent: whole seconds, or hundredths for short limits.
milliseconds shownWait(milliseconds waited) {
  if (waited >= std::chrono::seconds(1)) {
    return std::chrono::duration_cast<std::chrono::seconds>(waited);
  }
  return milliseconds(waited.count() / 10 * 10);
}

// The busy cursor for as long as it lives, unless taken back earlier.
class BusyCursor {
 public:
  ~BusyCursor() { hide(); }
  void show() {
    if (shown_) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    shown_ = true;
  }
  void hide() {
    if (!shown_) return;
    QApplication::restoreOverrideCursor();
    shown_ = false;
  }
  bool shown() const { return shown_; }

 private:
  bool shown_ = false;
};

}  // namespace

QtCallWaiter::QtCallWaiter(PanelWindow& window, milliseconds limit)
    : window_(window), limit_(limit) {}

host::CallWaiter::Outcome QtCallWaiter::wait(std::string_view /*member*/,
                                             const std::atomic<bool>& answered) {
  // Announce the wait before looking at the answer: an answer that comes after the look then
  // finds waiting_ set and wakes the loop below.
  waiting_.store(true);
  answered_ = &answered;
  struct Reset {
    QtCallWaiter& waiter;
    ~Reset() {
      waiter.waiting_.store(false);
      waiter.answered_ = nullptr;
    }
  } reset{*this};

  QElapsedTimer clock;
  clock.start();
  BusyCursor cursor;
  QTimer nextMoment;  // its expiry alone wakes the event loop when the cursor or the box is due
  nextMoment.setSingleShot(true);
  milliseconds boxDue = limit_;
  while (!answered.load()) {
    const milliseconds waited(clock.elapsed());
    if (waited >= BusyCursorAfter) cursor.show();
    if (waited >= boxDue) {
      cursor.hide();  // the operator needs an ordinary pointer for the box
      const Answer answer = ask(shownWait(waited));
      if (answer == Answer::Answered) break;
      if (answer == Answer::Cancel) return Outcome::GivenUp;
      boxDue = milliseconds(clock.elapsed()) + limit_;
      continue;
    }
    const milliseconds due = cursor.shown() ? boxDue : std::min(boxDue, BusyCursorAfter);
    nextMoment.start(static_cast<int>((due - waited).count()) + 1);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                    QEventLoop::WaitForMoreEvents);
  }
  return Outcome::Answered;
}

QtCallWaiter::Answer QtCallWaiter::ask(milliseconds waited) {
  QMessageBox shown(QMessageBox::NoIcon, QString::fromStdString(box.titleText()),
                    displayText(HostWaitBox::text(waited)), QMessageBox::NoButton,
                    window_.isVisible() ? &window_ : nullptr);
  shown.setTextFormat(Qt::PlainText);
  shown.setObjectName(QStringLiteral("hostNotAnswering"));
  QPushButton* retry = shown.addButton(QMessageBox::Retry);
  QPushButton* cancel = shown.addButton(QMessageBox::Cancel);
  shown.setDefaultButton(retry);
  shown.setEscapeButton(cancel);  // closing the box is Cancel
  open_ = &shown;
  shown.exec();
  open_ = nullptr;
  if (answered_->load()) return Answer::Answered;  // the answer took the box away
  return shown.clickedButton() == retry ? Answer::Retry : Answer::Cancel;
}

void QtCallWaiter::wake() {
  if (!waiting_.load()) return;  // the controller has seen the answer, or will see it first
  QMetaObject::invokeMethod(
      &context_, [this] { answerArrived(); }, Qt::QueuedConnection);
}

// On the window's thread. Reaching here has already woken the wait loop; an open box goes.
void QtCallWaiter::answerArrived() {
  if (open_ && answered_ && answered_->load()) open_->done(QDialog::Accepted);
}

}  // namespace orvane::panel::qt
