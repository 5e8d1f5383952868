// The window thread's wait for a host call, under a real window system (Xvfb with Wine in CI):
// what it handles and what it leaves queued while it waits, the busy cursor, and the Retry/Cancel
// box after the limit, including a host that answers while the box is open. A second thread plays
// the host; timers inside the box's modal loop play the operator. The limits are zero or so long
// that they never pass, so nothing here depends on how fast the machine is.
#include <atomic>
#include <cwchar>
#include <functional>
#include <string>
#include <thread>

#include "panel/win32/Win32CallWaiter.h"
#include "tests/windows/Check.h"

using orvane::host::CallWaiter;
using orvane::panel::win32::Win32CallWaiter;
using Outcome = CallWaiter::Outcome;
using namespace std::chrono_literals;

namespace {

constexpr std::chrono::milliseconds Never = 24h;
constexpr wchar_t BoxTitle[] = L"Orvane I/O Switcher 7";
constexpr UINT SentProbe = WM_APP + 1;  // sent by the host thread: answers what the window saw
constexpr UINT PostedInput = WM_APP + 2;

Win32CallWaiter::Settings settings(std::chrono::milliseconds limit,
                                   std::chrono::milliseconds busyAfter = Never) {
  Win32CallWaiter::Settings s;
  s.limit = limit;
  s.busyCursorAfter = busyAfter;
  return s;
}

// The controller's title with switcher 7.
std::string switcher7() {
  return "Orvane I/O Switcher 7";
}

// A plain window that counts its paints and the posted input dispatched to it, and answers a sent
// probe with the number of paints so far; the cursor at the last probe is kept.
struct ProbeWindow {
  static inline int paints = 0;
  static inline int postedSeen = 0;
  static inline HCURSOR cursorAtProbe = nullptr;

  static LRESULT CALLBACK proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(hwnd, &paint);
        EndPaint(hwnd, &paint);
        ++paints;
        return 0;
      }
      case SentProbe:
        cursorAtProbe = GetCursor();
        return paints;
      case PostedInput:
      case WM_KEYDOWN:
        ++postedSeen;
        return 0;
      default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
  }

  ProbeWindow() {
    paints = 0;
    postedSeen = 0;
    cursorAtProbe = nullptr;
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OrvaneWaiterProbe";
    RegisterClassW(&wc);
    hwnd = CreateWindowExW(0, wc.lpszClassName, L"probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                           200, 100, nullptr, nullptr, wc.hInstance, nullptr);
    REQUIRE(hwnd != nullptr);
    ValidateRect(hwnd, nullptr);
  }
  ~ProbeWindow() { DestroyWindow(hwnd); }
  HWND hwnd = nullptr;
};

// The host thread: runs `before` (which may talk to the window thread), then answers the call.
class FakeHost {
 public:
  FakeHost(CallWaiter& waiter, std::atomic<bool>& answered, std::function<void()> before)
      : thread_([&waiter, &answered, before = std::move(before)] {
          if (before) before();
          answered = true;
          waiter.wake();
        }) {}
  ~FakeHost() { thread_.join(); }

 private:
  std::thread thread_;
};

// --- the operator, inside the box's modal loop ---

std::function<bool(HWND)> onBox;  // acts on the open box; returns true once it has acted
std::wstring boxTitle;
int boxesSeen = 0;
std::wstring lastBoxText;

std::wstring textOf(HWND hwnd) {
  wchar_t text[512] = {};
  GetWindowTextW(hwnd, text, 512);
  return text;
}

void CALLBACK operatorTimer(HWND, UINT, UINT_PTR id, DWORD) {
  const HWND box = FindWindowW(L"#32770", boxTitle.c_str());
  if (!box || !onBox) return;
  ++boxesSeen;
  lastBoxText = textOf(GetDlgItem(box, 0xFFFF));  // the message text of a standard box
  CHECK(GetDlgItem(box, IDRETRY) != nullptr);
  CHECK(GetDlgItem(box, IDCANCEL) != nullptr);
  CHECK(GetDlgItem(box, IDOK) == nullptr);
  if (onBox(box)) {
    onBox = nullptr;
    KillTimer(nullptr, id);
  }
}

