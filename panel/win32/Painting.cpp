#include "panel/win32/Win32Panel.h"

#include "host/com/WideText.h"
#include "panel/AccessibleNames.h"
#include "panel/ReadoutFitter.h"
#include "panel/win32/Dpi.h"

// How the panel paints: the painting buttons, the DC readouts and the labels' colours.

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

// The DC readouts paint themselves (owner-drawn statics): the controller's caption fitted to the
// label's width in the window's font at its DPI, where a plain static would clip a long reading
// to its last characters. The window text stays the exact caption. And what assistive technology
// is told about every control.

namespace orvane::panel::win32 {

using host::com::toWide;

std::string Win32Panel::fittedReadout(HDC dc, const Child& c) const {
  RECT area{};
  GetClientRect(c.hwnd, &area);
  const LONG room = area.right - area.left;
  const HGDIOBJ oldFont = SelectObject(dc, font_);
  const auto fits = [&](std::string_view text) {
    const std::wstring wide = toWide(std::string(text));
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    return size.cx <= room;
  };
  std::string fitted = fitReadout(c.caption, fits);
  SelectObject(dc, oldFont);
  return fitted;
}

void Win32Panel::drawReadout(const DRAWITEMSTRUCT& item) {
  Child* c = childByCommandId(static_cast<int>(item.CtlID));
  if (!c) return;
  RECT rect = item.rcItem;
  FillRect(item.hDC, &rect, c->brush ? c->brush : GetSysColorBrush(COLOR_BTNFACE));
  c->painted = fittedReadout(item.hDC, *c);
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, c->tableRow->textColour.value_or(GetSysColor(COLOR_WINDOWTEXT)));
  const HGDIOBJ oldFont = SelectObject(item.hDC, font_);
  const std::wstring text = toWide(c->painted);
  // At the top and to the right, where a right-aligned static puts its text.
  DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &rect,
            DT_RIGHT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(item.hDC, oldFont);
}

std::string Win32Panel::readoutText(ControlId id) const {
  const Child& c = child(id);
  if (!c.hwnd) return {};
  const HDC dc = GetDC(c.hwnd);
  std::string fitted = fittedReadout(dc, c);
  ReleaseDC(c.hwnd, dc);
  return fitted;
}

std::string Win32Panel::paintedText(ControlId id) const {
  return child(id).painted;
}

void Win32Panel::annotateControls() {
  for (const Child& c : children_) {
    if (!c.hwnd) continue;
    annotations_.name(c.hwnd, toWide(accessibleName(c.tableRow->id)));
    if (showsOnOffState(c.tableRow->id)) annotations_.onOffState(c.hwnd, isOnColour(c.back), false);
    if (isReadout(c.tableRow->id)) annotations_.value(c.hwnd, toWide(c.caption), false);
  }
}

}  // namespace orvane::panel::win32

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
