#include "panel/qt/WindowManagerClose.h"

#include <xcb/xcb.h>
#include <QGuiApplication>
#include <QWindow>
#include <cstdlib>
#include <cstring>

#include "panel/qt/PanelWindow.h"

namespace orvane::panel::qt {

namespace {

std::uint32_t atomNamed(xcb_connection_t* connection, const char* name) {
  const auto cookie =
      xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(std::strlen(name)), name);
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
  const std::uint32_t atom = reply ? reply->atom : 0;
  std::free(reply);
  return atom;
}

}  // namespace

WindowManagerClose::WindowManagerClose(PanelWindow& window) : window_(window) {
  const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (!x11 || !x11->connection()) return;
  protocols_ = atomNamed(x11->connection(), "WM_PROTOCOLS");
  deleteWindow_ = atomNamed(x11->connection(), "WM_DELETE_WINDOW");
  if (protocols_ == 0 || deleteWindow_ == 0) return;
  qApp->installNativeEventFilter(this);
  installed_ = true;
}

WindowManagerClose::~WindowManagerClose() {
  if (installed_) qApp->removeNativeEventFilter(this);
}

bool WindowManagerClose::nativeEventFilter(const QByteArray& eventType, void* message,
                                           qintptr* /*result*/) {
  if (eventType != "xcb_generic_event_t" || !window_.operationRunning()) return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE) return false;
  const auto* client = static_cast<const xcb_client_message_event_t*>(message);
  const QWindow* shown = window_.windowHandle();  // none before the window is first shown
  if (client->format != 32 || client->type != protocols_ ||
      client->data.data32[0] != deleteWindow_ || !shown ||
      client->window != static_cast<xcb_window_t>(shown->winId())) {
    return false;
  }
  window_.closeDuringOperation();
  return true;
}

}  // namespace orvane::panel::qt
