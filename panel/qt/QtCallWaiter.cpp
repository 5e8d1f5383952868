#include "panel/qt/QtCallWaiter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "panel/qt/PanelWindow.h"
#include "panel/qt/QtPlatformServices.h"

namespace orvane::panel::qt {

void QtCallWaiter::wake() {
  QMetaObject::invokeMethod(
      &context_, [this] { lookAgain(); }, Qt::QueuedConnection);
}

void QtCallWaiter::pumpPaintUntil(Clock::time_point until) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
  QTimer due;  // its expiry alone wakes the event loop when nothing else does
  due.setSingleShot(true);
  due.start(static_cast<int>(std::max<long long>(left.count(), 0)));
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                  QEventLoop::WaitForMoreEvents);
}

void QtCallWaiter::setBusyCursor(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

bool QtCallWaiter::showBox(const Box& box) {
  QMessageBox shown(QMessageBox::NoIcon, QString::fromStdString(box.title), displayText(box.text),
                    QMessageBox::NoButton, window_.isVisible() ? &window_ : nullptr);
  shown.setTextFormat(Qt::PlainText);
  shown.setObjectName(QStringLiteral("hostNotAnswering"));
  QPushButton* retry = shown.addButton(QMessageBox::Retry);
  QPushButton* cancel = shown.addButton(QMessageBox::Cancel);
  shown.setDefaultButton(retry);
  shown.setEscapeButton(cancel);  // closing the box is Cancel
  open_ = &shown;
  shown.exec();
  open_ = nullptr;
  return shown.clickedButton() == retry;
}

void QtCallWaiter::closeBox() {
  if (open_) open_->done(QDialog::Accepted);
}

}  // namespace orvane::panel::qt
