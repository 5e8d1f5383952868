#include "panel/win32/CentredMessageBox.h"

#include <algorithm>
#include <utility>

namespace orvane::panel::win32 {

namespace {

// The box about to open on this thread, and the window to centre it over. A CBT hook sees the box
// as it is activated, before it is drawn, and goes again at once.
thread_local HHOOK centring = nullptr;
thread_local HWND centreOver = nullptr;

LRESULT CALLBACK centreOnActivation(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && centring) {
    const auto box = reinterpret_cast<HWND>(wParam);
    RECT boxRect{};
    RECT ownerRect{};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetWindowRect(box, &boxRect) && GetWindowRect(centreOver, &ownerRect) &&
        GetMonitorInfoW(MonitorFromWindow(centreOver, MONITOR_DEFAULTTONEAREST), &monitor)) {
      const LONG width = boxRect.right - boxRect.left;
      const LONG height = boxRect.bottom - boxRect.top;
      const RECT& area = monitor.rcWork;  // kept on the owner's screen, clear of the taskbar
      const LONG x = std::clamp((ownerRect.left + ownerRect.right - width) / 2, area.left,
                                std::max(area.left, area.right - width));
      const LONG y = std::clamp((ownerRect.top + ownerRect.bottom - height) / 2, area.top,
                                std::max(area.top, area.bottom - height));
      SetWindowPos(box, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    UnhookWindowsHookEx(std::exchange(centring, nullptr));
    return 0;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

int centredMessageBox(HWND owner, const wchar_t* text, const wchar_t* title, UINT style) {
  if (owner && IsWindowVisible(owner) && !IsIconic(owner) && !centring) {
    centreOver = owner;
    centring = SetWindowsHookExW(WH_CBT, &centreOnActivation, nullptr, GetCurrentThreadId());
  }
  const int answer = MessageBoxW(owner, text, title, style);
  if (centring) UnhookWindowsHookEx(std::exchange(centring, nullptr));  // never activated
  return answer;
}

}  // namespace orvane::panel::win32
