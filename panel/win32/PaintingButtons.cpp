#include "panel/win32/Win32Panel.h"

#include "panel/win32/Dpi.h"
#include "host/com/WideText.h"

// The painting buttons are owner-drawn: a face of their own colour, a raised or sunken frame
// and a black caption, all drawn for the window's DPI.

namespace orvane::panel::win32 {

using host::com::toWide;

namespace {

// The raised (or, pressed, sunken) 3-D frame, each of its two lines as thick as one pixel at 96 dpi
// is at the window's DPI.
void drawFrame(HDC dc, RECT rect, bool pressed, UINT dpi) {
  const int line = scaledPixels(1, dpi);
  for (const UINT edge :
       {pressed ? BDR_SUNKENOUTER : BDR_RAISEDOUTER, pressed ? BDR_SUNKENINNER : BDR_RAISEDINNER}) {
    for (int i = 0; i < line; ++i) DrawEdge(dc, &rect, edge, BF_RECT | BF_ADJUST);
  }
}

}  // namespace

void Win32Panel::drawButton(const DRAWITEMSTRUCT& item) {
  const Child* c = childByCommandId(static_cast<int>(item.CtlID));
  if (!c) return;
  RECT rect = item.rcItem;
  const HBRUSH fill = CreateSolidBrush(c->back);
  FillRect(item.hDC, &rect, fill);
  DeleteObject(fill);
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  drawFrame(item.hDC, rect, pressed, dpi_);
  if (pressed) OffsetRect(&rect, scaledPixels(1, dpi_), scaledPixels(1, dpi_));
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
    InflateRect(&focus, -scaledPixels(4, dpi_), -scaledPixels(4, dpi_));
    DrawFocusRect(item.hDC, &focus);
  }
}
}  // namespace orvane::panel::win32
