#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "panel/HostWait.h"

namespace orvane::panel {

// The window-less wait: sleeps until the answer or the limit, then "shows" the box and takes the
// operator's answer from a script.
class HeadlessCallWaiter final : public HostWait {
 public:
  explicit HeadlessCallWaiter(std::chrono::milliseconds limit = DefaultHostTimeout)
      : HostWait(limit) {}

  void wake() override;

  // The operator's answer to each box (controller::box::AnswerRetry or AnswerCancel); unset, every
  // box is cancelled. It runs while the box is "open": a test may let the host answer from here.
  std::function<std::int16_t(const Box&)> operatorAnswer;
  std::vector<Box> boxes;  // every box shown
  bool busyCursor = false;

 private:
  void pumpPaintUntil(Clock::time_point until) override;
  void setBusyCursor(bool busy) override { busyCursor = busy; }
  bool showBox(const Box& box) override;
  void closeBox() override {}

  std::mutex mutex_;
  std::condition_variable woken_;
  bool wakeCame_ = false;  // kept until the next pump, so that an early wake is not lost
};

}  // namespace orvane::panel
