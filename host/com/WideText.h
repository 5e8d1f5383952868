#pragma once

#include <string>
#include <string_view>

namespace orvane::host::com {

// The program speaks UTF-8; Windows, COM and the window system speak UTF-16. Shared by the COM
// binding and the Win32 panel.
std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);

}  // namespace orvane::host::com
