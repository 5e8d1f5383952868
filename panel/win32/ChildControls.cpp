#include "panel/win32/Win32Panel.h"

#include <algorithm>
#include <stdexcept>

#include "panel/ReadoutFitter.h"
#include "host/com/WideText.h"
#include "panel/win32/WindowIds.h"

// The main window's child controls: created from the control table, found by id or command id.

namespace orvane::panel::win32 {

using host::com::toWide;

namespace {

DWORD labelAlignment(TextAlignment alignment) {
  switch (alignment) {
    case TextAlignment::Centre:
      return SS_CENTER;
    case TextAlignment::Right:
      return SS_RIGHT;
    default:
      return SS_LEFT;
  }
}

}  // namespace

void Win32Panel::createControls() {
  const auto table = controlTable();
  children_.reserve(table.size());
  for (const auto& tableRow : table) {
    Child c;
    c.tableRow = &tableRow;
    c.caption = std::string(tableRow.caption);
    c.back = tableRow.backColour.value_or(0);
    c.tooltip = toWide(std::string(tableRow.tooltip));
    if (tableRow.backColour && tableRow.kind == ControlKind::Label)
      c.brush = CreateSolidBrush(c.back);
    children_.push_back(std::move(c));
  }
  // Created in tab order, which is the order of keyboard navigation.
  std::vector<std::size_t> order(children_.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return children_[a].tableRow->tabIndex < children_[b].tableRow->tabIndex;
  });
  for (const std::size_t i : order) {
    Child& c = children_[i];
    const ControlSpec& tableRow = *c.tableRow;
    const wchar_t* cls = nullptr;
    DWORD style = WS_CHILD | WS_VISIBLE;
    switch (tableRow.kind) {
      case ControlKind::PaintingButton:
        cls = L"BUTTON";
        style |= BS_OWNERDRAW | WS_TABSTOP;
        break;
      case ControlKind::PlainButton:
        cls = L"BUTTON";
        style |= BS_PUSHBUTTON | WS_TABSTOP;
        break;
      case ControlKind::Label:
        cls = L"STATIC";
        // A readout paints its fitted reading itself (ReadoutPainting.cpp), right-aligned.
        style |= (isReadout(tableRow.id) ? SS_OWNERDRAW : labelAlignment(tableRow.alignment)) |
                 SS_NOPREFIX | SS_NOTIFY;  // notify: tooltips
        break;
      case ControlKind::DropDownList:
        cls = L"COMBOBOX";
        style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
        break;
      case ControlKind::Timer:
        continue;  // no window: the main window's timer
    }
    // Given its font and its closed list's height by the layout, at the window's DPI.
    const RECT r = controlRect(tableRow);
    c.hwnd = CreateWindowExW(0, cls, toWide(c.caption).c_str(), style, r.left, r.top,
                             r.right - r.left, r.bottom - r.top, window_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(FirstCommandId + i)),
                             instance_, nullptr);
    if (!c.hwnd) throw std::runtime_error("a control of the main window could not be created");
  }
  applyFont();
  layOutControls();
  annotateControls();
}

Win32Panel::Child& Win32Panel::child(ControlId id) {
  for (auto& c : children_) {
    if (c.tableRow->id == id) return c;
  }
  throw std::out_of_range("no control " + controlText(id));
}

const Win32Panel::Child& Win32Panel::child(ControlId id) const {
  return const_cast<Win32Panel*>(this)->child(id);
}

Win32Panel::Child* Win32Panel::childByCommandId(int id) {
  const int index = id - FirstCommandId;
  if (index < 0 || index >= static_cast<int>(children_.size())) return nullptr;
  return &children_[static_cast<std::size_t>(index)];
}

HWND Win32Panel::controlWindow(ControlId id) const {
  return child(id).hwnd;
}
Colour Win32Panel::backColour(ControlId id) const {
  return child(id).back;
}
const std::string& Win32Panel::caption(ControlId id) const {
  return child(id).caption;
}

}  // namespace orvane::panel::win32