void operatorWill(std::function<bool(HWND)> act, std::wstring title = BoxTitle) {
  boxTitle = std::move(title);
  boxesSeen = 0;
  lastBoxText.clear();
  onBox = std::move(act);
  SetTimer(nullptr, 0, 20, operatorTimer);
}

void press(HWND box, int button) {
  SendMessageW(GetDlgItem(box, button), BM_CLICK, 0, 0);
}

// What the host thread marks done, as the waiter asks for it.
std::function<bool()> isSet(const std::atomic<bool>& flag) {
  return [&flag] { return flag.load(); };
}

}  // namespace

TEST_CASE("an answered call returns at once, also with a limit that has already passed") {
  Win32CallWaiter waiter(settings(0ms, 0ms));
  waiter.title = switcher7;
  std::atomic<bool> answered{true};
  CHECK(waiter.wait("IOSWITCHER_BUS_A", isSet(answered)) == Outcome::Answered);
  CHECK(FindWindowW(L"#32770", BoxTitle) == nullptr);
}

TEST_CASE("a wake that comes before the wait is not lost") {
  Win32CallWaiter waiter(settings(Never));
  waiter.title = switcher7;
  std::atomic<bool> answered{false};
  std::thread host([&] {
    answered = true;
    waiter.wake();
  });
  host.join();
  CHECK(waiter.wait("SWITCHER_AddChannel", isSet(answered)) == Outcome::Answered);
  // A wake that belongs to no call in progress only ends a sleep early; the wait waits its call.
  std::atomic<bool> next{false};
  FakeHost late(waiter, next, [&] { waiter.wake(); });
  CHECK(waiter.wait("SWITCHER_AddChannel", isSet(next)) == Outcome::Answered);
  CHECK(next.load());
}

TEST_CASE("while waiting, paint and sent messages are handled and input stays queued") {
  ProbeWindow window;
  Win32CallWaiter waiter(settings(Never));
  waiter.title = switcher7;
  PostMessageW(window.hwnd, PostedInput, 0, 0);
  PostMessageW(window.hwnd, WM_KEYDOWN, VK_SPACE, 0);
  InvalidateRect(window.hwnd, nullptr, FALSE);
  std::atomic<bool> answered{false};
  {
    FakeHost host(waiter, answered, [&] {
      // Until the window thread has painted: each probe is a sent message it must answer.
      while (SendMessageW(window.hwnd, SentProbe, 0, 0) == 0) Sleep(5);
    });
    CHECK(waiter.wait("IOSWITCHER_GetFullStatus", isSet(answered)) == Outcome::Answered);
  }
  CHECK(ProbeWindow::paints >= 1);
  CHECK_EQ(ProbeWindow::postedSeen, 0);
  // The input is still there, in its order, for the window's own loop once the operation is over.
  MSG message;
  REQUIRE(PeekMessageW(&message, window.hwnd, 0, 0, PM_REMOVE));
  CHECK_EQ(message.message, PostedInput);
  REQUIRE(PeekMessageW(&message, window.hwnd, 0, 0, PM_REMOVE));
  CHECK_EQ(message.message, static_cast<UINT>(WM_KEYDOWN));
}

TEST_CASE("the busy cursor shows while a call waits past its delay and goes afterwards") {
  ProbeWindow window;
  const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  const HCURSOR busy = LoadCursorW(nullptr, IDC_WAIT);

  // Before the delay has passed: the cursor stays as it is.
  SetCursor(arrow);
  {
    Win32CallWaiter waiter(settings(Never, Never));
    waiter.title = switcher7;
    std::atomic<bool> answered{false};
    FakeHost host(waiter, answered, [&] { SendMessageW(window.hwnd, SentProbe, 0, 0); });
    CHECK(waiter.wait("SWITCHER_AddChannel", isSet(answered)) == Outcome::Answered);
  }
  CHECK(ProbeWindow::cursorAtProbe == arrow);

  // After it: busy while waiting, the earlier cursor again once answered.
  {
    Win32CallWaiter waiter(settings(Never, 0ms));
    waiter.title = switcher7;
    std::atomic<bool> answered{false};
    FakeHost host(waiter, answered, [&] { SendMessageW(window.hwnd, SentProbe, 0, 0); });
    CHECK(waiter.wait("SWITCHER_AddChannel", isSet(answered)) == Outcome::Answered);
  }
  CHECK(ProbeWindow::cursorAtProbe == busy);
  CHECK(GetCursor() == arrow);
}

