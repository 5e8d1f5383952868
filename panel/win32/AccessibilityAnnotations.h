#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct IAccPropServices;

namespace orvane::panel::win32 {

// What screen readers are told beyond what the standard controls say themselves: each control's
// name, the on/off state of the channel and relay buttons (owner-drawn, so the system sees plain
// push buttons), and a readout's exact reading. Given through the system's annotation service
// and announced with NotifyWinEvent. Where the service is missing or refuses (Wine 8 answers
// E_NOTIMPL), it stays silent from then on and the panel works unchanged: controls keep their
// captions as names.
class AccessibilityAnnotations {
 public:
  enum class Status { Working, Missing, Refused };

  AccessibilityAnnotations();
  ~AccessibilityAnnotations();
  AccessibilityAnnotations(const AccessibilityAnnotations&) = delete;
  AccessibilityAnnotations& operator=(const AccessibilityAnnotations&) = delete;

  void name(HWND control, const std::wstring& name);
  // A button whose colour is an on/off state: a push button, checked while on. `announce` tells
  // listeners of the change (not on the first annotation).
  void onOffState(HWND control, bool on, bool announce);
  // A readout's whole caption, whatever it paints.
  void value(HWND control, const std::wstring& value, bool announce);
  // Takes every annotation off again; before the controls are destroyed.
  void clear();

  Status status() const { return status_; }
  // Events sent through NotifyWinEvent, for tests (they go out whatever the service does).
  int announcements() const { return announcements_; }

 private:
  bool accepted(HRESULT result);
  void remember(HWND control);

  IAccPropServices* service_ = nullptr;
  bool uninitialise_ = false;
  Status status_ = Status::Missing;
  int announcements_ = 0;
  std::vector<HWND> annotated_;
};

}  // namespace orvane::panel::win32
