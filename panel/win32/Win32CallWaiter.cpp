#include "panel/win32/Win32CallWaiter.h"

#include <algorithm>

namespace orvane::panel::win32 {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::wstring toWide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

// The busy cursor while shown; the cursor it replaced comes back when it goes. Nothing else sets
// the cursor meanwhile: the mouse messages that would ask for it stay queued.
class BusyCursor {
 public:
  BusyCursor() = default;
  ~BusyCursor() { hide(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

  bool shown() const { return shown_; }
  void show() {
    if (shown_) return;
    previous_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    shown_ = true;
  }
  void hide() {
    if (!shown_) return;
    SetCursor(previous_);
    shown_ = false;
  }

 private:
  HCURSOR previous_ = nullptr;
  bool shown_ = false;
};

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
DWORD millisecondsUntil(Clock::time_point when) {
  const auto left = when - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  const auto ms = std::chrono::ceil<milliseconds>(left).count();
  return static_cast<DWORD>(std::min<long long>(ms, INFINITE - 1));
}

// The open box's modal loop runs on this thread and dispatches its timers: a thread timer looks
// whether the host has answered and, if so, ends the box as if Retry had been pressed.
thread_local const std::atomic<bool>* watchedCall = nullptr;
thread_local const std::wstring* watchedTitle = nullptr;

BOOL CALLBACK endBoxIfOurs(HWND window, LPARAM) {
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (std::wstring_view(className) != L"#32770") return TRUE;
  const int length = GetWindowTextLengthW(window);
  std::wstring title(static_cast<std::size_t>(length) + 1, L'\0');
  title.resize(static_cast<std::size_t>(GetWindowTextW(window, title.data(), length + 1)));
  if (!watchedTitle || title != *watchedTitle) return TRUE;
  EndDialog(window, IDRETRY);
  return FALSE;
}

void CALLBACK checkAnswered(HWND, UINT, UINT_PTR, DWORD) {
  if (watchedCall && watchedCall->load()) EnumThreadWindows(GetCurrentThreadId(), endBoxIfOurs, 0);
}

}  // namespace

// Waking an address nobody waits on (the wake came before the wait) does nothing: the wait then
// finds the flag already set and does not sleep.
void Win32CallWaiter::wake() {
  if (const void* address = watched_.load()) WakeByAddressAll(const_cast<void*>(address));
}

host::CallWaiter::Outcome Win32CallWaiter::wait(std::string_view,
                                                const std::atomic<bool>& answered) {
  if (answered.load()) return Outcome::Answered;
  watched_.store(&answered);
  const auto start = Clock::now();
  const auto busyAt = start + settings_.busyCursorAfter;
  auto askAt = start + settings_.limit;
  int boxes = 0;
  BusyCursor cursor;
  while (!answered.load()) {
    const auto now = Clock::now();
    if (now >= askAt) {
      cursor.hide();  // the box is the operator's to use
      if (!keepWaiting(settings_.limit * ++boxes, answered)) return Outcome::GivenUp;
      askAt = Clock::now() + settings_.limit;
      continue;
    }
    if (now >= busyAt) cursor.show();
    paintAndAnswerSentMessages();
    const auto until = std::min(cursor.shown() ? askAt : std::min(busyAt, askAt),
                                Clock::now() + settings_.messageCheckInterval);
    static_assert(sizeof(std::atomic<bool>) == sizeof(bool), "the flag is waited on as a bool");
    bool notYet = false;
    WaitOnAddress(const_cast<std::atomic<bool>*>(&answered), &notYet, sizeof notYet,
                  millisecondsUntil(until));
  }
  return Outcome::Answered;
}

bool Win32CallWaiter::keepWaiting(milliseconds waited, const std::atomic<bool>& answered) {
  const std::wstring wideTitle = toWide(box.titleText());
  const HWND owner = owner_ ? owner_() : nullptr;

  const auto* outerCall = watchedCall;
  const auto* outerTitle = watchedTitle;
  watchedCall = &answered;
  watchedTitle = &wideTitle;
  const UINT_PTR timer =
      SetTimer(nullptr, 0, static_cast<UINT>(settings_.boxCheckInterval.count()), &checkAnswered);
  const int answer = MessageBoxW(owner, toWide(HostWaitBox::text(waited)).c_str(),
                                 wideTitle.c_str(), MB_RETRYCANCEL);
  if (timer) KillTimer(nullptr, timer);
  watchedCall = outerCall;
  watchedTitle = outerTitle;
  // An answer that came while the box was open wins over the box: the call has finished.
  return answered.load() || answer == IDRETRY;
}

}  // namespace orvane::panel::win32
