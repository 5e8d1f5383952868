#include "panel/win32/Win32Panel.h"

#include "panel/win32/InputDialog.h"
#include "host/com/WideText.h"
#include "panel/win32/WindowIds.h"

// The controller's platform services: the message box, the input box and ending at once.

namespace orvane::panel::win32 {

using host::com::toWide;
using host::com::toUtf8;

std::string Win32Panel::inputBox(const std::string& prompt, const std::string& title,
                                 const std::string& defaultText) {
  return toUtf8(runInputDialog(owner(), toWide(prompt), toWide(title), toWide(defaultText)));
}

std::int16_t Win32Panel::messageBox(const std::string& text, std::int16_t style,
                                    const std::string& title) {
  const int answer =
      MessageBoxW(owner(), toWide(text).c_str(), toWide(title).c_str(), static_cast<UINT>(style));
  return static_cast<std::int16_t>(answer == 0 ? IDCANCEL : answer);
}

void Win32Panel::endAtOnce() {
  endedAtOnce_ = true;
  if (window_) {
    KillTimer(window_, TimerId);
    ShowWindow(window_, SW_HIDE);
  }
  quit();
}

// Boxes belong to the window once it is on screen; during start-up they stand alone.
HWND Win32Panel::owner() const {
  return window_ && IsWindowVisible(window_) ? window_ : nullptr;
}

}  // namespace orvane::panel::win32