TEST_CASE("after the limit a Retry/Cancel box asks; Retry waits on, Cancel gives the call up") {
  Win32CallWaiter waiter(settings(1ms, 0ms));
  waiter.title = switcher7;
  std::atomic<bool> answered{false};
  std::wstring firstText;
  std::wstring secondText;
  operatorWill([&](HWND box) {
    if (boxesSeen == 1) {
      firstText = lastBoxText;
      press(box, IDRETRY);  // keep waiting: the box comes back after the limit
      return false;
    }
    secondText = lastBoxText;
    press(box, IDCANCEL);
    return true;
  });
  CHECK(waiter.wait("IOSWITCHER_GetFullStatus", isSet(answered)) == Outcome::GivenUp);
  CHECK_EQ(boxesSeen, 2);
  // The same words as on every panel, with the whole wait so far (the first box's time included).
  const std::wstring prefix = L"Qelvix has not answered for ";
  REQUIRE(firstText.rfind(prefix, 0) == 0 && secondText.rfind(prefix, 0) == 0);
  const double first = std::wcstod(firstText.c_str() + prefix.size(), nullptr);
  const double second = std::wcstod(secondText.c_str() + prefix.size(), nullptr);
  CHECK(first >= 0.001);
  CHECK(second >= first + 0.001);
  CHECK(GetCursor() != LoadCursorW(nullptr, IDC_WAIT));
}

TEST_CASE("closing the box, or Escape, is Cancel") {
  Win32CallWaiter waiter(settings(0ms));
  waiter.title = switcher7;
  std::atomic<bool> answered{false};
  operatorWill([](HWND box) {
    PostMessageW(box, WM_CLOSE, 0, 0);
    return true;
  });
  CHECK(waiter.wait("IOSWITCHER_GetBusDC", isSet(answered)) == Outcome::GivenUp);

  operatorWill([](HWND box) {
    PostMessageW(box, WM_KEYDOWN, VK_ESCAPE, 0);
    return true;
  });
  CHECK(waiter.wait("IOSWITCHER_GetBusDC", isSet(answered)) == Outcome::GivenUp);
}

TEST_CASE("a host that answers while the box is open closes the box, and the call goes on") {
  Win32CallWaiter waiter(settings(0ms));
  waiter.title = switcher7;
  std::atomic<bool> answered{false};
  std::atomic<bool> boxOpen{false};
  operatorWill([&](HWND) {
    boxOpen = true;  // the operator reads the box and does nothing
    return true;
  });
  {
    FakeHost host(waiter, answered, [&] {
      while (!boxOpen) Sleep(5);
    });
    CHECK(waiter.wait("ORVANE_Reset", isSet(answered)) == Outcome::Answered);
  }
  CHECK(FindWindowW(L"#32770", BoxTitle) == nullptr);
}

TEST_CASE("a box without a title from the controller has the program's name") {
  Win32CallWaiter waiter(settings(0ms));
  waiter.title = [] { return std::string(); };  // before start-up has set the title
  std::atomic<bool> answered{false};
  operatorWill(
      [](HWND box) {
        press(box, IDCANCEL);
        return true;
      },
      L"Orvane I/O Switcher");
  CHECK(waiter.wait("create Qelvix.Application", isSet(answered)) == Outcome::GivenUp);
  CHECK_EQ(boxesSeen, 1);
}

CHECK_MAIN
