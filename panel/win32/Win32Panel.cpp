#include "panel/win32/Win32Panel.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>

#include "panel/win32/InputDialog.h"

namespace orvane::panel::win32 {

namespace {

constexpr wchar_t WindowClass[] = L"OrvanePanelWindow";
constexpr UINT_PTR TimerId = 1;
constexpr UINT_PTR CloseRetryTimerId = 2;
constexpr UINT CloseRetryMs = 50;
constexpr int FirstCommandId = 100;
constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int ListDropDownRows = 6;

std::wstring toWide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string toUtf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

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

  const HDC screen = GetDC(nullptr);
  dpiX_ = GetDeviceCaps(screen, LOGPIXELSX);
  dpiY_ = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);

  // Fixed size: the client area is exactly the panel's 8775 x 765 twips.
  RECT frame{0, 0, pixelsX(ClientWidthTwips), pixelsY(ClientHeightTwips)};
  AdjustWindowRectEx(&frame, WindowStyle, FALSE, 0);
  window_ = CreateWindowExW(0, WindowClass, toWide(windowCaption_).c_str(), WindowStyle,
                            CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                            frame.bottom - frame.top, nullptr, nullptr, instance, this);
  if (!window_) throw std::runtime_error("the main window could not be created");
  font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  createControls();
  addTooltips();
}

Win32Panel::~Win32Panel() {
  destroyWindow();
  for (auto& c : children_) {
    if (c.brush) DeleteObject(c.brush);
  }
}

int Win32Panel::pixelsX(int twips) const {
  return MulDiv(twips, dpiX_, 1440);
}
int Win32Panel::pixelsY(int twips) const {
  return MulDiv(twips, dpiY_, 1440);
}

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
    int height = pixelsY(tableRow.height);
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
        style |= labelAlignment(tableRow.alignment) | SS_NOPREFIX | SS_NOTIFY;  // notify: tooltips
        break;
      case ControlKind::DropDownList:
        cls = L"COMBOBOX";
        style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
        height += ListDropDownRows * pixelsY(240);  // the height includes the open list
        break;
      case ControlKind::Timer:
        continue;  // no window: the main window's timer
    }
    c.hwnd = CreateWindowExW(0, cls, toWide(c.caption).c_str(), style, pixelsX(tableRow.left),
                             pixelsY(tableRow.top), pixelsX(tableRow.width), height, window_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(FirstCommandId + i)),
                             instance_, nullptr);
    if (!c.hwnd) throw std::runtime_error("a control of the main window could not be created");
    SendMessageW(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    if (tableRow.kind == ControlKind::DropDownList) {
      // The closed list as tall as the table says: the selection field plus its frame.
      SendMessageW(c.hwnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                   std::max(pixelsY(tableRow.height) - 6, 8));
    }
  }
}

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

void Win32Panel::attach(Dispatcher& dispatcher) {
  dispatcher_ = &dispatcher;
  setRaisedEvents(&dispatcher);
}

int Win32Panel::run(int showCommand) {
  if (load()) {
    show(showCommand);
    messageLoop();
  }
  return exitCode();
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
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  inLoop_ = false;
  return code;
}

int Win32Panel::exitCode() const {
  if (fatal_) return 3;
  if (dispatcher_ && dispatcher_->failure()) return 1;
  return 0;
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
  PostQuitMessage(3);
  return 0;
}

LRESULT Win32Panel::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_DRAWITEM:
      drawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_CTLCOLORSTATIC:
      return labelColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_TIMER:
      if (wParam == TimerId && timerInterval_ > 0) send({EventKind::TimerTick});
      if (wParam == CloseRetryTimerId) {
        KillTimer(window_, CloseRetryTimerId);
        onClose();
      }
      return 0;
    case WM_CLOSE:
      onClose();
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

void Win32Panel::onClose() {
  if (closed_ || endedAtOnce_ || (dispatcher_ && dispatcher_->runEnded())) {
    destroyWindow();
    quit();
    return;
  }
  if (dispatcher_ && !dispatcher_->handle({EventKind::Unload})) {
    // An operation is running (the close came in while a host call pumped messages): the
    // operator's close is not lost but tried again once the operation has finished.
    SetTimer(window_, CloseRetryTimerId, CloseRetryMs, nullptr);
    return;
  }
  closed_ = true;
  destroyWindow();
  quit();
}

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

// --- view operations ---

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

