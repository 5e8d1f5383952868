#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

#include "panel/HostWait.h"

namespace orvane::panel::win32 {

// The wait's steps on Win32. The window's thread sleeps on an event that the host thread sets,
// with MsgWaitForMultipleObjectsEx, and handles the paint and sent messages that come meanwhile and
// nothing else: the window stays painted, operator input stays queued until the operation has
// finished, and no handler runs nested. While the box is open, a thread timer of the box's modal
// loop looks whether the host has answered. The start-up window is a small window of its own with
// the count and a Cancel button; while it is up, its input is handled too.
class Win32CallWaiter final : public HostWait {
 public:
  struct Settings {
    std::chrono::milliseconds limit = DefaultHostTimeout;
    std::chrono::milliseconds busyCursorAfter = BusyCursorAfter;
    // How often an open box looks whether the host has answered in the meantime.
    std::chrono::milliseconds boxCheckInterval{50};
  };

  explicit Win32CallWaiter(Settings settings);
  ~Win32CallWaiter() override;
  Win32CallWaiter(const Win32CallWaiter&) = delete;
  Win32CallWaiter& operator=(const Win32CallWaiter&) = delete;

  // The box's owner window (none while the window is not on screen), asked for at each box.
  void setBoxOwner(std::function<HWND()> owner) { owner_ = std::move(owner); }

 private:
  void pumpPaintUntil(Clock::time_point until) override;
  void wakeWindow() override;
  void sleepUntilWoken(Clock::time_point until) override;
  void setBusyCursor(bool busy) override;
  bool showBox(const Box& box) override;
  void closeBox() override;
  void showStartupWindow(const std::string& title, const std::string& text) override;
  void closeStartupWindow() override;
  void pumpStartupUntil(Clock::time_point until) override;
  static void CALLBACK boxTimer(HWND, UINT, UINT_PTR, DWORD);
  static LRESULT CALLBACK startupWindowProc(HWND, UINT, WPARAM, LPARAM);

  Settings settings_;
  HANDLE answered_;  // an auto-reset event, set by wake()
  std::function<HWND()> owner_;
  HCURSOR previousCursor_ = nullptr;
  std::wstring openBoxTitle_;  // while the box is open
  HWND startupWindow_ = nullptr;
  HWND startupText_ = nullptr;
  HFONT startupFont_ = nullptr;
};

}  // namespace orvane::panel::win32
