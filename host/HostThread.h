#pragma once

#include <functional>
#include <memory>
#include <string_view>
#include <thread>

#include "host/CallWaiter.h"
#include "host/HostWake.h"
#include "host/Object.h"

namespace orvane::host {

// The host's message once the operator has given up waiting for it: the abandoned call and every
// later one fail with it.
inline constexpr const char* NotResponding = "the host is not responding";

// A thread of its own that creates and owns the host objects: every call, get, put and release of
// a host object is made there, while the controller's thread waits for it through a CallWaiter.
// The controller does not notice: wrap() turns any factory into one whose objects hand each access
// over to this thread and return its answer (outs, result, error) as the direct call would.
//
// When the operator gives up on a call, it fails with HostError(member, NotResponding) and the
// host thread is abandoned: every later access fails at once without touching it, and whatever
// the host does when it finally answers never reaches the controller's fields.
class HostThread {
 public:
  // enter runs first on the new thread (Windows enters a single-threaded apartment there), leave
  // runs last, after every object has been released. An error of enter is rethrown here. wake is
  // how the host thread sleeps between calls; without one it uses a ConditionWake.
  explicit HostThread(CallWaiter& waiter, std::function<void()> enter = {},
                      std::function<void()> leave = {}, std::unique_ptr<HostWake> wake = nullptr);
  // Releases the objects still held on the host thread and joins it; a thread that was given up
  // on is left to itself instead, as it may never return. The waiter must outlive this object.
  ~HostThread();
  HostThread(const HostThread&) = delete;
  HostThread& operator=(const HostThread&) = delete;

  // A factory that creates its objects on the host thread; the objects it hands out (and the
  // objects they return) make every access there. Once this object is gone, they fail at once.
  ObjectFactory wrap(ObjectFactory inner);
  // Runs any work on the host thread, waited for like a host call; its error is rethrown here.
  void run(std::string_view what, std::function<void()> work);

  // True once the operator has given up on a call.
  bool givenUp() const;
  // Blocks until the host thread has finished the access it is making, an abandoned one included.
  // No limit: for tests, once they have let the host answer.
  void waitUntilIdle();

 private:
  friend class ThreadObject;  // the objects handed out, which share the hand-off below
  struct Shared;
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace orvane::host
