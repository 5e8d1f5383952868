// The Linux program: the Qt front panel on the built-in simulated host.
#include <unistd.h>
#include <QApplication>
#include <QSocketNotifier>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Program.h"
#include "panel/qt/PanelWindow.h"
#include "panel/qt/QtCallWaiter.h"
#include "panel/qt/QtPlatformServices.h"
#include "panel/qt/QtView.h"
#include "panel/qt/WindowManagerClose.h"

namespace {

// Ctrl+C in the terminal, the desktop session's log-out and a shut-down (SIGINT, SIGHUP, SIGTERM)
// end the session as the Windows program's WM_ENDSESSION does. The handler only writes the
// signal's number; the window's thread does the rest, once, when its event loop (or a wait's)
// reads it. After the unload the program ends as that signal would have ended it, so that the
// shell, scripts and systemd see that it was stopped (status 128 + the signal's number).
int signalPipe[2] = {-1, -1};

void onTerminationSignal(int signal) {
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const auto written = write(signalPipe[1], &byte, 1);
}

void onTerminationSignals(const std::function<void(int signal)>& ending) {
  if (pipe(signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
  QObject::connect(notifier, &QSocketNotifier::activated, [notifier, ending] {
    notifier->setEnabled(false);
    char byte = 0;
    const int signal = read(signalPipe[0], &byte, 1) == 1 ? byte : SIGTERM;
    ending(signal);
  });
  struct sigaction action {};
  action.sa_handler = onTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    // A signal ignored when the program started (nohup, a background job) stays ignored.
    struct sigaction before {};
    if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

// Until QApplication is up, Qt's messages are kept: a fatal one (no display, no platform plugin)
// ends the program with its reason, before Qt aborts it.
orvane::host::trace::TraceLog* noDisplayTrace = nullptr;
std::string qtSaid;

void onQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type != QtFatalMsg) {
    qtSaid += message.toStdString() + "\n";
    return;
  }
  const std::string reason = "no display could be opened";
  if (noDisplayTrace) noDisplayTrace->write("the program could not start: " + reason);
  std::fprintf(stderr, "orvane-panel: %s.\n%s", reason.c_str(), qtSaid.c_str());
  std::fflush(nullptr);
  std::_Exit(orvane::app::ExitStartFailed);
}

[[noreturn]] void endAsSignalled(int signal) {
  std::fflush(nullptr);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
  std::_Exit(128 + signal);  // should the signal be blocked
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orvane;
  const auto started = std::chrono::steady_clock::now();
  // The whole command line is read first, before Qt, which would end the program on a missing
  // display before a mistake could be named. Qt's own options are handed on to it.
  const app::CommandLine read = app::readCommandLine(
      std::vector<std::string>(argv + 1, argv + argc), app::Platform::Linux, ORVANE_VERSION);
  if (!read.options) {
    std::fputs(read.text.c_str(), read.textIsError ? stderr : stdout);
    return read.exitStatus;
  }
  const app::Options& options = *read.options;
  if (const auto mistake = app::presetMistake(options)) {
    std::fputs(mistake->c_str(), stderr);
    return app::ExitBadCommandLine;
  }

  // The trace file is opened once the command line has been accepted, before anything is shown. A
  // reader that goes away (a closed pipe) must not end the program.
  std::shared_ptr<host::trace::TraceLog> trace;
  std::string traceError;
  if (!app::openTrace(options, trace, traceError)) {
    std::fprintf(stderr, "orvane-panel: %s\n", traceError.c_str());
    return app::ExitBadCommandLine;
  }
  if (trace) std::signal(SIGPIPE, SIG_IGN);
  std::unique_ptr<app::DcLogFile> dcLog;
  std::string dcLogError;
  if (!app::openDcLog(options, dcLog, dcLogError)) {
    std::fprintf(stderr, "orvane-panel: %s\n", dcLogError.c_str());
    return app::ExitBadCommandLine;
  }

  // With no display (or one that cannot be opened) Qt would abort the process; say so instead,
  // and end as a start that failed.
  noDisplayTrace = trace.get();
  qInstallMessageHandler(onQtMessage);

  std::vector<char*> qtArgv{argv[0]};
  std::vector<std::string> qtArguments = read.qtArguments;
  for (auto& argument : qtArguments) qtArgv.push_back(argument.data());
  qtArgv.push_back(nullptr);
  int qtArgc = static_cast<int>(qtArgv.size()) - 1;
  QApplication application(qtArgc, qtArgv.data());
  QApplication::setQuitOnLastWindowClosed(false);  // the run ends when the panel says so
  qInstallMessageHandler(nullptr);
  noDisplayTrace = nullptr;

  panel::qt::PanelWindow window;
  const panel::qt::WindowManagerClose windowManagerClose(window);
  panel::qt::QtCallWaiter waiter(window, options.hostTimeout);
  panel::qt::QtView view(window);
  panel::qt::QtPlatformServices boxes(window);
  app::Program program({view, boxes, waiter}, options, trace, {}, started);
  program.logDcTo(std::move(dcLog));
  window.attach(program.dispatcher());
  onTerminationSignals([&program](int signal) {
    program.endProcess = [signal](int) { endAsSignalled(signal); };
    program.endSession(signal == SIGINT ? "SIGINT" : signal == SIGHUP ? "SIGHUP" : "SIGTERM");
  });
  QObject::connect(&window, &panel::qt::PanelWindow::runFinished, &application,
                   &QCoreApplication::quit, Qt::QueuedConnection);

  window.load();  // the address prompt and any box of start-up come before the window
  if (program.dispatcher().runEnded() || window.finished()) return program.end();

  window.show();
  if (options.followEvery) window.followEvery(*options.followEvery);
  window.offerPresets(program);
  window.offerDcHistory(program);
  if (options.presetName) {
    window.whenOnScreen([&program, &options] { program.recallPreset(*options.presetName); });
  }
  application.exec();
  return program.end();
}
