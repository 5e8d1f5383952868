#include "app/windows/SwitcherClaim.h"

#include <string>

#include "panel/win32/WindowIds.h"

namespace orvane::app {

namespace {

// The panel of the switcher at `address`: the main window class, captioned with its title.
void bringPanelToFront(int address) {
  const std::wstring caption = L"Orvane I/O Switcher " + std::to_wstring(address);
  const HWND panel = FindWindowW(panel::win32::WindowClass, caption.c_str());
  if (!panel) return;  // still starting up: its own window comes soon enough
  if (IsIconic(panel)) ShowWindow(panel, SW_RESTORE);
  SetForegroundWindow(panel);
}

}  // namespace

SwitcherClaim::~SwitcherClaim() {
  if (held_) CloseHandle(held_);
}

bool SwitcherClaim::claim(int address) {
  if (held_ && address == address_) return true;
  const std::wstring name = L"Local\\OrvaneIOSwitcherPanel." + std::to_wstring(address);
  const HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  if (!mutex) return true;  // no claim can be made: go on as a lone panel would
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    bringPanelToFront(address);
    return false;
  }
  if (held_) CloseHandle(held_);
  held_ = mutex;
  address_ = address;
  return true;
}

}  // namespace orvane::app
