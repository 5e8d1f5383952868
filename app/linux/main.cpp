// The Linux program: the Qt front panel on the built-in simulated host.
#include <unistd.h>
#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <functional>
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

// Ctrl+C in the terminal, the desktop session's log-out and a shut-down (SIGINT, SIGHUP, SIGTERM)
// end the session as the Windows program's WM_ENDSESSION does. The handler only writes a byte;
// the window's thread does the rest, once, when its event loop (or a wait's) reads it.
int signalPipe[2] = {-1, -1};

void onTerminationSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const auto written = write(signalPipe[1], &byte, 1);
}

void onTerminationSignals(const std::function<void()>& ending) {
  if (pipe(signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
  QObject::connect(notifier, &QSocketNotifier::activated, [notifier, ending] {
    notifier->setEnabled(false);
    ending();
  });
  struct sigaction action {};
  action.sa_handler = onTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
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
  onTerminationSignals([&program] { program.endSession(); });
  QObject::connect(&window, &panel::qt::PanelWindow::runFinished, &application,
                   &QCoreApplication::quit, Qt::QueuedConnection);

  window.load();  // the address prompt and any box of start-up come before the window
  if (program.dispatcher().failure()) return program.end(ExitStartupFailed);
  if (program.dispatcher().runEnded() || window.finished()) return program.end(0);

  window.show();
  application.exec();
  return program.end(0);
}
