// The Win32 panel at other densities: a WM_DPICHANGED (which Wine never sends by itself) lays the
// window out again from the twips of the control table; the painting buttons keep their colours;
// the program's embedded manifest declares per-monitor DPI awareness and Common Controls 6.
#include <cstdio>
#include <string>
#include <vector>

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

struct Density {
  UINT dpi;
  SIZE client;  // 8775 x 765 twips
  RECT busAX5;  // bus A's "X5": 2160 to 2535 across, 0 to 255 down
  RECT busBY1;  // bus B's "Y1": 4080 to 4455 across, 240 to 495 down
};

// Worked out by hand from the twips, each edge rounded to the nearest pixel (halves up).
const Density Densities[] = {
    {120, {731, 64}, {180, 0, 211, 21}, {340, 20, 371, 41}},
    {144, {878, 77}, {216, 0, 254, 26}, {408, 24, 446, 50}},
    {192, {1170, 102}, {288, 0, 338, 34}, {544, 32, 594, 66}},
    {96, {585, 51}, {144, 0, 169, 17}, {272, 16, 297, 33}},  // and back
};

std::string text(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " - " + std::to_string(r.right) +
         "," + std::to_string(r.bottom);
}

RECT placeOf(HWND control, HWND parent) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

SIZE clientSize(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  return {client.right, client.bottom};
}

int fontHeight(HWND control) {
  const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  LOGFONTW logFont{};
  GetObjectW(font, sizeof logFont, &logFont);
  return logFont.lfHeight < 0 ? -logFont.lfHeight : logFont.lfHeight;
}

// Plays the window system moving the window to a monitor of another density: it asks the window
// for its size there, then sends the change with a rectangle of that size.
void moveToDensity(Win32Panel& panel, UINT dpi) {
  SIZE size{};
  const LRESULT answered =
      SendMessageW(panel.window(), WM_GETDPISCALEDSIZE, dpi, reinterpret_cast<LPARAM>(&size));
  CHECK(answered != 0);
  RECT window;
  GetWindowRect(panel.window(), &window);
  RECT suggested{window.left + 10, window.top + 10, window.left + 10 + size.cx,
                 window.top + 10 + size.cy};
  SendMessageW(panel.window(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
               reinterpret_cast<LPARAM>(&suggested));
  RECT moved;
  GetWindowRect(panel.window(), &moved);
  CHECK_EQ(moved.left, suggested.left);
  CHECK_EQ(moved.top, suggested.top);
}

// The colour inside a painting button's frame: its top left corner within the frame, where the
// centred caption never reaches.
COLORREF faceColour(Win32Panel& panel, ControlId id) {
  const HWND button = panel.controlWindow(id);
  const int frame = 2 * MulDiv(1, static_cast<int>(panel.dpi()), 96);
  const HDC dc = GetDC(button);
  const COLORREF seen = GetPixel(dc, frame, frame);
  ReleaseDC(button, dc);
  return seen;
}

// Every painting button shows exactly its own colour.
void checkPaintingColours(Win32Panel& panel) {
  UpdateWindow(panel.window());
  for (const auto& tableRow : orvane::panel::controlTable()) {
    if (tableRow.kind != ControlKind::PaintingButton) continue;
    RedrawWindow(panel.controlWindow(tableRow.id), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW);
    const COLORREF seen = faceColour(panel, tableRow.id);
    if (seen != panel.backColour(tableRow.id)) {
      std::printf("    %s at %u dpi shows %06lx\n", orvane::panel::controlText(tableRow.id).c_str(),
                  panel.dpi(), static_cast<unsigned long>(seen));
    }
    CHECK_EQ(seen, panel.backColour(tableRow.id));
  }
}

std::wstring programPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring own(path);
  // The test programs are built in tests/windows, the program in app/windows.
  const auto cut = own.rfind(L"\\tests\\windows\\");
  if (cut == std::wstring::npos) return {};
  return own.substr(0, cut) + L"\\app\\windows\\orvane-panel.exe";
}

