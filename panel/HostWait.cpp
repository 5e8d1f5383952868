#include "panel/HostWait.h"

#include <algorithm>
#include <cstdio>

#include "panel/Controls.h"

namespace orvane::panel {

std::string notAnsweringText(std::chrono::milliseconds waited) {
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

host::CallWaiter::Outcome HostWait::wait(std::string_view member,
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

bool HostWait::keepWaiting(std::string_view member, std::chrono::milliseconds waited,
                           const std::function<bool()>& answered) {
  std::string shownTitle = title ? title() : std::string();
  if (shownTitle.empty()) shownTitle = WindowCaptionAtLoad;  // start-up's first calls
  boxWaitsFor_ = &answered;
  const bool retry = showBox({std::string(member), shownTitle, notAnsweringText(waited)});
  boxWaitsFor_ = nullptr;
  return retry || answered();  // an answer that came while the box was open wins
}

void HostWait::lookAgain() {
  if (boxWaitsFor_ && (*boxWaitsFor_)()) closeBox();
}

}  // namespace orvane::panel
