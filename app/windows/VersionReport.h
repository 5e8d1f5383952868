#pragma once

namespace orvane::app {

// --version: "orvane-panel VERSION" on standard output when that leads to a pipe or a file
// (`orvane-panel --version > v.txt`, `... | more`), otherwise a message box, as a program started
// from the desktop or from a console without redirection has nowhere else to show it. Returns the
// program's exit code.
int reportVersion();

}  // namespace orvane::app