// The encoded identity of an assembly bound in the activation context ("name,key=value,...").
std::wstring assemblyIdentity(HANDLE activation, DWORD rosterIndex) {
  SIZE_T needed = 0;
  QueryActCtxW(0, activation, &rosterIndex, AssemblyDetailedInformationInActivationContext, nullptr,
               0, &needed);
  std::vector<unsigned char> buffer(needed);
  if (needed == 0 ||
      !QueryActCtxW(0, activation, &rosterIndex, AssemblyDetailedInformationInActivationContext,
                    buffer.data(), buffer.size(), nullptr))
    return {};
  const auto* info =
      reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(buffer.data());
  return info->lpAssemblyEncodedAssemblyIdentity ? info->lpAssemblyEncodedAssemblyIdentity : L"";
}

BOOL CALLBACK collectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
  reinterpret_cast<std::vector<ULONG_PTR>*>(names)->push_back(reinterpret_cast<ULONG_PTR>(name));
  return TRUE;
}

}  // namespace

TEST_CASE("WM_DPICHANGED lays out again: every edge from its twips, the client area 8775 x 765") {
  Win32Panel panel(GetModuleHandleW(nullptr));
  const HWND window = panel.window();
  const int heightAt96 =
      fontHeight(panel.controlWindow(busButton(0, 5))) * 96 / static_cast<int>(panel.dpi());
  for (const Density& d : Densities) {
    std::printf("    at %u dpi\n", d.dpi);
    moveToDensity(panel, d.dpi);
    CHECK_EQ(panel.dpi(), d.dpi);
    const SIZE client = clientSize(window);
    CHECK_EQ(client.cx, d.client.cx);
    CHECK_EQ(client.cy, d.client.cy);
    CHECK_EQ(text(placeOf(panel.controlWindow(busButton(0, 5)), window)), text(d.busAX5));
    CHECK_EQ(text(placeOf(panel.controlWindow(busButton(1, 9)), window)), text(d.busBY1));

    for (const auto& tableRow : orvane::panel::controlTable()) {
      if (tableRow.kind == ControlKind::Timer) continue;
      const HWND control = panel.controlWindow(tableRow.id);
      const RECT r = placeOf(control, window);
      const auto edge = [&](int twips) { return MulDiv(twips, static_cast<int>(d.dpi), 1440); };
      const bool placed = r.left == edge(tableRow.left) && r.top == edge(tableRow.top) &&
                          r.right == edge(tableRow.left + tableRow.width);
      if (!placed) {
        std::printf("    %s at %s\n", orvane::panel::controlText(tableRow.id).c_str(),
                    text(r).c_str());
      }
      CHECK(placed);
      if (tableRow.kind != ControlKind::DropDownList)
        CHECK_EQ(r.bottom, edge(tableRow.top + tableRow.height));
      // One font for all, made for this density (within a pixel of rounding).
      const int expected = heightAt96 * static_cast<int>(d.dpi) / 96;
      CHECK(fontHeight(control) >= expected - 1 && fontHeight(control) <= expected + 1);
    }
    // Neighbours still share a border: channel buttons across, the two rows down; the right
    // column ends at the client area's edge.
    for (int bus = 0; bus < 2; ++bus) {
      for (int index = 1; index < 16; ++index) {
        if (index == 8) continue;  // the bus label sits between X8 and Y1
        const RECT left = placeOf(panel.controlWindow(busButton(bus, index)), window);
        const RECT right = placeOf(panel.controlWindow(busButton(bus, index + 1)), window);
        CHECK(left.right > right.left);
      }
    }
    const RECT rowA = placeOf(panel.controlWindow(busButton(0, 1)), window);
    const RECT rowB = placeOf(panel.controlWindow(busButton(1, 1)), window);
    CHECK(rowA.bottom > rowB.top);
    CHECK_EQ(placeOf(panel.controlWindow({ControlName::LoadA_Button}), window).right, client.cx);
    CHECK_EQ(placeOf(panel.controlWindow({ControlName::ResetButton}), window).right, client.cx);
  }
}

