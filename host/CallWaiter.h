#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "host/AutomationError.h"

namespace orvane::host {

// Thrown instead of the call's answer when the operator has ended the program while it waited for
// the host (the start-up window's Cancel): the run ends at once, as after Cancel at the address
// prompt. Deliberately not a std::exception, so that no handler for ordinary errors swallows it.
struct WaitCancelled {};

// The call the operator gave up waiting for fails with this. Giving up is the operator's decision
// that the host is gone, not an error of the host's: it is no AutomationError, so that
// skip-and-continue never swallows it, and the dispatcher turns it into the end of the run.
class CallGivenUp : public std::runtime_error {
 public:
  explicit CallGivenUp(const std::string& member)
      : std::runtime_error(member + ": the host is not responding"), member_(member) {}
  const std::string& member() const { return member_; }

 private:
  std::string member_;
};

// The call given up on had not reached the host yet: it waited in the host thread's queue behind
// a call the host has not answered (a release, say). A give-up all the same.
class CallGivenUpWhileQueued : public CallGivenUp {
 public:
  using CallGivenUp::CallGivenUp;
};

// A call made after the operator gave up on the host: it fails at once, without reaching the host,
// as a host error, and the trace writes it as not sent.
class CallNotSent : public HostError {
 public:
  using HostError::HostError;
};

// How the controller's thread spends the time while one host call runs on the host thread. Each
// panel provides one (panel/HostWait): it keeps the window painted while operator input stays
// queued, shows the busy cursor once a call takes a while, and after the time limit asks the
// operator whether to keep waiting.
class CallWaiter {
 public:
  enum class Outcome {
    Answered,   // the host thread reported the call done
    GivenUp,    // the operator chose to stop waiting; the call is abandoned
    Cancelled,  // the operator ended the program; the call is abandoned
  };

  virtual ~CallWaiter() = default;

  // On the controller's thread: returns Answered once answered() is true, or GivenUp or Cancelled
  // when the operator stops waiting. member names the call. answered() is cheap and thread-safe.
  virtual Outcome wait(std::string_view member, const std::function<bool()>& answered) = 0;

  // From the host thread, once answered() has turned true: makes wait() look again soon. Must not
  // block; may come before wait() has started, or after it has returned.
  virtual void wake() = 0;
};

}  // namespace orvane::host
