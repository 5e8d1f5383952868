#pragma once

namespace orvane::app {

// How both programs end, so that a script or a service manager can tell success from failure.
enum ExitStatus : int {
  // The operator ended the run: the close box, or Cancel at the address prompt or in the start-up
  // window; also a desktop session end that found the run going normally.
  ExitEnded = 0,
  // The program could not start: the host object not created, its switcher unreadable, no display
  // (Linux), a window or an apartment not made (Windows).
  ExitStartFailed = 1,
  // A mistake on the command line.
  ExitBadCommandLine = 2,
  // The connection was lost: the lost-connection box, which giving up on a host that does not
  // answer also brings, whatever call hung; a give-up on the close's own reset (no box then); or
  // Cancel after a failed reset.
  ExitConnectionLost = 3,
  // An unexpected internal error: a fault of the program's own (EX_SOFTWARE of sysexits).
  ExitSoftware = 70,
};

}  // namespace orvane::app
