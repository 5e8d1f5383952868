#include "panel/HostWait.h"

#include <algorithm>
#include <cstdio>

#include "panel/Controls.h"

namespace orvane::panel {

using std::chrono::milliseconds;

std::string notAnsweringText(milliseconds waited) {
  const auto ms = waited.count();
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%lld.%03lld", static_cast<long long>(ms / 1000),
                static_cast<long long>(ms % 1000));
  std::string number = buffer;
  number.erase(number.find_last_not_of('0') + 1);
  if (number.back() == '.') number.pop_back();
  const std::string unit = number == "1" ? " second." : " seconds.";
  return "Qelvix has not answered for " + number + unit +
         "\r\nRetry keeps waiting; Cancel closes this program.";
}

std::string startingText(milliseconds waited) {
  return "Waiting for Qelvix to start\u2026 " + std::to_string((waited.count() + 500) / 1000) +
         " s";
}

void HostWait::beginStartup() {
  phase_ = Phase::Starting;
  startupBegan_ = Clock::now();
}

void HostWait::endStartup() {
  if (phase_ == Phase::Starting) phase_ = Phase::Running;
  if (!startupShown_.empty()) closeStartupWindow();
  startupShown_.clear();
}

void HostWait::endSession(milliseconds limit) {
  endStartup();
  phase_ = Phase::Ending;
  sessionDeadline_ = Clock::now() + limit;
}

void HostWait::wake() {
  {
    const std::lock_guard lock(wakeMutex_);
    wakeCame_ = true;
  }
  woken_.notify_all();
  wakeWindow();
}

void HostWait::sleepUntilWoken(Clock::time_point until) {
  std::unique_lock lock(wakeMutex_);
  woken_.wait_until(lock, until, [this] { return wakeCame_; });
  wakeCame_ = false;
}

host::CallWaiter::Outcome HostWait::wait(std::string_view member,
                                         const std::function<bool()>& answered) {
  const auto quickUntil = Clock::now() + std::min({QuickAnswer, limit_, busyCursorAfter_});
  while (!answered() && Clock::now() < quickUntil) sleepUntilWoken(quickUntil);
  switch (phase_) {
    case Phase::Starting:
      return waitStarting(answered);
    case Phase::Ending:
      return waitEnding(answered);
    case Phase::Running:
      break;
  }
  return waitRunning(member, answered);
}

host::CallWaiter::Outcome HostWait::waitRunning(std::string_view member,
                                                const std::function<bool()>& answered) {
  const auto start = Clock::now();
  const auto busyAt = start + busyCursorAfter_;
  auto askAt = start + limit_;
  int boxes = 0;
  bool busy = false;
  Outcome outcome = Outcome::Answered;
  while (!answered()) {
    const auto now = Clock::now();
    if (now >= askAt) {
      if (busy) setBusyCursor(busy = false);  // the operator needs an ordinary pointer for the box
      if (!keepWaiting(member, limit_ * ++boxes, answered)) {
        outcome = Outcome::GivenUp;
        break;
      }
      askAt = Clock::now() + limit_;
      continue;
    }
    if (!busy && now >= busyAt) setBusyCursor(busy = true);
    pumpPaintUntil(busy ? askAt : std::min(busyAt, askAt));
  }
  if (busy) setBusyCursor(false);
  return outcome;
}

// A host that is starting is not hung: no box, however long it takes, but the start-up window
// once the wait has lasted a while, with the seconds counted across every call of start-up.
host::CallWaiter::Outcome HostWait::waitStarting(const std::function<bool()>& answered) {
  const auto windowAt = startupBegan_ + startupWindowAfter_;
  while (!answered()) {
    if (startupCancelled_) return Outcome::Cancelled;
    const auto now = Clock::now();
    if (now < windowAt) {
      pumpPaintUntil(windowAt);
      continue;
    }
    const auto waited = std::chrono::duration_cast<milliseconds>(now - startupBegan_);
    const std::string text = startingText(waited);
    if (text != startupShown_) showStartupWindow(titleText(), text);
    startupShown_ = text;
    // The count changes at every half second past a whole one.
    const auto nextChange =
        startupBegan_ + milliseconds((waited.count() + 500) / 1000 * 1000 + 500);
    pumpStartupUntil(nextChange);
  }
  return Outcome::Answered;
}

host::CallWaiter::Outcome HostWait::waitEnding(const std::function<bool()>& answered) {
  while (!answered()) {
    if (Clock::now() >= sessionDeadline_) return Outcome::GivenUp;
    pumpPaintUntil(sessionDeadline_);
  }
  return Outcome::Answered;
}

bool HostWait::keepWaiting(std::string_view member, milliseconds waited,
                           const std::function<bool()>& answered) {
  boxWaitsFor_ = &answered;
  const bool retry = showBox({std::string(member), titleText(), notAnsweringText(waited)});
  boxWaitsFor_ = nullptr;
  return retry || answered();  // an answer that came while the box was open wins
}

std::string HostWait::titleText() const {
  std::string shown = title ? title() : std::string();
  if (shown.empty()) shown = WindowCaptionAtLoad;  // start-up's first calls, and the very end
  return shown;
}

void HostWait::lookAgain() {
  if (boxWaitsFor_ && (*boxWaitsFor_)()) closeBox();
}

}  // namespace orvane::panel
