#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "host/CallWaiter.h"

namespace orvane::panel {

// How long a host call may go unanswered before the operator is asked, after how long the pointer
// turns busy, and after how long a host that is still starting gets the start-up window.
inline constexpr std::chrono::milliseconds DefaultHostTimeout{5000};
inline constexpr std::chrono::milliseconds BusyCursorAfter{250};
inline constexpr std::chrono::milliseconds StartupWindowAfter{500};
// Most answers come within this, less than a frame: the window's thread sleeps for them without
// pumping its events, which costs nothing while it sleeps.
inline constexpr std::chrono::milliseconds QuickAnswer{10};
// Through start-up the window's thread looks at its messages (paint, the start-up window's Cancel,
// the end of the session) at least this often, however quickly the host answers each call.
inline constexpr std::chrono::milliseconds StartupLookEvery{40};

// "Qelvix has not answered for 5 seconds." CR LF "Retry keeps waiting; Cancel closes this
// program." Whole seconds as a whole number, shorter waits (tests) with up to three decimals.
std::string notAnsweringText(std::chrono::milliseconds waited);
// "Waiting for Qelvix to start… 12 s": the seconds waited, to the nearest.
std::string startingText(std::chrono::milliseconds waited);

// The window's thread waiting for the host thread, the same in every panel. Each panel supplies
// the platform steps below.
//
// Running: the window keeps painting while operator input stays queued; after a quarter of a second
// the pointer turns busy; after the limit a modal Retry/Cancel box (style 5) asks whether to keep
// waiting, Retry waits another limit, and an answer that comes while the box is open takes the box
// away.
//
// Starting (from beginStartup() to endStartup(), which comes before the address prompt): there is
// no box; once start-up has waited half a second, the start-up window counts the seconds, and its
// Cancel ends the program at once.
//
// Session ending (from endSession() on): no box and no window; whatever the host has not answered
// by the deadline is given up.
class HostWait : public host::CallWaiter {
 public:
  struct Box {
    std::string member;  // the call waited for; only the tests look at it
    std::string title;
    std::string text;
  };

  // Watches what the wait shows the operator; the call trace is one.
  class Observer {
   public:
    enum class BoxAnswer { Retry, Cancel, HostAnswered };
    virtual ~Observer() = default;
    virtual void boxShown(const Box& box) = 0;
    virtual void boxClosed(const Box& box, BoxAnswer answer) = 0;
    virtual void startupWindowShown(const std::string& title, const std::string& text) = 0;
    enum class StartupEnd { Ready, Cancelled, SessionEnded };
    // Ready: start-up has gone on to the prompt or a box.
    virtual void startupWindowClosed(StartupEnd why) = 0;
  };

  explicit HostWait(std::chrono::milliseconds limit,
                    std::chrono::milliseconds busyCursorAfter = BusyCursorAfter,
                    std::chrono::milliseconds startupWindowAfter = StartupWindowAfter)
      : limit_(limit), busyCursorAfter_(busyCursorAfter), startupWindowAfter_(startupWindowAfter) {}

  Outcome wait(std::string_view member, const std::function<bool()>& answered) final;
  void wake() final;

  // Start-up is timed from `began`: the program's own start, so that the time the window system
  // took to come up counts too.
  void beginStartup(std::chrono::steady_clock::time_point began = std::chrono::steady_clock::now());
  void endStartup();
  // Between start-up's calls: returns at `until`, looking at the window's messages as a call does.
  void pauseStartup(std::chrono::steady_clock::time_point until);
  // A rest of the program's own (waiting for another program's lock): returns at `until` or soon
  // after a wake, the window painting meanwhile while operator input stays queued.
  void pausePainting(std::chrono::steady_clock::time_point until) { pumpPaintUntil(until); }
  void endSession(std::chrono::milliseconds limit);

  // The title of the boxes and the start-up window: the controller's Title_Text; "Orvane I/O
  // Switcher" while there is none.
  std::function<std::string()> title;
  Observer* observer = nullptr;

 protected:
  using Clock = std::chrono::steady_clock;

  // Handles paint (on Windows also sent messages) until `until`, or until wakeWindow() comes.
  virtual void pumpPaintUntil(Clock::time_point until) = 0;
  // From the host thread, without blocking: ends pumpPaintUntil early, and while the box is open
  // has lookAgain run on the window's thread.
  virtual void wakeWindow() = 0;
  virtual void setBusyCursor(bool busy) = 0;
  // The modal box: true for Retry, false for Cancel or a closed box.
  virtual bool showBox(const Box& box) = 0;
  // Ends the open box from inside its loop.
  virtual void closeBox() = 0;
  // Shows the start-up window with this text (its Cancel button, a busy pointer over it), or
  // changes the text of the one shown.
  virtual void showStartupWindow(const std::string& title, const std::string& text) = 0;
  virtual void closeStartupWindow() = 0;
  // Like pumpPaintUntil, but the start-up window's own input is handled too.
  virtual void pumpStartupUntil(Clock::time_point until) = 0;

  // For the panel to run on the window's thread after a wake while the box is open: closes the box
  // if the host has answered meanwhile.
  void lookAgain();
  // For the panel: the operator pressed the start-up window's Cancel, or closed it.
  void startupCancelled() { startupCancelled_ = true; }
  // Sleeps until `until`, or until a wake comes (one that came before counts too), handling
  // nothing meanwhile. A platform whose own wake is cheaper than a condition variable's brings it.
  virtual void sleepUntilWoken(Clock::time_point until);

 private:
  Outcome waitRunning(std::string_view member, const std::function<bool()>& answered,
                      Clock::time_point start);
  Outcome waitStarting(std::string_view member, const std::function<bool()>& answered);
  // Start-up's regular look at the window's messages; shows or updates the start-up window once
  // start-up has lasted long enough.
  void lookDuringStartup(Clock::time_point now);
  void restDuringStartup(Clock::time_point until);
  void closeStartupWindowShown(Observer::StartupEnd why);
  Outcome waitEnding(const std::function<bool()>& answered);
  std::chrono::milliseconds wholeSteps(Clock::duration waited) const;
  bool keepWaiting(std::string_view member, std::chrono::milliseconds waited,
                   const std::function<bool()>& answered);
  std::string titleText() const;

  enum class Phase { Starting, Running, Ending };
  Phase phase_ = Phase::Running;
  std::chrono::milliseconds limit_;
  std::chrono::milliseconds busyCursorAfter_;
  std::chrono::milliseconds startupWindowAfter_;
  const std::function<bool()>* boxWaitsFor_ = nullptr;  // while the box is open
  Clock::time_point startupBegan_;
  Clock::time_point nextStartupLook_;
  std::string startupShown_;  // the start-up window's text while it is shown
  bool startupCancelled_ = false;
  Clock::time_point sessionDeadline_;
  std::mutex wakeMutex_;
  std::condition_variable woken_;
  bool wakeCame_ = false;  // kept until the next sleep, so that an early wake is not lost
};

}  // namespace orvane::panel
