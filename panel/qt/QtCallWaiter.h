#pragma once

#include <QObject>

#include "panel/HostWait.h"

class QMessageBox;

namespace orvane::panel::qt {

class PanelWindow;

// The wait's steps in Qt: the window's own events (paint, timers) go on while operator input stays
// queued; a wake from the host thread is a queued call, which also ends the event loop's sleep.
class QtCallWaiter final : public HostWait {
 public:
  explicit QtCallWaiter(PanelWindow& window, std::chrono::milliseconds limit = DefaultHostTimeout)
      : HostWait(limit), window_(window) {}

  void wake() override;

 private:
  void pumpPaintUntil(Clock::time_point until) override;
  void setBusyCursor(bool busy) override;
  bool showBox(const Box& box) override;
  void closeBox() override;

  PanelWindow& window_;
  QObject context_;              // receives the queued wake-ups on the window's thread
  QMessageBox* open_ = nullptr;  // the box while it is shown
};

}  // namespace orvane::panel::qt
