#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host/CallWaiter.h"
#include "panel/HostWaitBox.h"

namespace orvane::panel {

// The window-less way to wait for the host thread: sleeps until the answer or the limit, then
// "shows" the box and takes the operator's answer from a script.
class HeadlessCallWaiter : public host::CallWaiter {
 public:
  struct Box {
    std::string member;  // the call that was waited for
    std::string text;
    std::string title;
  };

  explicit HeadlessCallWaiter(std::chrono::milliseconds limit = DefaultHostTimeout)
      : limit_(limit) {}

  Outcome wait(std::string_view member, const std::atomic<bool>& answered) override;
  void wake() override;

  HostWaitBox box;
  // The operator's answer to each box (controller::box::AnswerRetry or AnswerCancel); unset, every
  // box is cancelled. It runs while the box is "open": a test may let the host answer from here.
  std::function<std::int16_t(const Box&)> operatorAnswer;
  std::vector<Box> boxes;  // every box shown

 private:
  std::chrono::milliseconds limit_;
  std::mutex mutex_;
  std::condition_variable woken_;
};

}  // namespace orvane::panel
