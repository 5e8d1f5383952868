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

void HostWait::beginStartup(Clock::time_point began) {
  phase_ = Phase::Starting;
  startupBegan_ = began;
  nextStartupLook_ = startupBegan_ + StartupLookEvery;
}

void HostWait::pauseStartup(Clock::time_point until) {
  while (phase_ == Phase::Starting && !startupCancelled_) {
    const auto now = Clock::now();
    if (now >= until) return;
    if (now >= nextStartupLook_) {
      lookDuringStartup(now);
      continue;
    }
    restDuringStartup(until);
  }
}

// Until `until`, or the next look at the window's messages if that comes first.
void HostWait::restDuringStartup(Clock::time_point until) {
  const auto next = std::min(until, nextStartupLook_);
  if (startupShown_.empty()) {
    sleepUntilWoken(next);  // nothing on screen needs the messages before then
  } else {
    pumpStartupUntil(next);
  }
}

void HostWait::endStartup() {
  if (phase_ == Phase::Starting) phase_ = Phase::Running;
  closeStartupWindowShown(Observer::StartupEnd::Ready);
}

void HostWait::closeStartupWindowShown(Observer::StartupEnd why) {
  if (startupShown_.empty()) return;
  closeStartupWindow();
  startupShown_.clear();
  if (observer) observer->startupWindowClosed(why);
}

void HostWait::endSession(milliseconds limit) {
  closeStartupWindowShown(Observer::StartupEnd::SessionEnded);
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
  if (phase_ == Phase::Starting) return waitStarting(member, answered);
  const auto sent = Clock::now();
  const auto quickUntil = sent + std::min({QuickAnswer, limit_, busyCursorAfter_});
  while (!answered() && Clock::now() < quickUntil) sleepUntilWoken(quickUntil);
  if (phase_ == Phase::Ending) return waitEnding(answered);
  return waitRunning(member, answered, sent);
}

// The wait as the box tells it: whole seconds, or whole limits for a limit under a second (tests),
// rounded down so that the box never claims more than the real wait.
milliseconds HostWait::wholeSteps(Clock::duration waited) const {
  using namespace std::chrono_literals;
  const milliseconds step = limit_ >= 1s ? 1000ms : std::max(limit_, 1ms);
  return std::chrono::duration_cast<milliseconds>(waited) / step * step;
}

// The box tells the whole wait since the call was sent, the time the boxes were open included.
host::CallWaiter::Outcome HostWait::waitRunning(std::string_view member,
                                                const std::function<bool()>& answered,
                                                Clock::time_point start) {
  const auto busyAt = start + busyCursorAfter_;
  auto askAt = start + limit_;
  bool busy = false;
  Outcome outcome = Outcome::Answered;
  while (!answered()) {
    const auto now = Clock::now();
    if (now >= askAt) {
      if (busy) setBusyCursor(busy = false);  // the operator needs an ordinary pointer for the box
      if (!keepWaiting(member, wholeSteps(Clock::now() - start), answered)) {
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

// A host that is starting is not hung: no box, however long it takes. Start-up is timed as a
// whole, from the program's start, whether the host spends it in one long call or in a tight loop
// of quick ones: the window's messages are looked at every StartupLookEvery, and the start-up
// window comes once start-up has lasted StartupWindowAfter. A Cancel pressed as the call answers
// still ends the program.
host::CallWaiter::Outcome HostWait::waitStarting(std::string_view member,
                                                 const std::function<bool()>& answered) {
  for (;;) {
    if (phase_ == Phase::Ending) return waitEnding(answered);  // the session ended meanwhile
    if (phase_ == Phase::Running) return waitRunning(member, answered, Clock::now());
    if (startupCancelled_) {
      closeStartupWindowShown(Observer::StartupEnd::Cancelled);
      return Outcome::Cancelled;
    }
    const auto now = Clock::now();
    if (now >= nextStartupLook_) {
      lookDuringStartup(now);
      continue;
    }
    if (answered()) return Outcome::Answered;
    restDuringStartup(nextStartupLook_);
  }
}

void HostWait::lookDuringStartup(Clock::time_point now) {
  nextStartupLook_ = now + StartupLookEvery;
  if (now < startupBegan_ + startupWindowAfter_) {
    pumpPaintUntil(now);
    return;
  }
  const auto waited = std::chrono::duration_cast<milliseconds>(now - startupBegan_);
  const std::string text = startingText(waited);
  if (text != startupShown_) {
    const bool first = startupShown_.empty();
    showStartupWindow(titleText(), text);
    startupShown_ = text;
    if (first && observer) observer->startupWindowShown(titleText(), text);
  }
  pumpStartupUntil(now);
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
  const Box box{std::string(member), titleText(), notAnsweringText(waited)};
  if (observer) observer->boxShown(box);
  boxWaitsFor_ = &answered;
  const bool retry = showBox(box);
  boxWaitsFor_ = nullptr;
  const bool cameMeanwhile = !retry && answered();  // an answer that came while it was open wins
  if (observer) {
    using Answer = Observer::BoxAnswer;
    observer->boxClosed(box, retry           ? Answer::Retry
                             : cameMeanwhile ? Answer::HostAnswered
                                             : Answer::Cancel);
  }
  return retry || cameMeanwhile;
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
