#pragma once

#include <atomic>
#include <string_view>

namespace orvane::host {

// How the controller's thread spends the time while one host call runs on the host thread. Each
// panel provides one: it keeps the window painted (operator input stays queued until the operation
// has finished), shows the busy cursor once a call takes a while, and after the time limit asks the
// operator whether to keep waiting. The headless one lets tests script that answer.
class CallWaiter {
 public:
  enum class Outcome {
    Answered,  // the host thread reported the call done
    GivenUp,   // the operator chose to stop waiting; the call is abandoned
  };

  virtual ~CallWaiter() = default;

  // On the controller's thread: returns once answered() is true, or GivenUp when the operator gives
  // up on the call. member names the call, for the box and the trace.
  virtual Outcome wait(std::string_view member, const std::atomic<bool>& answered) = 0;

  // On the host thread, after the call has returned and `answered` has been set: wakes wait().
  // Thread-safe; may come before wait() has even started.
  virtual void wake() = 0;
};

}  // namespace orvane::host
