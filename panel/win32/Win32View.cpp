#include "panel/win32/Win32Panel.h"

#include <stdexcept>

#include "host/com/WideText.h"
#include "panel/AccessibleNames.h"
#include "panel/ReadoutFitter.h"
#include "panel/win32/CentredMessageBox.h"
#include "panel/win32/InputDialog.h"
#include "panel/win32/WindowIds.h"

// The view operations and the platform services the controller calls.

// The controller's view operations on the main window.

namespace orvane::panel::win32 {

using host::com::toWide;

void Win32Panel::setBackColor(ControlId control, Colour colour) {
  Child& c = child(control);
  if (c.back == colour) return;  // no repaint for an unchanged colour
  const bool wasOn = isOnColour(c.back);
  c.back = colour;
  if (showsOnOffState(control) && isOnColour(colour) != wasOn) {
    annotations_.onOffState(c.hwnd, !wasOn, true);
  }
  if (c.brush) {
    DeleteObject(c.brush);
    c.brush = CreateSolidBrush(colour);
  }
  if (c.hwnd) {
    InvalidateRect(c.hwnd, nullptr, FALSE);
    ++repaintRequests_;
  }
}

void Win32Panel::setEnabled(ControlId control, bool enabled) {
  Child& c = child(control);
  if (c.enabled == enabled) return;
  c.enabled = enabled;
  if (c.hwnd) EnableWindow(c.hwnd, enabled ? TRUE : FALSE);
}

void Win32Panel::setCaption(ControlId control, const std::string& text) {
  Child& c = child(control);
  if (c.caption == text) return;
  c.caption = text;
  if (c.hwnd) {
    SetWindowTextW(c.hwnd, toWide(text).c_str());
    if (isReadout(control)) {
      InvalidateRect(c.hwnd, nullptr, FALSE);  // it paints itself: fitted anew
      annotations_.value(c.hwnd, toWide(text), true);
    }
    ++repaintRequests_;
  }
}

void Win32Panel::setWindowCaption(const std::string& text) {
  if (windowCaption_ == text) return;
  windowCaption_ = text;
  showCaption();
}

void Win32Panel::setCaptionSuffix(const std::string& suffix) {
  captionSuffix_ = suffix;
  showCaption();
}

// The caption with its suffix, on the main window and in the DC history's title.
void Win32Panel::showCaption() {
  const std::string caption = windowCaption_ + captionSuffix_;
  if (window_) SetWindowTextW(window_, toWide(caption).c_str());
  if (history_) history_->setMainCaption(caption);
}

void Win32Panel::addListEntry(const std::string& text, std::int16_t index) {
  if (index < 0 || index > listCount_) {
    throw std::out_of_range("list index " + std::to_string(index) + " out of range");
  }
  const HWND list = child({ControlName::Mode_Droplist}).hwnd;
  if (list) {
    SendMessageW(list, CB_INSERTSTRING, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(toWide(text).c_str()));
  }
  ++listCount_;
  if (listIndex_ >= index) ++listIndex_;  // the selection stays on its entry
  if (list && listIndex_ >= 0) SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(listIndex_), 0);
}

void Win32Panel::setListIndex(std::int16_t index) {
  if (index < -1 || index >= listCount_) {
    throw std::out_of_range("list index " + std::to_string(index) + " out of range");
  }
  if (index == listIndex_) return;  // the same entry again raises nothing
  listIndex_ = index;
  if (const HWND list = child({ControlName::Mode_Droplist}).hwnd) {
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);  // sends no CBN_SELCHANGE
  }
  if (index >= 0 && raisedEvents()) raisedEvents()->listClickRaised();
}

void Win32Panel::setTimerInterval(int milliseconds) {
  timerInterval_ = milliseconds;
  if (!window_) return;
  if (milliseconds > 0) {
    SetTimer(window_, TimerId, static_cast<UINT>(milliseconds), nullptr);
  } else {
    KillTimer(window_, TimerId);
  }
}

void Win32Panel::close() {
  if (closed_) return;
  closed_ = true;
  if (raisedEvents()) raisedEvents()->unloadRaised();
  destroyWindow();
  quit();
}

}  // namespace orvane::panel::win32

// The controller's platform services: the message box, the input box and ending at once.

namespace orvane::panel::win32 {

using host::com::toUtf8;
using host::com::toWide;

std::optional<std::string> Win32Panel::inputBox(const std::string& prompt, const std::string& title,
                                                const std::string& defaultText) {
  const auto answer = runInputDialog(owner(), toWide(prompt), toWide(title), toWide(defaultText));
  if (!answer) return std::nullopt;
  return toUtf8(*answer);
}

std::int16_t Win32Panel::messageBox(const std::string& text, std::int16_t style,
                                    const std::string& title) {
  const int answer = centredMessageBox(owner(), toWide(text).c_str(), toWide(title).c_str(),
                                       static_cast<UINT>(style));
  return static_cast<std::int16_t>(answer == 0 ? IDCANCEL : answer);
}

void Win32Panel::endAtOnce() {
  endedAtOnce_ = true;
  if (window_) {
    KillTimer(window_, TimerId);
    KillTimer(window_, FollowTimerId);
    ShowWindow(window_, SW_HIDE);
  }
  quit();
}

// Boxes belong to the window once it is on screen; during start-up they stand alone.
HWND Win32Panel::owner() const {
  return window_ && IsWindowVisible(window_) ? window_ : nullptr;
}

}  // namespace orvane::panel::win32
