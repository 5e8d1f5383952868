#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>

namespace orvane::panel::qt {

class PanelWindow;

// The window manager's close (WM_DELETE_WINDOW), taken as X11 delivers it. While the window waits
// for the host, Qt holds it back with the operator's clicks and keys; once a modal box opens, Qt
// reads it and throws it away as the close of a blocked window, so the operator's close would be
// lost without a word. Read here first, it reaches the panel, which keeps it for once the operation
// has ended. Between operations Qt's own close runs as ever. Installed only on X11.
class WindowManagerClose final : public QAbstractNativeEventFilter {
 public:
  explicit WindowManagerClose(PanelWindow& window);
  ~WindowManagerClose() override;
  WindowManagerClose(const WindowManagerClose&) = delete;
  WindowManagerClose& operator=(const WindowManagerClose&) = delete;

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  PanelWindow& window_;
  std::uint32_t protocols_ = 0;  // the atoms WM_PROTOCOLS and WM_DELETE_WINDOW
  std::uint32_t deleteWindow_ = 0;
  bool installed_ = false;
};

}  // namespace orvane::panel::qt
