#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "host/CallWaiter.h"
#include "panel/HostWaitBox.h"

namespace orvane::panel::win32 {

// How the window's thread waits for a call that runs on the host thread. It sleeps on an event
// that the host thread sets, and meanwhile handles only paint and sent messages: the window stays
// painted, operator input stays queued until the operation has finished, and no handler runs
// nested. Once a call has waited busyCursorAfter the pointer shows the busy cursor; after `limit`
// a modal Retry/Cancel box asks whether to keep waiting (Retry waits another `limit`). If the host
// answers while the box is open, the box goes away by itself and the call is answered.
// The box's title and text are those of every panel's (HostWaitBox).
class Win32CallWaiter final : public host::CallWaiter {
 public:
  struct Settings {
    std::chrono::milliseconds limit = DefaultHostTimeout;
    std::chrono::milliseconds busyCursorAfter = BusyCursorAfter;
    // How often an open box looks whether the host has answered in the meantime.
    std::chrono::milliseconds boxCheckInterval{50};
  };

  // Throws std::runtime_error when the event cannot be made.
  explicit Win32CallWaiter(Settings settings);
  ~Win32CallWaiter() override;
  Win32CallWaiter(const Win32CallWaiter&) = delete;
  Win32CallWaiter& operator=(const Win32CallWaiter&) = delete;

  // The box's owner window (none while the window is not on screen), asked for at each box.
  void setBoxOwner(std::function<HWND()> owner) { owner_ = std::move(owner); }

  Outcome wait(std::string_view member, const std::atomic<bool>& answered) override;
  void wake() override { SetEvent(event_); }

  HostWaitBox box;  // its title: set to the controller's Title_Text

 private:
  // True to keep waiting: the operator chose Retry, or the host answered while the box was open.
  bool keepWaiting(std::chrono::milliseconds waited, const std::atomic<bool>& answered);

  Settings settings_;
  HANDLE event_ = nullptr;  // auto-reset; set by wake()
  std::function<HWND()> owner_;
};

}  // namespace orvane::panel::win32