void Win32Panel::setBackColor(ControlId control, Colour colour) {
  Child& c = child(control);
  if (c.back == colour) return;  // no repaint for an unchanged colour
  c.back = colour;
  if (c.brush) {
    DeleteObject(c.brush);
    c.brush = CreateSolidBrush(colour);
  }
  if (c.hwnd) {
    InvalidateRect(c.hwnd, nullptr, FALSE);
    ++repaintRequests_;
  }
}

void Win32Panel::setEnabled(ControlId control, bool enabled) {
  Child& c = child(control);
  if (c.enabled == enabled) return;
  c.enabled = enabled;
  if (c.hwnd) EnableWindow(c.hwnd, enabled ? TRUE : FALSE);
}

void Win32Panel::setCaption(ControlId control, const std::string& text) {
  Child& c = child(control);
  if (c.caption == text) return;
  c.caption = text;
  if (c.hwnd) {
    SetWindowTextW(c.hwnd, toWide(text).c_str());
    ++repaintRequests_;
  }
}

void Win32Panel::setWindowCaption(const std::string& text) {
  if (windowCaption_ == text) return;
  windowCaption_ = text;
  if (window_) SetWindowTextW(window_, toWide(text).c_str());
}

void Win32Panel::addListEntry(const std::string& text, std::int16_t index) {
  if (index < 0 || index > listCount_) {
    throw std::out_of_range("list index " + std::to_string(index) + " out of range");
  }
  const HWND list = child({ControlName::Mode_Droplist}).hwnd;
  if (list) {
    SendMessageW(list, CB_INSERTSTRING, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(toWide(text).c_str()));
  }
  ++listCount_;
  if (listIndex_ >= index) ++listIndex_;  // the selection stays on its entry
  if (list && listIndex_ >= 0) SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(listIndex_), 0);
}

void Win32Panel::setListIndex(std::int16_t index) {
  if (index < -1 || index >= listCount_) {
    throw std::out_of_range("list index " + std::to_string(index) + " out of range");
  }
  if (index == listIndex_) return;  // the same entry again raises nothing
  listIndex_ = index;
  if (const HWND list = child({ControlName::Mode_Droplist}).hwnd) {
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);  // sends no CBN_SELCHANGE
  }
  if (index >= 0 && raisedEvents()) raisedEvents()->listClickRaised();
}

void Win32Panel::setTimerInterval(int milliseconds) {
  timerInterval_ = milliseconds;
  if (!window_) return;
  if (milliseconds > 0) {
    SetTimer(window_, TimerId, static_cast<UINT>(milliseconds), nullptr);
  } else {
    KillTimer(window_, TimerId);
  }
}

void Win32Panel::close() {
  if (closed_) return;
  closed_ = true;
  if (raisedEvents()) raisedEvents()->unloadRaised();
  destroyWindow();
  quit();
}

// --- platform services ---

std::string Win32Panel::inputBox(const std::string& prompt, const std::string& title,
                                 const std::string& defaultText) {
  return toUtf8(runInputDialog(owner(), toWide(prompt), toWide(title), toWide(defaultText)));
}

std::int16_t Win32Panel::messageBox(const std::string& text, std::int16_t style,
                                    const std::string& title) {
  const int answer =
      MessageBoxW(owner(), toWide(text).c_str(), toWide(title).c_str(), static_cast<UINT>(style));
  return static_cast<std::int16_t>(answer == 0 ? IDCANCEL : answer);
}

void Win32Panel::endAtOnce() {
  endedAtOnce_ = true;
  if (window_) {
    KillTimer(window_, TimerId);
    ShowWindow(window_, SW_HIDE);
  }
  quit();
}

// --- helpers ---

void Win32Panel::send(ControlEvent event) {
  if (dispatcher_) dispatcher_->handle(event);
}

void Win32Panel::destroyWindow() {
  if (!window_) return;
  KillTimer(window_, TimerId);
  KillTimer(window_, CloseRetryTimerId);
  DestroyWindow(window_);  // WM_NCDESTROY clears window_
  window_ = nullptr;
}

// Ends the message loop; before it runs (during start-up) there is nothing to end.
void Win32Panel::quit() {
  if (inLoop_) PostQuitMessage(0);
}

// Boxes belong to the window once it is on screen; during start-up they stand alone.
HWND Win32Panel::owner() const {
  return window_ && IsWindowVisible(window_) ? window_ : nullptr;
}

}  // namespace orvane::panel::win32
