#include "panel/qt/QtCallWaiter.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "panel/qt/PanelWindow.h"
#include "panel/qt/QtPlatformServices.h"

namespace orvane::panel::qt {

QtCallWaiter::QtCallWaiter(PanelWindow& window, std::chrono::milliseconds limit)
    : HostWait(limit), window_(window) {}

QtCallWaiter::~QtCallWaiter() = default;

void QtCallWaiter::wakeWindow() {
  QMetaObject::invokeMethod(
      &context_, [this] { lookAgain(); }, Qt::QueuedConnection);
}

void QtCallWaiter::pumpPaintUntil(Clock::time_point until) {
  pumpUntil(until, QEventLoop::ExcludeUserInputEvents);
}

// Start-up comes before the panel is shown, so the start-up window is the only one that can take
// input.
void QtCallWaiter::pumpStartupUntil(Clock::time_point until) {
  pumpUntil(until, QEventLoop::AllEvents);
}

void QtCallWaiter::pumpUntil(Clock::time_point until, QEventLoop::ProcessEventsFlags flags) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
  QTimer due;  // its expiry alone wakes the event loop when nothing else does
  due.setSingleShot(true);
  due.start(static_cast<int>(std::max<long long>(left.count(), 0)));
  QCoreApplication::processEvents(flags | QEventLoop::WaitForMoreEvents);
}

void QtCallWaiter::showStartupWindow(const std::string& title, const std::string& text) {
  if (!startupWindow_) {
    startupWindow_ = std::make_unique<QDialog>();
    startupWindow_->setObjectName(QStringLiteral("hostStarting"));
    startupWindow_->setCursor(Qt::BusyCursor);
    auto* layout = new QVBoxLayout(startupWindow_.get());
    startupText_ = new QLabel(startupWindow_.get());
    startupText_->setTextFormat(Qt::PlainText);
    layout->addWidget(startupText_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, startupWindow_.get());
    // Neither the default button nor one that takes the focus: Return or Space, typed for the
    // address prompt that has not come yet, must not end the program. A click, Escape or the
    // close box does.
    QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setAutoDefault(false);
    cancel->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(buttons);
    // Cancel, Escape and the close box all reject the dialog.
    QObject::connect(buttons, &QDialogButtonBox::rejected, startupWindow_.get(), &QDialog::reject);
    QObject::connect(startupWindow_.get(), &QDialog::rejected, [this] { startupCancelled(); });
    startupWindow_->setWindowTitle(QString::fromStdString(title));
    startupText_->setText(QString::fromStdString(text));
    startupWindow_->show();
    return;
  }
  startupText_->setText(QString::fromStdString(text));
}

void QtCallWaiter::closeStartupWindow() {
  startupWindow_.reset();
  startupText_ = nullptr;
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
