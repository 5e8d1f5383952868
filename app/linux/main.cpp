// The Linux program: the Qt front panel on the built-in simulated host.
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/linux/Options.h"
#include "controller/Controller.h"
#include "host/HostThread.h"
#include "host/sim/SimulatedHost.h"
#include "panel/Dispatcher.h"
#include "panel/qt/PanelWindow.h"
#include "panel/qt/QtCallWaiter.h"
#include "panel/qt/QtPlatformServices.h"
#include "panel/qt/QtView.h"

namespace {

constexpr int ExitStartupFailed = 1;
constexpr int ExitBadCommandLine = 2;

std::vector<std::string> argumentsAfterProgram(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

// After the operator has given up on the host, its thread may still be inside the host, and may
// yet wake up: the process ends here, without running destructors under its feet.
int leave(const orvane::host::HostThread& hostThread, int status) {
  if (!hostThread.givenUp()) return status;
  std::fflush(nullptr);
  std::quick_exit(status);
}

void armBlock(orvane::host::sim::SimulatedHost& host, const orvane::app::Options& options) {
  using orvane::host::sim::FaultKind;
  using orvane::host::sim::FaultSpec;
  if (options.blockMember.empty()) return;
  if (options.blockFromCall > 1) {
    host.injectFault(options.blockMember, FaultSpec(FaultKind::None, options.blockFromCall - 1));
  }
  host.injectFault(options.blockMember, FaultSpec(FaultKind::Block, FaultSpec::Always));
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orvane;
  const std::string program = argc > 0 ? argv[0] : "orvane-panel";

  // --help and --version work without a display; the rest is read once Qt has taken its own
  // options (-platform, -display, ...) out of the command line.
  const auto early = app::parseOptions(argumentsAfterProgram(argc, argv), true);
  if (!early.options) {
    std::fprintf(stderr, "%s: %s\n%s", program.c_str(), early.error.c_str(),
                 app::usageText(program).c_str());
    return ExitBadCommandLine;
  }
  if (early.options->help) {
    std::fputs(app::usageText(program).c_str(), stdout);
    return 0;
  }
  if (early.options->version) {
    std::printf("orvane-panel %s\n", ORVANE_VERSION);
    return 0;
  }

  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);  // the run ends when the panel says so
  const auto parsed = app::parseOptions(argumentsAfterProgram(argc, argv));
  if (!parsed.options) {
    std::fprintf(stderr, "%s: %s\n%s", program.c_str(), parsed.error.c_str(),
                 app::usageText(program).c_str());
    return ExitBadCommandLine;
  }
  const app::Options& options = *parsed.options;

  host::sim::SimulatedHost host(options.sim);
  if (options.latencyMs > 0) host.setLatency(std::chrono::milliseconds(options.latencyMs));
  armBlock(host, options);

  panel::qt::PanelWindow window;
  panel::qt::QtCallWaiter waiter(window, options.hostTimeout);
  // The simulated host lives on the host thread, as a real one would.
  host::HostThread hostThread(waiter);
  panel::qt::QtView view(window);
  panel::qt::QtPlatformServices services(window);
  controller::Controller controller(view, services, hostThread.wrap(host.factory()));
  waiter.box.title = [&controller] { return controller.state().Title_Text; };
  panel::Dispatcher dispatcher(controller, services);
  view.setRaisedEvents(&dispatcher);
  window.attach(dispatcher);
  QObject::connect(&window, &panel::qt::PanelWindow::runFinished, &application,
                   &QCoreApplication::quit, Qt::QueuedConnection);

  window.load();  // the address prompt and any box of start-up come before the window
  if (dispatcher.failure()) return leave(hostThread, ExitStartupFailed);
  if (dispatcher.runEnded() || window.finished()) return leave(hostThread, 0);

  window.show();
  application.exec();
  return leave(hostThread, 0);
}
