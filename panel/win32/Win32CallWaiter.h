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

namespace orvane::panel::win32 {

// How the window's thread waits for a call that runs on the host thread. It sleeps on an event
// that the host thread sets, and meanwhile handles only paint and sent messages: the window stays
// painted, operator input stays queued until the operation has finished, and no handler runs
// nested. Once a call has waited busyCursorAfter the pointer shows the busy cursor; after `limit`
// a modal Retry/Cancel box asks whether to keep waiting (Retry waits another `limit`). If the host
// answers while the box is open, the box goes away by itself and the call is answered.
class Win32CallWaiter final : public host::CallWaiter {
 public:
  struct Settings {
    std::chrono::milliseconds limit{5000};
    std::chrono::milliseconds busyCursorAfter{250};
    // How often an open box looks whether the host has answered in the meantime.
    std::chrono::milliseconds boxCheckInterval{50};
  };

  // Throws std::runtime_error when the event cannot be made.
  explicit Win32CallWaiter(Settings settings);
  ~Win32CallWaiter() override;
  Win32CallWaiter(const Win32CallWaiter&) = delete;
  Win32CallWaiter& operator=(const Win32CallWaiter&) = delete;

  // The box's title (the one the controller gives its own boxes) and its owner window (none while
  // the window is not on screen), asked for each time a box is shown.
  void setBoxTitle(std::function<std::string()> title) { title_ = std::move(title); }
  void setBoxOwner(std::function<HWND()> owner) { owner_ = std::move(owner); }

  Outcome wait(std::string_view member, const std::atomic<bool>& answered) override;
  void wake() override { SetEvent(event_); }

  // The text of the box after `waited` without an answer to `member`.
  static std::string boxText(std::string_view member, std::chrono::milliseconds waited);

 private:
  // True to keep waiting: the operator chose Retry, or the host answered while the box was open.
  bool keepWaiting(std::string_view member, std::chrono::milliseconds waited,
                   const std::atomic<bool>& answered);

  Settings settings_;
  HANDLE event_ = nullptr;  // auto-reset; set by wake()
  std::function<std::string()> title_;
  std::function<HWND()> owner_;
};

}  // namespace orvane::panel::win32
