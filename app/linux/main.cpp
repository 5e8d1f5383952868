// The Linux program: the Qt front panel on the built-in simulated host.
#include <QApplication>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Program.h"
#include "panel/qt/PanelWindow.h"
#include "panel/qt/QtCallWaiter.h"
#include "panel/qt/QtPlatformServices.h"
#include "panel/qt/QtView.h"

namespace {

constexpr int ExitStartupFailed = 1;

// Reads the command line; prints the help, the version or the mistake when there is one.
std::optional<orvane::app::Options> readArguments(int argc, char** argv, bool skipUnknown,
                                                  int& exitStatus) {
  using namespace orvane::app;
  const CommandLine read = readCommandLine(std::vector<std::string>(argv + 1, argv + argc),
                                           Platform::Linux, ORVANE_VERSION, skipUnknown);
  if (!read.options) {
    std::fputs(read.text.c_str(), read.textIsError ? stderr : stdout);
    exitStatus = read.exitStatus;
  }
  return read.options;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orvane;
  int exitStatus = 0;
  // --help and --version work without a display; the rest is read once Qt has taken its own
  // options (-platform, -display, ...) out of the command line.
  const auto early = readArguments(argc, argv, true, exitStatus);
  if (!early) return exitStatus;

  // The trace file is opened before anything is shown. A reader that goes away (a closed pipe)
  // must not end the program.
  std::shared_ptr<host::trace::TraceLog> trace;
  std::string traceError;
  if (!app::openTrace(*early, trace, traceError)) {
    std::fprintf(stderr, "orvane-panel: %s\n", traceError.c_str());
    return app::ExitBadCommandLine;
  }
  if (trace) std::signal(SIGPIPE, SIG_IGN);

  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);  // the run ends when the panel says so
  const auto options = readArguments(argc, argv, false, exitStatus);
  if (!options) return exitStatus;

  panel::qt::PanelWindow window;
  panel::qt::QtCallWaiter waiter(window, options->hostTimeout);
  panel::qt::QtView view(window);
  panel::qt::QtPlatformServices boxes(window);
  app::Program program({view, boxes, waiter}, *options, trace);
  window.attach(program.dispatcher());
  QObject::connect(&window, &panel::qt::PanelWindow::runFinished, &application,
                   &QCoreApplication::quit, Qt::QueuedConnection);

  window.load();  // the address prompt and any box of start-up come before the window
  if (program.dispatcher().failure()) return program.end(ExitStartupFailed);
  if (program.dispatcher().runEnded() || window.finished()) return program.end(0);

  window.show();
  application.exec();
  return program.end(0);
}
