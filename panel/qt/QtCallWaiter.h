#pragma once

#include <QObject>
#include <atomic>
#include <chrono>

#include "host/CallWaiter.h"
#include "panel/HostWaitBox.h"

class QMessageBox;

namespace orvane::panel::qt {

class PanelWindow;

// Waits for the host thread on the window's thread: the window keeps painting and timers keep
// ticking (the dispatcher drops the ticks while an operation runs), operator input stays queued.
// After a quarter of a second the pointer turns busy; after the limit a modal Retry/Cancel box
// asks whether to keep waiting, and goes away by itself when the host answers meanwhile.
class QtCallWaiter : public host::CallWaiter {
 public:
  explicit QtCallWaiter(PanelWindow& window, std::chrono::milliseconds limit = DefaultHostTimeout);

  Outcome wait(std::string_view member, const std::atomic<bool>& answered) override;
  // From the host thread: a queued call into the window's thread, which wakes its event loop.
  void wake() override;

  HostWaitBox box;

 private:
  enum class Answer { Retry, Cancel, Answered };
  Answer ask(std::chrono::milliseconds waited);
  void answerArrived();

  PanelWindow& window_;
  std::chrono::milliseconds limit_;
  QObject context_;                   // receives the queued wake-ups on the window's thread
  std::atomic<bool> waiting_{false};  // wake() posts nothing unless wait() is running
  const std::atomic<bool>* answered_ = nullptr;
  QMessageBox* open_ = nullptr;  // the box while it is shown
};

}  // namespace orvane::panel::qt
