// The Win32 panel in process, under a real window system (Xvfb with Wine in CI): its window against
// the control table, the view operations and the events they raise, the boxes, and the operator's
// clicks, list choices, timer and close box reaching the controller on the simulated host.
#include <cstdio>
#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "controller/Controller.h"
#include "host/sim/SimulatedHost.h"
#include "panel/Dispatcher.h"
#include "panel/ReadoutFitter.h"
#include "panel/win32/InputDialog.h"
#include "panel/win32/Win32Panel.h"
#include "tests/windows/Check.h"
// After windows.h, which the panel's header brings.
#include <commctrl.h>

using orvane::panel::busButton;
using orvane::panel::ControlId;
using orvane::panel::ControlKind;
using orvane::panel::ControlName;
using orvane::panel::win32::Win32Panel;
namespace colour = orvane::panel::colour;

namespace {

// --- playing the operator inside modal loops and the panel's own loop ---

std::function<bool()> pendingAction;  // returns true once it has acted
bool timedOut = false;

void CALLBACK actionTimer(HWND, UINT, UINT_PTR id, DWORD) {
  if (pendingAction && pendingAction()) {
    pendingAction = nullptr;
    KillTimer(nullptr, id);
  }
}

// Polls every 30 ms, from whatever message loop runs, until the action reports that it acted.
void actSoon(std::function<bool()> action) {
  pendingAction = std::move(action);
  SetTimer(nullptr, 0, 30, actionTimer);
}

// Acts on the box titled `title` as soon as it is open.
void whenBoxOpens(const std::wstring& title, std::function<void(HWND)> act) {
  actSoon([title, act] {
    const HWND box = FindWindowW(L"#32770", title.c_str());
    if (!box) return false;
    act(box);
    return true;
  });
}

void CALLBACK watchdogTimer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  timedOut = true;
  PostQuitMessage(99);
}

// Runs the panel's loop until it ends by itself; false when it had to be stopped after limitMs.
bool loopEnds(Win32Panel& panel, UINT limitMs) {
  timedOut = false;
  const UINT_PTR watchdog = SetTimer(nullptr, 0, limitMs, watchdogTimer);
  panel.messageLoop();
  KillTimer(nullptr, watchdog);
  return !timedOut;
}

// Runs the loop for a while, then closes the window with its close box.
void runThenCloseBox(Win32Panel& panel, DWORD afterMs) {
  const ULONGLONG until = GetTickCount64() + afterMs;
  actSoon([&panel, until] {
    if (GetTickCount64() < until) return false;
    PostMessageW(panel.window(), WM_CLOSE, 0, 0);
    return true;
  });
}

bool quitPending() {
  MSG message;
  return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != 0;
}

std::string windowText(HWND hwnd) {
  wchar_t text[256] = {};
  GetWindowTextW(hwnd, text, 256);
  std::string narrow;
  for (const wchar_t* c = text; *c; ++c) narrow += static_cast<char>(*c);
  return narrow;
}

