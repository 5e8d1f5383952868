#include "app/windows/VersionReport.h"

#include <windows.h>

#include <string>

#include "AppVersion.h"

namespace orvane::app {

namespace {

constexpr char VersionLine[] = "orvane-panel " ORVANE_VERSION_TEXT "\n";
constexpr wchar_t BoxTitle[] = L"Orvane I/O Switcher";
constexpr wchar_t BoxText[] = L"" ORVANE_PRODUCT_NAME "\r\nVersion " ORVANE_VERSION_TEXT;

// A GUI program's standard output is a console (which it cannot write to without attaching) or
// nothing at all unless the caller redirected it.
bool outputIsRedirected(HANDLE output) {
  if (output == nullptr || output == INVALID_HANDLE_VALUE) return false;
  const DWORD type = GetFileType(output);
  return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
}

}  // namespace

int reportVersion() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (outputIsRedirected(output)) {
    const std::string line = VersionLine;
    DWORD written = 0;
    const bool ok = WriteFile(output, line.data(), static_cast<DWORD>(line.size()), &written,
                              nullptr) != FALSE &&
                    written == line.size();
    return ok ? 0 : 1;
  }
  MessageBoxW(nullptr, BoxText, BoxTitle, MB_OK | MB_ICONINFORMATION);
  return 0;
}

}  // namespace orvane::app
