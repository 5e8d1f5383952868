// The DC history window on the Win32 panel: opened from the context menu as the keyboard opens it,
// titled after the main window, and its chart drawn where its own axis says (a +9 V trace at the
// row of 9 V, the guard lines at +6 and -6 V), at 96 dpi and again after a move to 144 dpi.
#include <string>

#include "panel/win32/Win32Panel.h"
#include "tests/support/FixedDcHistory.h"
#include "tests/windows/Check.h"

using namespace orvane::panel;
using orvane::panel::win32::DcHistoryWindow;
using orvane::panel::win32::Win32Panel;

namespace {

std::wstring titleOf(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

// Lets the window system map and paint what is pending.
void pump() {
  const DWORD until = GetTickCount() + 300;
  MSG message;
  while (GetTickCount() < until) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(10);
  }
}

// The guard lines on their rows and the trace within a pixel of the row of 9 V (its pen is two
// pixels wide at 96 dpi, three at 144), at a column halfway along the chart.
void checkChartRows(DcHistoryWindow& history) {
  pump();
  RedrawWindow(history.window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  const DcPlot& plot = history.lastPlot();
  const RECT area = history.lastArea();
  const int column = area.left + plot.width / 2;
  const HDC dc = GetDC(history.window());
  for (const double guard : {GuardVolts, -GuardVolts}) {
    CHECK_EQ(GetPixel(dc, column, area.top + plot.rowOf(guard)), COLORREF{GuardColour});
  }
  const int row = area.top + plot.rowOf(9.0);
  bool traced = false;
  for (int y = row - 1; y <= row + 1; ++y) {
    traced = traced || GetPixel(dc, column, y) == COLORREF{DcTraceStyles[0].colour};
  }
  CHECK(traced);
  CHECK(GetPixel(dc, column, row - 5) != COLORREF{DcTraceStyles[0].colour});
  ReleaseDC(history.window(), dc);
  std::printf("    %u dpi: guard lines at rows %d and %d, 9 V at row %d of a %d-row chart\n",
              history.dpi(), plot.rowOf(GuardVolts), plot.rowOf(-GuardVolts), plot.rowOf(9.0),
              plot.height);
}

}  // namespace

TEST_CASE("the DC history opens from the context menu and draws at the rows its axis gives") {
  Win32Panel panel(GetModuleHandleW(nullptr));
  orvane::testing::FixedDcHistory fixed;
  panel.offerPresets(fixed);
  panel.offerDcHistory(fixed);
  panel.setWindowCaption("Orvane I/O Switcher 0");
  panel.show(SW_SHOWNORMAL);
  // Shift+F10's menu, its last item chosen from the keyboard as the menu's own loop reads it.
  PostMessageW(panel.window(), WM_KEYDOWN, VK_UP, 0);
  PostMessageW(panel.window(), WM_KEYDOWN, VK_RETURN, 0);
  SendMessageW(panel.window(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(panel.window()), -1);
  DcHistoryWindow* history = panel.dcHistoryWindow();
  REQUIRE(history != nullptr);
  CHECK(IsWindowVisible(history->window()));
  CHECK(titleOf(history->window()) == L"DC history - Orvane I/O Switcher 0");
  CHECK(titleOf(history->legendEntry(0)) == L"Bus A +ve: 9.000 V");
  checkChartRows(*history);
  const int heightAt96 = history->lastPlot().height;

  RECT window;
  GetWindowRect(history->window(), &window);
  RECT suggested{window.left, window.top, window.left + (window.right - window.left) * 3 / 2,
                 window.top + (window.bottom - window.top) * 3 / 2};
  SendMessageW(history->window(), WM_DPICHANGED, MAKEWPARAM(144, 144),
               reinterpret_cast<LPARAM>(&suggested));
  CHECK_EQ(history->dpi(), 144u);
  checkChartRows(*history);
  CHECK(history->lastPlot().height > heightAt96 * 4 / 3);

  SendMessageW(history->window(), WM_COMMAND, IDCANCEL, 0);  // what Escape sends
  CHECK(!IsWindowVisible(history->window()));
}