RECT clientRectOf(HWND control, HWND parent) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void chooseMode(Win32Panel& panel, int index) {
  const HWND list = panel.controlWindow({ControlName::Mode_Droplist});
  SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(panel.window(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
}

void click(Win32Panel& panel, ControlId id) {
  SendMessageW(panel.controlWindow(id), BM_CLICK, 0, 0);
}

// Counts the events the view raises.
struct RaisedCounter : orvane::panel::RaisedEvents {
  void listClickRaised() override { ++listClicks; }
  void unloadRaised() override { ++unloads; }
  int listClicks = 0;
  int unloads = 0;
};

// The operator's answers, scripted; ending at once goes to the panel as it would.
struct Operator : orvane::controller::PlatformServices {
  std::optional<std::string> inputBox(const std::string&, const std::string&,
                                      const std::string& d) override {
    if (answers.empty()) return d;
    std::string a = answers.front();
    answers.pop_front();
    return a;
  }
  std::int16_t messageBox(const std::string& text, std::int16_t style,
                          const std::string&) override {
    if (failOnBox) throw std::logic_error("a fault of the program's own");
    boxes.push_back(text);
    styles.push_back(style);
    return style == 5 ? 2 : 1;
  }
  void endAtOnce() override { panel->endAtOnce(); }
  std::deque<std::string> answers;
  bool failOnBox = false;
  std::vector<std::string> boxes;
  std::vector<int> styles;
  Win32Panel* panel = nullptr;
};

// The panel with the real controller on the simulated host.
struct Rig {
  orvane::host::sim::SimulatedHost sim;
  Operator op;
  Win32Panel panel{GetModuleHandleW(nullptr)};
  orvane::controller::Controller controller{panel, op, sim.factory()};
  orvane::panel::Dispatcher dispatcher{controller, op};
  Rig() {
    op.panel = &panel;
    panel.attach(dispatcher);
  }
};

}  // namespace

TEST_CASE(
    "the window: a fixed client area of 8775 x 765 twips, every control where the table says") {
  Win32Panel panel(GetModuleHandleW(nullptr));
  RECT client;
  GetClientRect(panel.window(), &client);
  CHECK_EQ(client.right, panel.pixelsX(8775));
  CHECK_EQ(client.bottom, panel.pixelsY(765));
  const auto style = GetWindowLongPtrW(panel.window(), GWL_STYLE);
  CHECK((style & WS_THICKFRAME) == 0);
  CHECK((style & WS_MAXIMIZEBOX) == 0);

  int checked = 0;
  for (const auto& tableRow : orvane::panel::controlTable()) {
    if (tableRow.kind == ControlKind::Timer) continue;
    const HWND hwnd = panel.controlWindow(tableRow.id);
    REQUIRE(hwnd != nullptr);
    const RECT r = clientRectOf(hwnd, panel.window());
    const bool placed = r.left == panel.pixelsX(tableRow.left) &&
                        r.top == panel.pixelsY(tableRow.top) &&
                        r.right - r.left == panel.pixelsX(tableRow.width);
    if (!placed) {
      std::printf("    %s at %ld,%ld width %ld\n", orvane::panel::controlText(tableRow.id).c_str(),
                  r.left, r.top, r.right - r.left);
    }
    CHECK(placed);
    if (tableRow.kind != ControlKind::DropDownList) {
      CHECK_EQ(r.bottom - r.top, panel.pixelsY(tableRow.height));
      CHECK_EQ(windowText(hwnd), std::string(tableRow.caption));
    }
    const auto childStyle = GetWindowLongPtrW(hwnd, GWL_STYLE);
    if (tableRow.kind == ControlKind::PaintingButton)
      CHECK((childStyle & BS_TYPEMASK) == BS_OWNERDRAW);
    if (tableRow.kind == ControlKind::DropDownList) CHECK((childStyle & 3) == CBS_DROPDOWNLIST);
    // A readout paints its fitted reading itself, right-aligned (PanelReadoutTest).
    if (tableRow.alignment == orvane::panel::TextAlignment::Right)
      CHECK((childStyle & SS_TYPEMASK) ==
            (orvane::panel::isReadout(tableRow.id) ? SS_OWNERDRAW : SS_RIGHT));
    if (tableRow.alignment == orvane::panel::TextAlignment::Centre)
      CHECK((childStyle & SS_TYPEMASK) == SS_CENTER);
    ++checked;
  }
  CHECK_EQ(checked, 54);

  int withTooltip = 0;
  for (const auto& tableRow : orvane::panel::controlTable())
    withTooltip += tableRow.tooltip.empty() ? 0 : 1;
  CHECK_EQ(static_cast<int>(SendMessageW(panel.tooltipWindow(), TTM_GETTOOLCOUNT, 0, 0)),
           withTooltip);
}

TEST_CASE("a colour or caption set to what it already is asks for no repaint") {
  Win32Panel panel(GetModuleHandleW(nullptr));
  const int before = panel.repaintRequests();
  panel.setBackColor(busButton(0, 5), colour::Grey);  // grey at load
  panel.setCaption({ControlName::Label4}, "- - V ");
  CHECK_EQ(panel.repaintRequests(), before);
  panel.setBackColor(busButton(0, 5), colour::Green);
  panel.setBackColor(busButton(0, 5), colour::Green);
  panel.setCaption({ControlName::Label4}, "9.01 V ");
  panel.setCaption({ControlName::Label4}, "9.01 V ");
  CHECK_EQ(panel.repaintRequests(), before + 2);
  CHECK_EQ(panel.backColour(busButton(0, 5)), colour::Green);
  CHECK_EQ(windowText(panel.controlWindow({ControlName::Label4})), std::string("9.01 V "));
}

TEST_CASE("the list raises its click when the selection moves, never for added entries") {
  Win32Panel panel(GetModuleHandleW(nullptr));
  RaisedCounter raised;
  panel.setRaisedEvents(&raised);
  const HWND list = panel.controlWindow({ControlName::Mode_Droplist});
  for (std::int16_t i = 0; i < 3; ++i) panel.addListEntry("mode " + std::to_string(i), i);
  CHECK_EQ(raised.listClicks, 0);
  CHECK_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 3);
  panel.setListIndex(0);
  CHECK_EQ(raised.listClicks, 1);
  panel.setListIndex(0);
  CHECK_EQ(raised.listClicks, 1);
  panel.setListIndex(2);
  CHECK_EQ(raised.listClicks, 2);
  CHECK_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 2);
  panel.addListEntry("first", 0);  // the selection stays on its entry
  CHECK_EQ(panel.listIndex(), 3);
  CHECK_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 3);
  CHECK_EQ(raised.listClicks, 2);
  CHECK_THROWS(std::out_of_range, panel.setListIndex(4));
}

