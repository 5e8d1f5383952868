#pragma once

namespace orvane::app {

// How both programs end, so that a script or a service manager can tell success from failure.
enum ExitStatus : int {
  // The operator ended the run: the close box, or Cancel at the address prompt or in the start-up
  // window; also a desktop session end that found the run going normally.
  ExitEnded = 0,
  // The program could not start: the host object not created, its switcher unreadable, a window
  // or an apartment not made.
  ExitStartFailed = 1,
  // A mistake on the command line.
  ExitBadCommandLine = 2,
  // The connection was lost: the lost-connection box (also after giving up on a host that did not
  // answer), or Cancel after a failed reset.
  ExitConnectionLost = 3,
};

}  // namespace orvane::app
