#pragma once

#include <windows.h>

namespace orvane::app {

// One panel per switcher in a desktop session. Each address is claimed by a named mutex in the
// session's own namespace; the system lets go of it when the panel that holds it ends, however it
// ends, so a crashed panel leaves no claim behind.
class SwitcherClaim {
 public:
  SwitcherClaim() = default;
  ~SwitcherClaim();
  SwitcherClaim(const SwitcherClaim&) = delete;
  SwitcherClaim& operator=(const SwitcherClaim&) = delete;

  // True when this panel controls the switcher at `address` from now on (or already did). False
  // when another panel of the session does: its window is brought to the front (restored if it was
  // minimised), and this panel must leave the switcher alone.
  bool claim(int address);

 private:
  HANDLE held_ = nullptr;
  int address_ = -1;
};

}  // namespace orvane::app
