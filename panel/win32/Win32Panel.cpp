#include "panel/win32/Win32Panel.h"

#include <windowsx.h>

#include <commctrl.h>
#include <algorithm>
#include <stdexcept>

#include "host/com/WideText.h"
#include "panel/ReadoutFitter.h"
#include "panel/win32/Dpi.h"
#include "panel/win32/WindowIds.h"

// The window, its child controls and tooltips, and its messages.

// The main window: its creation, its message loop and how it answers the window system's
// messages.

namespace orvane::panel::win32 {

using host::com::toWide;

namespace {

void registerWindowClass(HINSTANCE instance, int iconResource, WNDPROC proc) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = WindowClass;
  if (iconResource != 0) {
    wc.hIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(iconResource), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
    wc.hIconSm = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(iconResource), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
  }
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    throw std::runtime_error("the main window's class could not be registered");
  }
}

}  // namespace

Win32Panel::Win32Panel(HINSTANCE instance, int iconResource)
    : instance_(instance), windowCaption_(WindowCaptionAtLoad) {
  INITCOMMONCONTROLSEX common{sizeof common, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&common);
  registerWindowClass(instance, iconResource, &Win32Panel::windowProc);

  // Made at the system's DPI, then laid out again at its monitor's, which may differ.
  dpi_ = systemDpi();
  const SIZE size = windowSizeAt(dpi_);
  window_ =
      CreateWindowExW(0, WindowClass, toWide(windowCaption_).c_str(), WindowStyle, CW_USEDEFAULT,
                      CW_USEDEFAULT, size.cx, size.cy, nullptr, nullptr, instance, this);
  if (!window_) throw std::runtime_error("the main window could not be created");
  dpi_ = windowDpi(window_);
  font_ = createGuiFont(dpi_);
  createControls();
  addTooltips();
  fitClientArea();
}

Win32Panel::~Win32Panel() {
  destroyWindow();
  for (auto& c : children_) {
    if (c.brush) DeleteObject(c.brush);
  }
  if (font_) DeleteObject(font_);
}

void Win32Panel::attach(Dispatcher& dispatcher) {
  dispatcher_ = &dispatcher;
  setRaisedEvents(&dispatcher);
}

void Win32Panel::run(int showCommand, const std::function<void()>& shown) {
  if (load()) {
    show(showCommand);
    if (shown) shown();
    messageLoop();
  }
}

bool Win32Panel::load() {
  send({EventKind::Load});
  return !fatal_ && window_ && !closed_ && !endedAtOnce_ &&
         !(dispatcher_ && dispatcher_->runEnded());
}

void Win32Panel::show(int showCommand) {
  if (!window_) return;
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
  shown_ = true;
  if (followPeriod_ > 0) SetTimer(window_, FollowTimerId, followPeriod_, nullptr);
}

int Win32Panel::messageLoop() {
  inLoop_ = true;
  MSG message;
  int code = 0;
  while (true) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      code = static_cast<int>(message.wParam);
      break;
    }
    if (got == -1) break;
    if (window_ && IsDialogMessageW(window_, &message)) continue;  // Tab between the controls
    if (history_ && history_->takeDialogMessage(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  inLoop_ = false;
  return code;
}

// --- window messages ---

LRESULT CALLBACK Win32Panel::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Win32Panel*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  // Nothing may unwind through the window system: an unexpected error ends the run.
  try {
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      self->window_ = nullptr;
      for (auto& c : self->children_) c.hwnd = nullptr;
      return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (!self->window_) self->window_ = hwnd;  // during CreateWindowEx
    return self->handle(message, wParam, lParam);
  } catch (const std::exception& error) {
    self->fatal_ = error.what();
  } catch (...) {
    self->fatal_ = "unknown error";
  }
  MessageBoxW(nullptr,
              toWide("The program met an unexpected error.\r\n\r\n" + *self->fatal_).c_str(),
              toWide(std::string(WindowCaptionAtLoad)).c_str(), MB_ICONERROR);
  PostQuitMessage(0);
  return 0;
}

LRESULT Win32Panel::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item.CtlType == ODT_STATIC) {
        drawReadout(item);
      } else {
        drawButton(item);
      }
      return TRUE;
    }
    case WM_CTLCOLORSTATIC:
      return labelColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_TIMER:
      if (wParam == TimerId && timerInterval_ > 0) send({EventKind::TimerTick});
      if (wParam == FollowTimerId) send({EventKind::FollowTick});
      return 0;
    case WM_CLOSE:
      onClose();
      return 0;
    case WM_CONTEXTMENU:  // from a control too: its own procedure hands it on to us
      onContextMenu(lParam);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;  // the session may end; the unload comes with WM_ENDSESSION
    case WM_ENDSESSION:
      // Log-off, shut-down, or an installer closing the program (ENDSESSION_CLOSEAPP): the work
      // is done before this returns, as the process ends right after.
      if (wParam && sessionEnding_) sessionEnding_();
      return 0;
    case WM_GETDPISCALEDSIZE:
      // Asked before a move to a monitor of another density: the size that keeps the client area.
      *reinterpret_cast<SIZE*>(lParam) = windowSizeAt(static_cast<UINT>(wParam));
      return TRUE;
    case WM_DPICHANGED:
      onDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    default:
      return DefWindowProcW(window_, message, wParam, lParam);
  }
}

