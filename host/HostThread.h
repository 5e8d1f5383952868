#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

#include "host/CallWaiter.h"
#include "host/Object.h"

namespace orvane::host {

// The host's message once the operator has given up waiting for it: the abandoned call and every
// later one fail with it.
inline constexpr const char* NotResponding = "the host is not responding";

// Where the host thread lives. The portable home does nothing on entering and leaving and sleeps
// on a condition variable; on Windows the thread is a single-threaded COM apartment, which must
// keep its messages pumped while it waits for work.
class ThreadHome {
 public:
  virtual ~ThreadHome() = default;
  // First and last on the host thread. An error of enter() fails the HostThread's construction.
  virtual void enter() {}
  virtual void leave() {}
  // On the host thread, with `lock` held: returns once ready() is true. wakeUp() is called from any
  // thread after each change under the lock that may have made ready() true.
  virtual void sleepUntil(std::unique_lock<std::mutex>& lock,
                          const std::function<bool()>& ready) = 0;
  virtual void wakeUp() = 0;
};

class ConditionHome final : public ThreadHome {
 public:
  void sleepUntil(std::unique_lock<std::mutex>& lock, const std::function<bool()>& ready) override {
    workArrived_.wait(lock, ready);
  }
  void wakeUp() override { workArrived_.notify_one(); }

 private:
  std::condition_variable workArrived_;
};

// A thread of its own that creates, calls and releases every host object, while the controller's
// thread waits for each access through a CallWaiter. The controller does not notice: wrap() turns
// any factory into one whose objects hand each access over to this thread and return its answer
// (outs, result, error) as the direct call would.
//
// Each access is one record in a queue guarded by one mutex. The controller's thread queues a
// record and waits until the host thread marks it done; only then are the outs written into the
// controller's fields. Releases are queued and not waited for, so dropping an object never blocks;
// they run in order before the next access.
//
// When the operator gives up on a call, it fails with CallGivenUp (also when it was still queued),
// or throws WaitCancelled when the operator ended the program meanwhile: every later access fails
// at once with CallNotSent, without reaching the host thread, and the abandoned record stays with
// the host thread, where whatever the host answers late is dropped.
class HostThread {
 public:
  explicit HostThread(CallWaiter& waiter, std::unique_ptr<ThreadHome> home = nullptr);
  // Lets the queued releases finish and joins the thread; a thread that was given up on is left to
  // itself instead, as it may never return. Call finish() first to bound that wait.
  ~HostThread();
  HostThread(const HostThread&) = delete;
  HostThread& operator=(const HostThread&) = delete;

  // A factory that creates its objects on the host thread; the objects it hands out (and the
  // objects and values they return) make every access there.
  ObjectFactory wrap(ObjectFactory inner);
  // Runs any work on the host thread, waited for like a host call; its error is rethrown here.
  void run(std::string_view what, std::function<void()> work);

  // The end of a session in the middle of an operation: every host object handed out is let go on
  // the host thread, while the handles an operation may hold stay valid; an access through them
  // fails at once, and whatever a call in progress hands back is let go as it comes.
  void releaseAll();
  // Waits, through the waiter, until the queued releases have run: a host that does not answer
  // them gets the box like any call, and giving up there ends the wait.
  void finish();
  // True once the operator has given up on a call.
  bool givenUp() const;
  // Blocks until the host thread has nothing left to do, an abandoned call included. No limit:
  // for tests, once they have let the host answer.
  void waitUntilIdle();

  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace orvane::host
