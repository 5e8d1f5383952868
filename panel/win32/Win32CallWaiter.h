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

// How the window's thread waits for a call that runs on the host thread. It sleeps on the call's
// `answered` flag itself (WaitOnAddress, ended by wake()), and every messageCheckInterval handles
// the paint and sent messages that have come meanwhile, and nothing else: the window stays painted,
// operator input stays queued until the operation has finished, and no handler runs nested. (An
// event with MsgWaitForMultipleObjects costs two trips through the wineserver per call under Wine,
// which showed as a tenth of an out-of-process call; WaitOnAddress does not.) Once a call has
// waited busyCursorAfter the pointer shows the busy cursor; after `limit` a modal Retry/Cancel box
// asks whether to keep waiting (Retry waits another `limit`). If the host answers while the box is
// open, the box goes away by itself and the call is answered. The box's title and text are those of
// every panel's (HostWaitBox).
class Win32CallWaiter final : public host::CallWaiter {
 public:
  struct Settings {
    std::chrono::milliseconds limit = DefaultHostTimeout;
    std::chrono::milliseconds busyCursorAfter = BusyCursorAfter;
    // How often an open box looks whether the host has answered in the meantime.
    std::chrono::milliseconds boxCheckInterval{50};
    // How often a waiting call looks for paint and sent messages.
    std::chrono::milliseconds messageCheckInterval{15};
  };

  explicit Win32CallWaiter(Settings settings) : settings_(settings) {}
  Win32CallWaiter(const Win32CallWaiter&) = delete;
  Win32CallWaiter& operator=(const Win32CallWaiter&) = delete;

  // The box's owner window (none while the window is not on screen), asked for at each box.
  void setBoxOwner(std::function<HWND()> owner) { owner_ = std::move(owner); }

  Outcome wait(std::string_view member, const std::atomic<bool>& answered) override;
  void wake() override;

  HostWaitBox box;  // its title: set to the controller's Title_Text

 private:
  // True to keep waiting: the operator chose Retry, or the host answered while the box was open.
  bool keepWaiting(std::chrono::milliseconds waited, const std::atomic<bool>& answered);

  Settings settings_;
  std::atomic<const void*> watched_{nullptr};  // the flag of the call being waited for
  std::function<HWND()> owner_;
};

}  // namespace orvane::panel::win32
