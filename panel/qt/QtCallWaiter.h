#pragma once

#include <QEventLoop>
#include <QObject>
#include <memory>

#include "panel/HostWait.h"

class QDialog;
class QLabel;
class QMessageBox;

namespace orvane::panel::qt {

class PanelWindow;

// The wait's steps in Qt: the window's own events (paint, timers) go on while operator input stays
// queued; a wake from the host thread is a queued call, which also ends the event loop's sleep.
class QtCallWaiter final : public HostWait {
 public:
  explicit QtCallWaiter(PanelWindow& window, std::chrono::milliseconds limit = DefaultHostTimeout);
  ~QtCallWaiter() override;

 private:
  void pumpPaintUntil(Clock::time_point until) override;
  void wakeWindow() override;
  void setBusyCursor(bool busy) override;
  bool showBox(const Box& box) override;
  void closeBox() override;
  void showStartupWindow(const std::string& title, const std::string& text) override;
  void closeStartupWindow() override;
  void pumpStartupUntil(Clock::time_point until) override;
  void pumpUntil(Clock::time_point until, QEventLoop::ProcessEventsFlags flags);

  PanelWindow& window_;
  QObject context_;              // receives the queued wake-ups on the window's thread
  QMessageBox* open_ = nullptr;  // the box while it is shown
  std::unique_ptr<QDialog> startupWindow_;
  QLabel* startupText_ = nullptr;
};

}  // namespace orvane::panel::qt
