#include "panel/win32/Win32CallWaiter.h"

#include <algorithm>
#include <utility>

#include "host/com/WideText.h"
#include "panel/win32/CentredMessageBox.h"
#include "panel/win32/Dpi.h"

namespace orvane::panel::win32 {

namespace {

using host::com::toWide;

// The waiter whose box is open on this thread, for the box's timer.
thread_local Win32CallWaiter* waiterWithOpenBox = nullptr;

// Runs whatever paint and sent messages have arrived; posted messages (operator input, timers,
// the close box) stay queued. The bound keeps a window that never validates from holding us here.
void paintAndAnswerSentMessages() {
  MSG message;
  for (int i = 0; i < 64; ++i) {
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE)) break;
    DispatchMessageW(&message);
  }
}

// Milliseconds from now until `when`, rounded up, for a wait that must not end early.
DWORD millisecondsUntil(std::chrono::steady_clock::time_point when) {
  const auto left = when - std::chrono::steady_clock::now();
  if (left <= std::chrono::steady_clock::duration::zero()) return 0;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return static_cast<DWORD>(std::min<long long>(ms, INFINITE - 1));
}

}  // namespace

Win32CallWaiter::Win32CallWaiter(Settings settings)
    : HostWait(settings.limit, settings.busyCursorAfter),
      settings_(settings),
      answered_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

Win32CallWaiter::~Win32CallWaiter() {
  closeStartupWindow();
  CloseHandle(answered_);
}

void Win32CallWaiter::wakeWindow() {
  SetEvent(answered_);
}

// Under Wine a condition variable costs a trip through the wineserver on top of the event's.
void Win32CallWaiter::sleepUntilWoken(Clock::time_point until) {
  WaitForSingleObject(answered_, millisecondsUntil(until));
}

void Win32CallWaiter::pumpPaintUntil(Clock::time_point until) {
  paintAndAnswerSentMessages();
  MsgWaitForMultipleObjectsEx(1, &answered_, millisecondsUntil(until), QS_PAINT | QS_SENDMESSAGE,
                              0);
  paintAndAnswerSentMessages();
}

// Nothing else sets the cursor meanwhile: the mouse messages that would ask for it stay queued.
void Win32CallWaiter::setBusyCursor(bool busy) {
  if (busy) {
    previousCursor_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  } else {
    SetCursor(previousCursor_);
  }
}

bool Win32CallWaiter::showBox(const Box& box) {
  const HWND owner = owner_ ? owner_() : nullptr;
  openBoxTitle_ = toWide(box.title);
  Win32CallWaiter* const outer = std::exchange(waiterWithOpenBox, this);
  const UINT_PTR timer =
      SetTimer(nullptr, 0, static_cast<UINT>(settings_.boxCheckInterval.count()), &boxTimer);
  const int answer =
      centredMessageBox(owner, toWide(box.text).c_str(), openBoxTitle_.c_str(), MB_RETRYCANCEL);
  if (timer) KillTimer(nullptr, timer);
  waiterWithOpenBox = outer;
  return answer == IDRETRY;
}

void CALLBACK Win32CallWaiter::boxTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (waiterWithOpenBox) waiterWithOpenBox->lookAgain();
}

// The box is the standard dialog of this thread that carries our title.
void Win32CallWaiter::closeBox() {
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM self) -> BOOL {
        wchar_t className[16] = {};
        GetClassNameW(window, className, 16);
        if (std::wstring_view(className) != L"#32770") return TRUE;
        wchar_t title[256] = {};
        GetWindowTextW(window, title, 256);
        if (reinterpret_cast<Win32CallWaiter*>(self)->openBoxTitle_ != title) return TRUE;
        EndDialog(window, IDCANCEL);
        return FALSE;
      },
      reinterpret_cast<LPARAM>(this));
}

namespace {

constexpr wchar_t StartupWindowClass[] = L"OrvaneHostStarting";
constexpr int StartupWidth = 300;  // client area, in pixels at 96 dpi
constexpr int StartupHeight = 80;

}  // namespace

LRESULT CALLBACK Win32CallWaiter::startupWindowProc(HWND window, UINT message, WPARAM wParam,
                                                    LPARAM lParam) {
  auto* self = reinterpret_cast<Win32CallWaiter*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) != IDCANCEL) break;
      [[fallthrough]];
    case WM_CLOSE:  // the close box and Escape are Cancel too
      if (self) self->startupCancelled();
      return 0;
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));  // busy, but Cancel can still be pressed
      return TRUE;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void Win32CallWaiter::showStartupWindow(const std::string& title, const std::string& text) {
  if (startupWindow_) {
    SetWindowTextW(startupText_, toWide(text).c_str());
    return;
  }
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = startupWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_APPSTARTING);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = StartupWindowClass;
  RegisterClassExW(&wc);  // fails harmlessly once registered

  const UINT dpi = systemDpi();
  const auto px = [dpi](int at96) { return scaledPixels(at96, dpi); };
  constexpr DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const RECT frame = frameForClient({px(StartupWidth), px(StartupHeight)}, style, 0, dpi);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  startupWindow_ = CreateWindowExW(0, StartupWindowClass, toWide(title).c_str(), style,
                                   (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                   (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                                   nullptr, nullptr, instance, nullptr);
  if (!startupWindow_) return;  // start-up goes on without it
  SetWindowLongPtrW(startupWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  startupFont_ = createGuiFont(dpi);
  startupText_ =
      CreateWindowExW(0, L"STATIC", toWide(text).c_str(), WS_CHILD | WS_VISIBLE, px(12), px(12),
                      px(StartupWidth - 24), px(20), startupWindow_, nullptr, instance, nullptr);
  const HWND cancel =
      CreateWindowExW(0, L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                      px(StartupWidth - 87), px(StartupHeight - 35), px(75), px(23), startupWindow_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDCANCEL)), instance, nullptr);
  for (const HWND child : {startupText_, cancel}) {
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(startupFont_), FALSE);
  }
  // Not the default button, and not focused: Return, typed for the address prompt that has not
  // come yet, must not end the program.
  ShowWindow(startupWindow_, SW_SHOWNORMAL);
  SetFocus(startupWindow_);
  UpdateWindow(startupWindow_);
}

void Win32CallWaiter::closeStartupWindow() {
  if (startupWindow_) DestroyWindow(startupWindow_);
  if (startupFont_) DeleteObject(startupFont_);
  startupWindow_ = nullptr;
  startupText_ = nullptr;
  startupFont_ = nullptr;
}

// Start-up comes before the panel is shown, so every message is handled: the start-up window's
// own, Escape and Tab among them.
void Win32CallWaiter::pumpStartupUntil(Clock::time_point until) {
  MsgWaitForMultipleObjectsEx(1, &answered_, millisecondsUntil(until), QS_ALLINPUT,
                              MWMO_INPUTAVAILABLE);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (startupWindow_ && IsDialogMessageW(startupWindow_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace orvane::panel::win32
