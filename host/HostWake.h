#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace orvane::host {

// How the host thread sleeps between host calls and is woken for the next one: a word that the
// waker changes before it calls wake(), in the manner of a futex. A platform whose condition
// variable is slow to wake (Windows under Wine) brings a primitive of its own.
class HostWake {
 public:
  virtual ~HostWake() = default;

  // On the host thread: returns once `word` no longer holds `seen`, or earlier; the caller looks
  // again and sleeps again if it must.
  virtual void sleep(const std::atomic<std::uint32_t>& word, std::uint32_t seen) = 0;
  // From any thread, after changing `word`: wakes the thread sleeping on it.
  virtual void wake(std::atomic<std::uint32_t>& word) = 0;
};

// The portable one: a condition variable.
class ConditionWake final : public HostWake {
 public:
  void sleep(const std::atomic<std::uint32_t>& word, std::uint32_t seen) override {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return word.load() != seen; });
  }
  void wake(std::atomic<std::uint32_t>&) override {
    { const std::lock_guard lock(mutex_); }  // a sleeper between its look and its wait gets this
    changed_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
};

}  // namespace orvane::host
