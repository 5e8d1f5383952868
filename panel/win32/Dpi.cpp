#include "panel/win32/Dpi.h"

#include <algorithm>

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