TEST_CASE("close raises the unload once and destroys the window") {
  Win32Panel panel(GetModuleHandleW(nullptr));
  RaisedCounter raised;
  panel.setRaisedEvents(&raised);
  const HWND hwnd = panel.window();
  panel.close();
  panel.close();
  CHECK_EQ(raised.unloads, 1);
  CHECK(!IsWindow(hwnd));
  panel.setBackColor(busButton(1, 3), colour::Green);  // harmless once the window has gone
  CHECK(!quitPending());  // no loop was running, so none is left behind
}

TEST_CASE("the input box: OK gives the text, Cancel and the close box give nothing") {
  Win32Panel panel(GetModuleHandleW(nullptr));
  whenBoxOpens(L"Prompt test", [](HWND box) { PostMessageW(box, WM_COMMAND, IDOK, 0); });
  CHECK_EQ(panel.inputBox("Address?\r\n\r\nA number", "Prompt test", "0").value_or("?"),
           std::string("0"));

  whenBoxOpens(L"Prompt test", [](HWND box) {
    SetDlgItemTextW(box, orvane::panel::win32::InputDialogEditId, L"Gr\u00FC\u00DFe 12");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  CHECK_EQ(panel.inputBox("Address?", "Prompt test", "0").value_or("?"),
           std::string("Gr\xC3\xBC\xC3\x9F"
                       "e 12"));

  whenBoxOpens(L"Prompt test", [](HWND box) { PostMessageW(box, WM_COMMAND, IDCANCEL, 0); });
  CHECK(!panel.inputBox("Address?", "Prompt test", "0").has_value());

  whenBoxOpens(L"Prompt test", [](HWND box) { PostMessageW(box, WM_CLOSE, 0, 0); });
  CHECK(!panel.inputBox("Address?", "Prompt test", "7").has_value());
}

TEST_CASE("the message box answers with the button pressed") {
  Win32Panel panel(GetModuleHandleW(nullptr));
  whenBoxOpens(L"Box test", [](HWND box) { PostMessageW(box, WM_COMMAND, IDRETRY, 0); });
  CHECK_EQ(panel.messageBox("Reset failed", 5, "Box test"), 4);
  whenBoxOpens(L"Box test", [](HWND box) { PostMessageW(box, WM_COMMAND, IDCANCEL, 0); });
  CHECK_EQ(panel.messageBox("Reset failed", 5, "Box test"), 2);
  whenBoxOpens(L"Box test", [](HWND box) { PostMessageW(box, WM_COMMAND, IDOK, 0); });
  CHECK_EQ(panel.messageBox("Too much DC", 48, "Box test"), 1);
}

// Windows centres a message box on the screen; once the panel is up, ours sit over it.
TEST_CASE("a box raised while the panel is on screen sits centred over it") {
  Rig rig;
  REQUIRE(rig.panel.load());
  rig.panel.show(SW_SHOWNORMAL);
  SetWindowPos(rig.panel.window(), nullptr, 40, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  RECT panel{};
  GetWindowRect(rig.panel.window(), &panel);
  RECT box{};
  whenBoxOpens(L"Box test", [&box](HWND shown) {
    GetWindowRect(shown, &box);
    PostMessageW(shown, WM_COMMAND, IDOK, 0);
  });
  rig.panel.messageBox("There is excessive DC on this bus for balance mode.", 48, "Box test");
  CHECK(std::abs((box.left + box.right) / 2 - (panel.left + panel.right) / 2) <= 2);
  CHECK(std::abs((box.top + box.bottom) / 2 - (panel.top + panel.bottom) / 2) <= 2);
}

TEST_CASE("start-up on the simulated host: the panel as first shown") {
  Rig rig;
  REQUIRE(rig.panel.load());
  rig.panel.show(SW_SHOWNORMAL);
  CHECK_EQ(windowText(rig.panel.window()), std::string("Orvane I/O Switcher 0"));
  const HWND list = rig.panel.controlWindow({ControlName::Mode_Droplist});
  CHECK_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 6);
  CHECK_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 0);
  CHECK(!IsWindowEnabled(rig.panel.controlWindow({ControlName::PrevButton})));
  CHECK(IsWindowEnabled(rig.panel.controlWindow(busButton(0, 0))));
  CHECK_EQ(rig.panel.timerInterval(), 200);
  CHECK_EQ(windowText(rig.panel.controlWindow({ControlName::Label6})), std::string("- - V "));
}

TEST_CASE("operator clicks and list choices reach the controller; disabled buttons raise nothing") {
  Rig rig;
  REQUIRE(rig.panel.load());
  rig.panel.show(SW_SHOWNORMAL);
  click(rig.panel, busButton(0, 5));
  CHECK_EQ(rig.sim.statusWord(0, 0), 1u << 4);
  CHECK_EQ(rig.panel.backColour(busButton(0, 5)), colour::Green);
  click(rig.panel, busButton(1, 9));  // bus B's Y1
  CHECK_EQ(rig.sim.statusWord(0, 1), 1u << 8);
  // The second click of a quick double click on a painted button arrives as BN_DOUBLECLICKED.
  const HWND y1 = rig.panel.controlWindow(busButton(1, 9));
  SendMessageW(rig.panel.window(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(y1), BN_DOUBLECLICKED),
               reinterpret_cast<LPARAM>(y1));
  CHECK_EQ(rig.sim.statusWord(0, 1), 0u);

  const long calls = rig.sim.callCount();
  click(rig.panel, {ControlName::PrevButton});  // disabled in mode 0
  CHECK_EQ(rig.sim.callCount(), calls);

  chooseMode(rig.panel, 2);
  CHECK_EQ(rig.controller.state().Link_Mode, 2);
  CHECK(IsWindowEnabled(rig.panel.controlWindow({ControlName::PrevButton})));
  CHECK(!IsWindowEnabled(rig.panel.controlWindow(busButton(0, 17))));
}

TEST_CASE("a list choice made while an operation runs is dropped and the list shows it undone") {
  Rig rig;
  REQUIRE(rig.panel.load());
  rig.panel.show(SW_SHOWNORMAL);
  bool chose = false;
  rig.sim.setCallHook([&](const std::string&) {
    if (chose) return;
    chose = true;  // the operator picks a mode while the click's host calls run
    chooseMode(rig.panel, 3);
  });
  click(rig.panel, busButton(0, 2));
  CHECK(chose);
  CHECK_EQ(rig.controller.state().Link_Mode, 0);
  CHECK_EQ(rig.panel.listIndex(), 0);
  CHECK_EQ(SendMessageW(rig.panel.controlWindow({ControlName::Mode_Droplist}), CB_GETCURSEL, 0, 0),
           0);
}

TEST_CASE("the timer drives the DC readouts; the close box unloads once and ends the loop") {
  Rig rig;
  REQUIRE(rig.panel.load());
  rig.panel.show(SW_SHOWNORMAL);
  click(rig.panel, {ControlName::DCButton});
  const int resets = rig.sim.resetCount(0);
  runThenCloseBox(rig.panel, 700);
  CHECK(loopEnds(rig.panel, 5000));
  CHECK(rig.panel.caption({ControlName::Label4}).find('V') != std::string::npos);
  CHECK(rig.panel.caption({ControlName::Label4}) != "- - V ");
  CHECK(rig.controller.unloaded());
  CHECK_EQ(rig.sim.resetCount(0), resets + 1);  // Form_Unload's reset, once
  CHECK_EQ(rig.sim.liveObjects(), 0);
  CHECK(rig.panel.window() == nullptr);
  CHECK(!rig.panel.failedUnexpectedly());
}

TEST_CASE("a close that comes in while an operation runs is carried out once it has finished") {
  Rig rig;
  REQUIRE(rig.panel.load());
  rig.panel.show(SW_SHOWNORMAL);
  bool closed = false;
  rig.sim.setCallHook([&](const std::string&) {
    if (closed) return;
    closed = true;  // the operator closes the window while the click's host calls run
    SendMessageW(rig.panel.window(), WM_CLOSE, 0, 0);
  });
  const int resets = rig.sim.resetCount(0);
  PostMessageW(rig.panel.controlWindow(busButton(0, 4)), BM_CLICK, 0, 0);
  CHECK(loopEnds(rig.panel, 5000));
  CHECK(closed);
  CHECK_EQ(rig.panel.backColour(busButton(0, 4)), colour::Green);  // the click ran to its end first
  CHECK(rig.controller.unloaded());
  CHECK_EQ(rig.sim.resetCount(0), resets + 1);
  CHECK(rig.panel.window() == nullptr);
}

TEST_CASE(
    "a lost connection: the box, then the window closes through the unload and the loop ends") {
  Rig rig;
  REQUIRE(rig.panel.load());
  rig.panel.show(SW_SHOWNORMAL);
  rig.sim.kill();
  PostMessageW(rig.panel.controlWindow(busButton(0, 6)), BM_CLICK, 0, 0);
  CHECK(loopEnds(rig.panel, 5000));
  REQUIRE(rig.op.boxes.size() == 1u);
  CHECK_EQ(rig.op.boxes[0], std::string("Connection with Qelvix and/or the switcher failed.\r\n\r\n"
                                        "This program will now close."));
  CHECK_EQ(rig.op.styles[0], 48);
  CHECK(rig.controller.unloaded());
  CHECK(rig.panel.window() == nullptr);
}

TEST_CASE("Cancel at the address prompt ends the run at once: no window, no unload") {
  Rig rig;
  rig.op.answers.push_back("");
  CHECK(!rig.panel.load());
  CHECK(!rig.panel.wasShown());
  CHECK(!IsWindowVisible(rig.panel.window()));
  CHECK(!rig.controller.unloaded());
  CHECK_EQ(rig.sim.resetCount(0), 0);
  CHECK(!quitPending());
  CHECK(!rig.panel.failedUnexpectedly());
}

// Not a lost connection: the program ends as failed by its own fault (status 70).
TEST_CASE("an error of the program's own that escapes a window message ends the run as such") {
  Rig rig;
  REQUIRE(rig.panel.load());
  rig.op.failOnBox = true;
  whenBoxOpens(L"Orvane I/O Switcher", [](HWND box) { PostMessageW(box, WM_COMMAND, IDOK, 0); });
  click(rig.panel, busButton(0, 3));             // X3 carries DC
  click(rig.panel, {ControlName::BalA_Button});  // the excessive-DC box: its service fails
  CHECK(rig.panel.failedUnexpectedly());
  MSG quit;
  CHECK(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0);  // the run was ended
}

TEST_CASE("a host that cannot be created: the start-up box, no window, a failing exit code") {
  orvane::host::sim::SimulatedHost sim;
  Operator op;
  Win32Panel panel(GetModuleHandleW(nullptr));
  orvane::controller::Controller controller(
      panel, op, [](const std::string& progId) -> orvane::host::ObjectRef {
        throw orvane::host::HostError(progId,
                                      "no automation server is registered under this name.");
      });
  orvane::panel::Dispatcher dispatcher(controller, op);
  op.panel = &panel;
  panel.attach(dispatcher);
  CHECK(!panel.load());
  REQUIRE(op.boxes.size() == 1u);
  CHECK_EQ(op.styles[0], 16);
  CHECK(op.boxes[0].find("no automation server") != std::string::npos);
  CHECK(!panel.wasShown());
  CHECK(dispatcher.failure().has_value());
}

CHECK_MAIN
