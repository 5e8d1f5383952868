#pragma once

#include <functional>
#include <string_view>

namespace orvane::host {

// How the controller's thread spends the time while one host call runs on the host thread. Each
// panel provides one (panel/HostWait): it keeps the window painted while operator input stays
// queued, shows the busy cursor once a call takes a while, and after the time limit asks the
// operator whether to keep waiting.
class CallWaiter {
 public:
  enum class Outcome {
    Answered,  // the host thread reported the call done
    GivenUp,   // the operator chose to stop waiting; the call is abandoned
  };

  virtual ~CallWaiter() = default;

  // On the controller's thread: returns Answered once answered() is true, or GivenUp when the
  // operator gives up on the call. member names the call. answered() is cheap and thread-safe.
  virtual Outcome wait(std::string_view member, const std::function<bool()>& answered) = 0;

  // From the host thread, once answered() has turned true: makes wait() look again soon. Must not
  // block; may come before wait() has started, or after it has returned.
  virtual void wake() = 0;
};

}  // namespace orvane::host
