#pragma once

#include <windows.h>

namespace orvane::panel::win32 {

// Dots per inch as the window system reports them. The per-monitor functions of newer Windows
// are looked up at run time, so that the program still starts where they are missing; there the
// system's one DPI stands in for every monitor's.

// The DPI the desktop was set up with (the stock fonts are made for it).
UINT systemDpi();
// The DPI of the monitor the window is on, as the window sees it.
UINT windowDpi(HWND window);
// The window rectangle around a client area of the given size, with the frame drawn at dpi.
RECT frameForClient(SIZE client, DWORD style, DWORD exStyle, UINT dpi);
// The default GUI font of the system at dpi: the stock font's face and point size. The caller
// owns the font.
HFONT createGuiFont(UINT dpi);
// A length drawn in pixels at 96 dpi, at dpi; never below one pixel.
int scaledPixels(int pixelsAt96, UINT dpi);

}  // namespace orvane::panel::win32