TEST_CASE("WM_DPICHANGED with a rectangle too small for the frame still keeps the client area") {
  Win32Panel panel(GetModuleHandleW(nullptr));
  RECT suggested{50, 60, 50 + 300, 60 + 20};
  SendMessageW(panel.window(), WM_DPICHANGED, MAKEWPARAM(144, 144),
               reinterpret_cast<LPARAM>(&suggested));
  const SIZE client = clientSize(panel.window());
  CHECK_EQ(client.cx, 878);
  CHECK_EQ(client.cy, 77);
  // A message without a DPI changes nothing.
  SendMessageW(panel.window(), WM_DPICHANGED, 0, reinterpret_cast<LPARAM>(&suggested));
  CHECK_EQ(panel.dpi(), 144u);
}

TEST_CASE("the program's manifest: one, id 1, per-monitor DPI aware, Common Controls 6") {
  const std::wstring path = programPath();
  REQUIRE(!path.empty());
  const HMODULE program = LoadLibraryExW(path.c_str(), nullptr,
                                         LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  REQUIRE(program != nullptr);
  std::vector<ULONG_PTR> names;
  EnumResourceNamesW(program, RT_MANIFEST, collectName, reinterpret_cast<LONG_PTR>(&names));
  CHECK_EQ(names.size(), std::size_t{1});
  const HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(1), RT_MANIFEST);
  REQUIRE(found != nullptr);
  const auto* bytes = static_cast<const char*>(LockResource(LoadResource(program, found)));
  const std::string manifest(bytes, SizeofResource(program, found));
  FreeLibrary(program);
  for (const char* wanted :
       {"<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm<",
        "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
        "PerMonitorV2, PerMonitor<",
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        "publicKeyToken=\"6595b64144ccf1df\""}) {
    if (manifest.find(wanted) == std::string::npos) std::printf("    missing: %s\n", wanted);
    CHECK(manifest.find(wanted) != std::string::npos);
  }
}

TEST_CASE(
    "under the program's manifest: Common Controls 6 draw the plain controls, the painting "
    "buttons keep their colours at every density") {
  const std::wstring path = programPath();
  ACTCTXW context{};
  context.cbSize = sizeof context;
  context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.lpSource = path.c_str();
  context.lpResourceName = MAKEINTRESOURCEW(1);
  const HANDLE activation = CreateActCtxW(&context);
  REQUIRE(activation != INVALID_HANDLE_VALUE);
  ULONG_PTR cookie = 0;
  REQUIRE(ActivateActCtx(activation, &cookie));
  {
    // The context sends comctl32.dll to the Common Controls 6 assembly. (Wine's one comctl32
    // serves both versions and reports 5.81 from DllGetVersion, so the version is read from the
    // assembly the loader binds.)
    ACTCTX_SECTION_KEYED_DATA redirect{};
    redirect.cbSize = sizeof redirect;
    REQUIRE(FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                     L"comctl32.dll", &redirect));
    CHECK_EQ(assemblyIdentity(activation, redirect.ulAssemblyRosterIndex)
                 .find(L"Microsoft.Windows.Common-Controls"),
             std::size_t{0});
    CHECK(assemblyIdentity(activation, redirect.ulAssemblyRosterIndex).find(L"version=\"6.0.") !=
          std::wstring::npos);
    const HMODULE common = LoadLibraryW(L"comctl32.dll");
    REQUIRE(common != nullptr);

    Win32Panel panel(GetModuleHandleW(nullptr));
    // The plain buttons and the list are the common controls' own (which draw visual styles).
    for (const ControlId id :
         {ControlId{ControlName::DCButton}, ControlId{ControlName::Mode_Droplist}}) {
      const auto proc =
          reinterpret_cast<LPCWSTR>(GetClassLongPtrW(panel.controlWindow(id), GCLP_WNDPROC));
      HMODULE owner = nullptr;
      GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          proc, &owner);
      CHECK(owner == common);
    }

    panel.show(SW_SHOWNORMAL);
    panel.setBackColor(busButton(0, 5), colour::Green);
    panel.setBackColor({ControlName::LoadB_Button}, colour::Orange);
    for (const Density& d : Densities) {
      moveToDensity(panel, d.dpi);
      checkPaintingColours(panel);
    }
    FreeLibrary(common);
  }
  DeactivateActCtx(0, cookie);
  ReleaseActCtx(activation);
}
