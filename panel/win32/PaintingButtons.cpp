#include "panel/win32/Win32Panel.h"

#include "panel/win32/WideText.h"

// The painting buttons are owner-drawn: a face of their own colour, a raised or sunken frame
// and a black caption.

namespace orvane::panel::win32 {

void Win32Panel::drawButton(const DRAWITEMSTRUCT& item) {
  const Child* c = childByCommandId(static_cast<int>(item.CtlID));
  if (!c) return;
  RECT rect = item.rcItem;
  const HBRUSH fill = CreateSolidBrush(c->back);
  FillRect(item.hDC, &rect, fill);
  DeleteObject(fill);
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  DrawEdge(item.hDC, &rect, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  if (pressed) OffsetRect(&rect, 1, 1);
  SetBkMode(item.hDC, TRANSPARENT);
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  SetTextColor(item.hDC, disabled ? GetSysColor(COLOR_GRAYTEXT) : RGB(0, 0, 0));
  const HGDIOBJ oldFont = SelectObject(item.hDC, font_);
  const std::wstring text = toWide(c->caption);
  DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &rect,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(item.hDC, oldFont);
  if (item.itemState & ODS_FOCUS) {
    RECT focus = item.rcItem;
    InflateRect(&focus, -4, -4);
    DrawFocusRect(item.hDC, &focus);
  }
}

}  // namespace orvane::panel::win32
