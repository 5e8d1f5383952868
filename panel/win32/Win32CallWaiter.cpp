#include "panel/win32/Win32CallWaiter.h"

#include <algorithm>
#include <utility>

#include "host/com/WideText.h"

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
  CloseHandle(answered_);
}

void Win32CallWaiter::wake() {
  SetEvent(answered_);
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
      MessageBoxW(owner, toWide(box.text).c_str(), openBoxTitle_.c_str(), MB_RETRYCANCEL);
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

}  // namespace orvane::panel::win32
