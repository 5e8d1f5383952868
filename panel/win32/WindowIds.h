#pragma once

#include <windows.h>

namespace orvane::panel::win32 {

// What the main window's parts share: its style, its timers and the command ids of its controls.
// The main window's class: a second panel looks for the first one's window by it.
inline constexpr wchar_t WindowClass[] = L"OrvanePanelWindow";
inline constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
inline constexpr UINT_PTR TimerId = 1;
inline constexpr UINT_PTR FollowTimerId = 3;  // --follow-ms
inline constexpr int FirstCommandId = 100;    // the command id is 100 + the position in the table

}  // namespace orvane::panel::win32
