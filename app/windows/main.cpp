// The Windows program: the Win32 panel and the controller, on the host application through COM,
// or on the built-in simulated host with --simulate. Either host lives on a thread of its own,
// which the window's thread waits for.
#include "panel/win32/Win32Panel.h"
// After windows.h, which the panel's header brings.
#include <shellapi.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "AppVersion.h"
#include "app/CommandLine.h"
#include "app/Program.h"
#include "app/windows/AppResources.h"
#include "app/windows/CommandLineReport.h"
#include "app/windows/SwitcherClaim.h"
#include "host/com/ComHost.h"
#include "host/com/HostApartment.h"
#include "host/com/WideText.h"
#include "panel/win32/Win32CallWaiter.h"

namespace {

// The arguments after the program's name, as UTF-8.
std::vector<std::string> utf8Arguments() {
  std::vector<std::string> arguments;
  int argc = 0;
  if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc)) {
    for (int i = 1; i < argc; ++i) arguments.push_back(orvane::host::com::toUtf8(argv[i]));
    LocalFree(argv);
  }
  return arguments;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  using namespace orvane;
  const auto started = std::chrono::steady_clock::now();
  const app::CommandLine read =
      app::readCommandLine(utf8Arguments(), app::Platform::Windows, ORVANE_VERSION_TEXT);
  if (!read.options) return app::reportCommandLine(read);
  const app::Options& options = *read.options;
  if (const auto mistake = app::presetMistake(options)) {
    return app::reportCommandLine(
        {.text = *mistake, .textIsError = true, .exitStatus = app::ExitBadCommandLine});
  }
  // One panel per switcher: a second panel for a switcher that a panel of this desktop session
  // already controls brings that one to the front and ends, as Cancel at the prompt does. With
  // --address this is known before the host is even created, and before the trace is opened, so
  // that a second launch of the same shortcut adds its line to the first panel's trace instead of
  // emptying it; otherwise the prompt's answer is checked before anything reaches the switcher. A
  // simulated host is every panel's own.
  app::SwitcherClaim claim;
  if (options.address && !options.simulate && !claim.claim(*options.address)) {
    std::shared_ptr<host::trace::TraceLog> trace;
    std::string unwritable;  // no trace then: the claim holds all the same
    if (app::openTrace(options, trace, unwritable, host::trace::TraceLog::Mode::Append) && trace) {
      trace->write(app::anotherPanelLine(*options.address));
    }
    return app::ExitEnded;
  }

  // A trace file that cannot be written is a mistake of the command line, told as one.
  std::shared_ptr<host::trace::TraceLog> trace;
  std::string traceError;
  if (!app::openTrace(options, trace, traceError)) {
    return app::reportCommandLine(
        {.text = traceError + "\n", .textIsError = true, .exitStatus = app::ExitBadCommandLine});
  }
  std::unique_ptr<app::DcLogFile> dcLog;
  std::string dcLogError;
  if (!app::openDcLog(options, dcLog, dcLogError)) {
    return app::reportCommandLine(
        {.text = dcLogError + "\n", .textIsError = true, .exitStatus = app::ExitBadCommandLine});
  }

  try {
    panel::win32::Win32Panel panel(instance, ORVANE_IDI_APP);
    panel::win32::Win32CallWaiter waiter({options.hostTimeout});
    waiter.setBoxOwner([&panel]() -> HWND {
      const HWND window = panel.window();
      return window && IsWindowVisible(window) ? window : nullptr;  // none during start-up
    });
    // The COM host's objects are made and called in a single-threaded apartment of their own.
    const app::RealHost qelvix{host::com::comFactory(),
                               [] { return std::make_unique<host::com::HostApartment>(); },
                               [&claim](int address) { return claim.claim(address); }};
    app::Program program({panel, panel, waiter}, options, trace, qelvix, started);
    program.logDcTo(std::move(dcLog));
    panel.attach(program.dispatcher());
    panel.onSessionEnding([&program] { program.endSession("the Windows session end"); });
    if (options.followEvery) panel.followEvery(*options.followEvery);
    panel.offerPresets(program);
    panel.offerDcHistory(program);
    panel.run(showCommand, [&] {
      if (options.presetName) program.recallPreset(*options.presetName);
    });
    return program.end(panel.failedUnexpectedly() ? app::ExitSoftware : program.exitStatus());
  } catch (const std::exception& error) {  // no window, no apartment: the program cannot start
    return app::reportFailedStart(error.what(), app::ExitStartFailed);
  }
}
