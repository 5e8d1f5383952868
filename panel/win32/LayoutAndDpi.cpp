#include "panel/win32/Win32Panel.h"

#include <algorithm>

#include "panel/win32/Dpi.h"
#include "panel/win32/WindowIds.h"

// Where every control goes, in twips scaled to the window's DPI, and the DPI itself.

// Where the window and its controls sit at the window's DPI, and how they follow a new DPI. Every
// edge is computed from twips on its own, so that neighbours whose twips overlap by one pixel at
// 96 dpi keep a shared border at every density.

namespace orvane::panel::win32 {

namespace {

constexpr int ListDropDownRows = 6;
constexpr int ListRowTwips = 240;
constexpr int ListFramePixels = 6;  // the closed list's frame around its selection field

}  // namespace

int Win32Panel::pixelsX(int twips) const {
  return MulDiv(twips, static_cast<int>(dpi_), 1440);
}
int Win32Panel::pixelsY(int twips) const {
  return MulDiv(twips, static_cast<int>(dpi_), 1440);
}

RECT Win32Panel::controlRect(const ControlSpec& tableRow) const {
  RECT r{pixelsX(tableRow.left), pixelsY(tableRow.top), pixelsX(tableRow.left + tableRow.width),
         pixelsY(tableRow.top + tableRow.height)};
  // A drop-down list's window includes its open list.
  if (tableRow.kind == ControlKind::DropDownList)
    r.bottom += ListDropDownRows * pixelsY(ListRowTwips);
  return r;
}

SIZE Win32Panel::windowSizeAt(UINT dpi) const {
  const SIZE client{MulDiv(ClientWidthTwips, static_cast<int>(dpi), 1440),
                    MulDiv(ClientHeightTwips, static_cast<int>(dpi), 1440)};
  const RECT frame = frameForClient(client, WindowStyle, 0, dpi);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

void Win32Panel::applyFont() {
  for (const auto& c : children_) {
    if (c.hwnd) SendMessageW(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  }
}

void Win32Panel::layOutControls() {
  if (!window_) return;
  for (const auto& c : children_) {
    if (!c.hwnd) continue;
    const RECT r = controlRect(*c.tableRow);
    if (c.tableRow->kind == ControlKind::DropDownList) {
      // The closed list as tall as the table says: the selection field plus its frame.
      const int closed = pixelsY(c.tableRow->top + c.tableRow->height) - pixelsY(c.tableRow->top);
      SendMessageW(c.hwnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                   std::max(closed - ListFramePixels, 8));
    }
    SetWindowPos(c.hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// The client area is exactly 8775 x 765 twips whatever the frame turns out to be: where the
// frame is not as thick as asked for (a DPI the system does not draw frames at), the window grows
// or shrinks by the difference.
void Win32Panel::fitClientArea() {
  if (!window_) return;
  RECT client;
  GetClientRect(window_, &client);
  const int dx = pixelsX(ClientWidthTwips) - client.right;
  const int dy = pixelsY(ClientHeightTwips) - client.bottom;
  if (dx == 0 && dy == 0) return;
  RECT outer;
  GetWindowRect(window_, &outer);
  SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left + dx, outer.bottom - outer.top + dy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The window was moved to a monitor of another density: take the place the system suggests and
// lay everything out again for the new DPI.
void Win32Panel::onDpiChanged(UINT dpi, const RECT& suggested) {
  if (dpi == 0 || !window_) return;
  dpi_ = dpi;
  const HFONT previous = font_;
  font_ = createGuiFont(dpi_);
  SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  applyFont();
  layOutControls();
  fitClientArea();
  if (previous) DeleteObject(previous);
  InvalidateRect(window_, nullptr, TRUE);
}

}  // namespace orvane::panel::win32

namespace orvane::panel::win32 {

namespace {

// Looks a function of user32 up by name; null where this Windows has no such function.
template <typename Function>
Function user32Function(const char* name) {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (!user32) return nullptr;
  // Through void (*)(), which converts to any function pointer type without a warning.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(user32, name)));
}

using GetDpiForSystemFn = UINT(WINAPI*)();
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

UINT screenDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace

UINT systemDpi() {
  static const auto getDpiForSystem = user32Function<GetDpiForSystemFn>("GetDpiForSystem");
  if (getDpiForSystem) return getDpiForSystem();
  return screenDpi();
}

UINT windowDpi(HWND window) {
  static const auto getDpiForWindow = user32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (getDpiForWindow && window) {
    if (const UINT dpi = getDpiForWindow(window); dpi != 0) return dpi;
  }
  return systemDpi();
}

RECT frameForClient(SIZE client, DWORD style, DWORD exStyle, UINT dpi) {
  static const auto adjustForDpi =
      user32Function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
  RECT frame{0, 0, client.cx, client.cy};
  if (!adjustForDpi || !adjustForDpi(&frame, style, FALSE, exStyle, dpi)) {
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  }
  return frame;
}

HFONT createGuiFont(UINT dpi) {
  LOGFONTW font{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  // The stock font's height is in pixels at the system's DPI.
  font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(systemDpi()));
  font.lfWidth = 0;
  const HFONT created = CreateFontIndirectW(&font);
  return created ? created : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

int scaledPixels(int pixelsAt96, UINT dpi) {
  return std::max(1, MulDiv(pixelsAt96, static_cast<int>(dpi), 96));
}

}  // namespace orvane::panel::win32
