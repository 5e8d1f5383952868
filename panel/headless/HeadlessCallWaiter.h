#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "panel/HostWait.h"

namespace orvane::panel {

// The window-less wait: sleeps until the answer or the limit, then "shows" the box and takes the
// operator's answer from a script.
class HeadlessCallWaiter final : public HostWait {
 public:
  explicit HeadlessCallWaiter(std::chrono::milliseconds limit = DefaultHostTimeout,
                              std::chrono::milliseconds startupWindowAfter = StartupWindowAfter)
      : HostWait(limit, BusyCursorAfter, startupWindowAfter) {}

  // The operator's answer to each box (controller::box::AnswerRetry or AnswerCancel); unset, every
  // box is cancelled. It runs while the box is "open": a test may let the host answer from here.
  std::function<std::int16_t(const Box&)> operatorAnswer;
  std::vector<Box> boxes;  // every box shown
  bool busyCursor = false;

  // The start-up window: each text it showed, in order, and whether it is open now. While it is
  // open, operatorCancelsStartup is asked with its text each time the wait looks at the window;
  // true is the operator's Cancel.
  std::vector<std::string> startupTexts;
  std::string startupTitle;
  bool startupWindowOpen = false;
  std::function<bool(const std::string& text)> operatorCancelsStartup;
  // Runs once, the first time a call has kept the window waiting past the quick answer.
  std::function<void()> whileWaiting;

 private:
  void pumpPaintUntil(Clock::time_point until) override {
    if (whileWaiting) std::exchange(whileWaiting, nullptr)();
    sleepUntilWoken(until);
  }
  void wakeWindow() override {}
  void setBusyCursor(bool busy) override { busyCursor = busy; }
  bool showBox(const Box& box) override;
  void closeBox() override {}
  void showStartupWindow(const std::string& title, const std::string& text) override;
  void closeStartupWindow() override { startupWindowOpen = false; }
  void pumpStartupUntil(Clock::time_point until) override;
};

}  // namespace orvane::panel
