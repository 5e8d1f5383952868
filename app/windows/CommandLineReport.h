#pragma once

#include <string>

#include "app/CommandLine.h"

namespace orvane::app {

// What the command line has to say before the program leaves at once (the help, the version, a
// mistake): on standard output (standard error for a mistake) when that leads to a pipe or a file
// (`orvane-panel --version > v.txt`, `... | more`), otherwise in a message box, as a program
// started from the desktop or from a console without redirection has nowhere else to show it.
// Returns the program's exit code.
int reportCommandLine(const CommandLine& read);

// A start-up that failed before the window: the same way, as a mistake. Returns the exit code.
int reportFailedStart(const std::string& text, ExitStatus exitStatus);

}  // namespace orvane::app
