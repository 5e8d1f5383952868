#include "app/windows/CommandLineReport.h"

#include <windows.h>

#include "AppVersion.h"
#include "host/com/WideText.h"

namespace orvane::app {

namespace {

constexpr wchar_t BoxTitle[] = L"Orvane I/O Switcher";
constexpr wchar_t VersionBoxText[] = L"" ORVANE_PRODUCT_NAME "\r\nVersion " ORVANE_VERSION_TEXT;

// A GUI program's standard handles are a console (which it cannot write to without attaching) or
// nothing at all unless the caller redirected them.
bool writeIfRedirected(DWORD which, const std::string& text) {
  const HANDLE output = GetStdHandle(which);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) return false;
  const DWORD type = GetFileType(output);
  if (type != FILE_TYPE_DISK && type != FILE_TYPE_PIPE) return false;
  DWORD written = 0;
  WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  return true;
}

// The box shows lines as the window system breaks them: CR LF.
std::wstring boxText(const std::string& text) {
  std::string crlf;
  for (const char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return host::com::toWide(crlf);
}

// On standard error when redirected, otherwise in a box under the heading.
int report(std::string text, ExitStatus exitStatus, const std::string& heading) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  if (!writeIfRedirected(STD_ERROR_HANDLE, "orvane-panel: " + text + "\n")) {
    MessageBoxW(nullptr, boxText(heading + "\n\n" + text).c_str(), BoxTitle, MB_ICONERROR);
  }
  return exitStatus;
}

}  // namespace

int reportCommandLine(const CommandLine& read) {
  if (read.textIsError)
    return report(read.text, read.exitStatus, "The command line has a mistake.");
  if (!writeIfRedirected(STD_OUTPUT_HANDLE, read.text)) {
    MessageBoxW(nullptr, read.isVersion ? VersionBoxText : boxText(read.text).c_str(), BoxTitle,
                MB_OK | MB_ICONINFORMATION);
  }
  return read.exitStatus;
}

int reportFailedStart(const std::string& text, ExitStatus exitStatus) {
  return report(text, exitStatus, "The program could not start.");
}

}  // namespace orvane::app
