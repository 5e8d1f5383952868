#include "panel/win32/Win32Panel.h"

// The labels' text and back colours from the control table and the controller.

namespace orvane::panel::win32 {

LRESULT Win32Panel::labelColours(HDC dc, HWND label) {
  for (const auto& c : children_) {
    if (c.hwnd != label || c.tableRow->kind != ControlKind::Label) continue;
    SetTextColor(dc, c.tableRow->textColour.value_or(GetSysColor(COLOR_WINDOWTEXT)));
    if (c.brush) {
      SetBkColor(dc, c.back);
      return reinterpret_cast<LRESULT>(c.brush);
    }
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
  }
  return DefWindowProcW(window_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                        reinterpret_cast<LPARAM>(label));
}

}  // namespace orvane::panel::win32
