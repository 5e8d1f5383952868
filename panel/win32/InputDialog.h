#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace orvane::panel::win32 {

// The modal input box: a prompt, a one-line text field holding the default text (selected), OK
// and Cancel. Built in memory, so the program needs no dialog resource. Returns the text typed
// (empty when the field was emptied), or nothing when the operator cancels or closes the box.
std::optional<std::wstring> runInputDialog(HWND owner, const std::wstring& prompt,
                                           const std::wstring& title,
                                           const std::wstring& defaultText);

// The control ids inside the box, for tests that play the operator.
inline constexpr int InputDialogPromptId = 100;
inline constexpr int InputDialogEditId = 101;

}  // namespace orvane::panel::win32
