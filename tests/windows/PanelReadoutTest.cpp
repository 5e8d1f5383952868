// The Win32 panel's readouts and what it tells assistive technology. A readout paints its reading
// fitted to its width in the window's font at the window's DPI, while its window text stays the
// exact caption. Under Wine the annotation service refuses (E_NOTIMPL): the panel must work as
// before, and the state changes are still announced with NotifyWinEvent.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/com/WideText.h"
#include "panel/AccessibleNames.h"
#include "panel/ReadoutFitter.h"
#include "panel/win32/Win32Panel.h"
#include "tests/windows/Check.h"

using orvane::panel::ControlId;
using orvane::panel::ControlName;
using orvane::panel::win32::AccessibilityAnnotations;
using orvane::panel::win32::Win32Panel;
namespace colour = orvane::panel::colour;

namespace {

const char* const Readings[] = {"-5.5E-11V ",    "1.5E+20V ",    "1234.5V ",   "8.99213456789V ",
                                "-0.00312345V ", "-9.0021345V ", "999.5V ",    "-32768V ",
                                "- - V ",        "V ",           "InfinityV ", "NaNV "};

std::string windowTextOf(HWND hwnd) {
  wchar_t text[256] = {};
  GetWindowTextW(hwnd, text, 256);
  std::string narrow;
  for (const wchar_t* c = text; *c; ++c) narrow += static_cast<char>(*c);
  return narrow;
}

int textWidth(HWND control, const std::string& text) {
  const HDC dc = GetDC(control);
  const HGDIOBJ old =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  const std::wstring wide = orvane::host::com::toWide(text);
  SIZE size{};
  GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return size.cx;
}

int roomOf(HWND control) {
  RECT area{};
  GetClientRect(control, &area);
  return area.right - area.left;
}

// Every reading is painted fitted: within the label, and either its caption, a rounding of its
// number (half a unit in the last shown place at most), the mark, or words without a digit.
void checkReadouts(Win32Panel& panel, ControlName label) {
  const HWND hwnd = panel.controlWindow({label});
  for (const char* reading : Readings) {
    panel.setCaption({label}, reading);
    UpdateWindow(hwnd);  // paints now
    const std::string painted = panel.paintedText({label});
    CHECK_EQ(windowTextOf(hwnd), std::string(reading));
    CHECK_EQ(painted, panel.readoutText({label}));
    const bool wide = textWidth(hwnd, reading) > roomOf(hwnd);
    std::printf("    %3u dpi, %d px: \"%s\" %s \"%s\"\n", panel.dpi(), roomOf(hwnd), reading,
                wide ? "too wide, painted" : "fits, painted", painted.c_str());
    if (!wide) {
      CHECK_EQ(painted, std::string(reading));
      continue;
    }
    CHECK(painted != reading);
    if (painted.rfind("###", 0) == 0) continue;
    CHECK(textWidth(hwnd, painted) <= roomOf(hwnd));
    const double value = std::strtod(reading, nullptr);
    if (std::string(reading).find_first_of("0123456789") == std::string::npos ||
        !std::isfinite(value) || painted.find("\xE2\x80\xA6") != std::string::npos) {
      CHECK(painted.find_first_of("0123456789") == std::string::npos);
      continue;
    }
    const std::string number = painted.substr(0, painted.find_first_of("V "));  // the unit may go
    const auto e = number.find('E');
    const std::string mantissa = number.substr(0, e);
    const auto point = mantissa.find('.');
    const int decimals = point == std::string::npos ? 0 : int(mantissa.size() - point - 1);
    const int exponent = e == std::string::npos ? 0 : std::atoi(number.c_str() + e + 1);
    CHECK(std::fabs(std::strtod(number.c_str(), nullptr) - value) <=
          0.5 * std::pow(10.0, exponent - decimals) * (1 + 1e-9));
  }
}

void moveToDensity(Win32Panel& panel, UINT dpi) {
  SIZE size{};
  SendMessageW(panel.window(), WM_GETDPISCALEDSIZE, dpi, reinterpret_cast<LPARAM>(&size));
  RECT window;
  GetWindowRect(panel.window(), &window);
  RECT suggested{window.left, window.top, window.left + size.cx, window.top + size.cy};
  SendMessageW(panel.window(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
               reinterpret_cast<LPARAM>(&suggested));
}

}  // namespace

TEST_CASE("a readout paints its reading fitted at every density; its window text stays exact") {
  Win32Panel panel(GetModuleHandleW(nullptr));
  panel.show(SW_SHOWNOACTIVATE);
  checkReadouts(panel, ControlName::Label4);
  for (UINT dpi : {120u, 144u, 192u}) {
    moveToDensity(panel, dpi);
    REQUIRE(panel.dpi() == dpi);
    checkReadouts(panel, ControlName::Label7);
  }
}

TEST_CASE("the annotation service: where it refuses, the panel works and still announces") {
  Win32Panel panel(GetModuleHandleW(nullptr));
  const auto status = panel.annotations().status();
  std::printf("    annotation service: %s\n",
              status == AccessibilityAnnotations::Status::Working   ? "working"
              : status == AccessibilityAnnotations::Status::Refused ? "refused (E_NOTIMPL?)"
                                                                    : "missing");
  panel.show(SW_SHOWNOACTIVATE);
  const int before = panel.annotations().announcements();
  panel.setBackColor({ControlName::BusA, 5}, colour::Green);
  panel.setBackColor({ControlName::BusA, 5}, colour::Green);  // no change: nothing to announce
  panel.setBackColor({ControlName::LoadB_Button}, colour::Orange);
  panel.setBackColor({ControlName::BusA, 5}, colour::Grey);
  panel.setBackColor({ControlName::Label1}, colour::Blue);  // no on/off state
  CHECK_EQ(panel.annotations().announcements() - before, 3);
  CHECK_EQ(panel.backColour({ControlName::BusA, 5}), colour::Grey);
  CHECK_EQ(panel.backColour({ControlName::LoadB_Button}), colour::Orange);
  panel.setCaption({ControlName::Label5}, "0.25V ");
  CHECK_EQ(panel.annotations().announcements() - before, 4);  // the new value
  CHECK_EQ(windowTextOf(panel.controlWindow({ControlName::Label5})), std::string("0.25V "));
  // The fallback names: the captions, unchanged.
  CHECK_EQ(windowTextOf(panel.controlWindow({ControlName::BusA, 5})), std::string("X5"));
  panel.close();
  CHECK(panel.window() == nullptr);
}
