#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "host/CallWaiter.h"

namespace orvane::panel {

// How long a host call may go unanswered before the operator is asked, and after how long the
// pointer turns busy.
inline constexpr std::chrono::milliseconds DefaultHostTimeout{5000};
inline constexpr std::chrono::milliseconds BusyCursorAfter{250};

// "Qelvix has not answered for 5 seconds." CR LF "Retry keeps waiting; Cancel closes this
// program." Whole seconds as a whole number, shorter waits (tests) with up to three decimals.
std::string notAnsweringText(std::chrono::milliseconds waited);

// The window's thread waiting for the host thread, the same in every panel: the window keeps
// painting while operator input stays queued; after a quarter of a second the pointer turns busy;
// after the limit a modal Retry/Cancel box (style 5) asks whether to keep waiting, Retry waits
// another limit, and an answer that comes while the box is open takes the box away. Each panel
// supplies the platform steps below.
class HostWait : public host::CallWaiter {
 public:
  struct Box {
    std::string member;  // the call waited for; only the tests look at it
    std::string title;
    std::string text;
  };

  explicit HostWait(std::chrono::milliseconds limit,
                    std::chrono::milliseconds busyCursorAfter = BusyCursorAfter)
      : limit_(limit), busyCursorAfter_(busyCursorAfter) {}

  Outcome wait(std::string_view member, const std::function<bool()>& answered) final;

  // The boxes' title: the controller's Title_Text; "Orvane I/O Switcher" while there is none.
  std::function<std::string()> title;

 protected:
  using Clock = std::chrono::steady_clock;

  // Handles paint (on Windows also sent messages) until `until`, or until wake() comes.
  virtual void pumpPaintUntil(Clock::time_point until) = 0;
  virtual void setBusyCursor(bool busy) = 0;
  // The modal box: true for Retry, false for Cancel or a closed box.
  virtual bool showBox(const Box& box) = 0;
  // Ends the open box from inside its loop.
  virtual void closeBox() = 0;

  // For the panel to run on the window's thread after a wake while the box is open: closes the box
  // if the host has answered meanwhile.
  void lookAgain();

 private:
  bool keepWaiting(std::string_view member, std::chrono::milliseconds waited,
                   const std::function<bool()>& answered);

  std::chrono::milliseconds limit_;
  std::chrono::milliseconds busyCursorAfter_;
  const std::function<bool()>* boxWaitsFor_ = nullptr;  // while the box is open
};

}  // namespace orvane::panel
