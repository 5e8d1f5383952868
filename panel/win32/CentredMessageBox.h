#pragma once

#include <windows.h>

namespace orvane::panel::win32 {

// MessageBoxW, centred over `owner` when it is on screen: Windows puts a message box at the centre
// of the screen whatever its owner, far from the panel the operator is looking at. Without an owner
// on screen (the address prompt's time, start-up) the box goes where Windows puts it.
int centredMessageBox(HWND owner, const wchar_t* text, const wchar_t* title, UINT style);

}  // namespace orvane::panel::win32