void Win32Panel::onCommand(WORD id, WORD code, HWND from) {
  Child* c = childByCommandId(id);
  if (!c || !from) return;
  if (c->tableRow->kind == ControlKind::DropDownList) {
    if (code != CBN_SELCHANGE) return;
    const auto chosen = static_cast<std::int16_t>(SendMessageW(from, CB_GETCURSEL, 0, 0));
    if (chosen == listIndex_ || chosen < 0) return;
    const std::int16_t previous = listIndex_;
    listIndex_ = chosen;
    // A choice that cannot be handled now (an operation is running) is undone, so that the list
    // never shows a mode the controller has not applied.
    if (!dispatcher_ || !dispatcher_->handle({EventKind::ModeClick})) {
      listIndex_ = previous;
      SendMessageW(from, CB_SETCURSEL, static_cast<WPARAM>(previous), 0);
    }
    return;
  }
  // An owner-drawn button reports the second click of a quick double click as BN_DOUBLECLICKED
  // and not as a click; it is a click all the same, as it is on the plain buttons, so that two
  // quick clicks on a channel switch it twice. Focus changes are ignored.
  const bool painted = c->tableRow->kind == ControlKind::PaintingButton;
  if (code != BN_CLICKED && !(painted && code == BN_DOUBLECLICKED)) return;
  // A disabled button raises no click, also when one reaches us anyway (a BM_CLICK sent to it, an
  // accessibility tool): the button proc itself does not check.
  if (!c->enabled) return;
  if (const auto event = clickEventOf(c->tableRow->id)) send(*event);
}

// During an operation (the close came in while a host call pumped messages) the dispatcher keeps
// the close and closes the window through the view once the operation has ended.
void Win32Panel::onClose() {
  const bool running = !closed_ && !endedAtOnce_ && dispatcher_ && !dispatcher_->runEnded();
  if (running && !dispatcher_->handle({EventKind::Unload})) return;  // kept
  closed_ = true;
  destroyWindow();
  quit();
}

// The presets file is read as the menu opens, for the names to recall.
void Win32Panel::onContextMenu(LPARAM where) {
  if (!presets_ || !window_ || closed_ || (dispatcher_ && dispatcher_->busy())) return;
  POINT at{GET_X_LPARAM(where), GET_Y_LPARAM(where)};
  if (where == -1) {  // Shift+F10 or the menu key: at the window's corner
    at = {0, 0};
    ClientToScreen(window_, &at);
  }
  // The three submenus list every preset; an item's id names the submenu and the preset.
  const auto presets = presets_->menuPresets();
  const auto count = static_cast<UINT>(presets.size());
  constexpr UINT StoreId = 1;
  const UINT firstRecall = 2;
  const UINT firstRename = firstRecall + count;
  const UINT firstDelete = firstRename + count;
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, StoreId, toWide(StorePresetCaption).c_str());
  const auto submenu = [&](const char* caption, UINT first, bool recalling) {
    HMENU list = CreatePopupMenu();
    for (UINT i = 0; i < count; ++i) {
      const auto& preset = presets[i];
      const std::string text = recalling ? recallItemText(preset) : menuItemText(preset.name);
      AppendMenuW(list, MF_STRING | (recalling && preset.inForce ? MF_CHECKED : 0U), first + i,
                  toWide(text).c_str());
    }
    AppendMenuW(menu, MF_POPUP | (count == 0 ? MF_GRAYED : 0U), reinterpret_cast<UINT_PTR>(list),
                toWide(caption).c_str());
  };
  submenu(RecallPresetCaption, firstRecall, true);
  submenu(RenamePresetCaption, firstRename, false);
  submenu(DeletePresetCaption, firstDelete, false);
  const UINT historyId = firstDelete + count;
  if (dcHistory_) {
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, historyId, toWide(DcHistoryMenuCaption).c_str());
  }
  const auto chosen = static_cast<UINT>(
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr));
  DestroyMenu(menu);  // and the submenus with it
  if (chosen == StoreId) {
    presets_->storePreset();
  } else if (chosen >= firstRecall && chosen < firstRename) {
    presets_->recallPreset(presets[chosen - firstRecall].name);
  } else if (chosen >= firstRename && chosen < firstDelete) {
    presets_->renamePreset(presets[chosen - firstRename].name);
  } else if (chosen >= firstDelete && chosen < firstDelete + count) {
    presets_->deletePreset(presets[chosen - firstDelete].name);
  } else if (dcHistory_ && chosen == historyId) {
    openDcHistory();
  }
}

void Win32Panel::openDcHistory() {
  if (!dcHistory_ || !window_ || closed_) return;
  if (!history_) {
    history_ = std::make_unique<DcHistoryWindow>(instance_, window_, *dcHistory_);
    showCaption();
  }
  history_->show();
}

// --- helpers ---

void Win32Panel::send(ControlEvent event) {
  if (dispatcher_) dispatcher_->handle(event);
}

void Win32Panel::destroyWindow() {
  if (!window_) return;
  KillTimer(window_, TimerId);
  KillTimer(window_, FollowTimerId);
  history_.reset();  // an owned window goes with its owner
  annotations_.clear();
  DestroyWindow(window_);  // WM_NCDESTROY clears window_
  window_ = nullptr;
}

// Ends the message loop; before it runs (during start-up) there is nothing to end.
void Win32Panel::quit() {
  if (inLoop_) PostQuitMessage(0);
}

}  // namespace orvane::panel::win32

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

// The tooltips of the controls whose table row has one.

namespace orvane::panel::win32 {

void Win32Panel::addTooltips() {
  tooltips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_,
                              nullptr, instance_, nullptr);
  if (!tooltips_) return;  // the panel works without them
  for (auto& c : children_) {
    if (!c.hwnd || c.tooltip.empty()) continue;
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by every version of the common controls
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(c.hwnd);
    tool.lpszText = c.tooltip.data();
    SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

}  // namespace orvane::panel::win32
