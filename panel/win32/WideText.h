#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace orvane::panel::win32 {

// The controller speaks UTF-8, the window system UTF-16.
std::wstring toWide(const std::string& utf8);
std::string toUtf8(const std::wstring& wide);

}  // namespace orvane::panel::win32
