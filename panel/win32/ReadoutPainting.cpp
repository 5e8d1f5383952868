#include "panel/AccessibleNames.h"
#include "panel/ReadoutFitter.h"
#include "host/com/WideText.h"
#include "panel/win32/Win32Panel.h"

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
