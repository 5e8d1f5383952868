#include "panel/headless/HeadlessCallWaiter.h"

#include "controller/PlatformServices.h"

namespace orvane::panel {

host::CallWaiter::Outcome HeadlessCallWaiter::wait(std::string_view member,
                                                   const std::atomic<bool>& answered) {
  const auto isAnswered = [&answered] { return answered.load(std::memory_order_acquire); };
  for (int round = 1;; ++round) {
    {
      std::unique_lock lock(mutex_);
      if (woken_.wait_for(lock, limit_, isAnswered)) return Outcome::Answered;
    }
    boxes.push_back({std::string(member), HostWaitBox::text(limit_ * round), box.titleText()});
    const std::int16_t answer =
        operatorAnswer ? operatorAnswer(boxes.back()) : controller::box::AnswerCancel;
    if (isAnswered()) return Outcome::Answered;  // the answer took the box away
    if (answer != controller::box::AnswerRetry) return Outcome::GivenUp;
  }
}

void HeadlessCallWaiter::wake() {
  const std::lock_guard lock(mutex_);
  woken_.notify_all();
}

}  // namespace orvane::panel
