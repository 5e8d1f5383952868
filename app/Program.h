#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "app/CommandLine.h"
#include "controller/Controller.h"
#include "host/HostThread.h"
#include "host/sim/SimulatedHost.h"
#include "host/trace/TraceLog.h"
#include "panel/Dispatcher.h"
#include "panel/HostWait.h"
#include "panel/trace/EventTrace.h"
#include "panel/trace/TracingServices.h"

namespace orvane::app {

// What the caption carries after the controller's title while the program runs on the simulated
// host, so that a simulated switcher is never taken for a real one.
inline constexpr const char* SimulatedMark = " (simulated)";

// What a panel brings to the program.
struct PanelParts {
  panel::View& view;
  controller::PlatformServices& services;
  panel::HostWait& wait;
};

// The real host application: how to create its objects and where the host thread must live for
// that (a COM apartment on Windows).
struct RealHost {
  host::ObjectFactory factory;
  std::function<std::unique_ptr<host::ThreadHome>()> home;
};

// A running program, assembled the same way by both entry points:
// host factory -> host thread -> trace -> controller -> dispatcher -> panel. The host (the
// simulated one, or the real one) lives on the host thread; with --trace, the host calls, the
// boxes and the events are traced, and nothing is put in between without it. The trace sits
// outside the host thread, so a call's duration includes the wait for it and a call given up on
// shows as an error. The panel attaches the dispatcher to its window and runs its event loop.
class Program {
 public:
  Program(PanelParts panel, const Options& options, std::shared_ptr<host::trace::TraceLog> trace,
          RealHost real = {});
  ~Program() { letGoOfHost(); }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  panel::Dispatcher& dispatcher() { return *dispatcher_; }
  const controller::Controller& controller() const { return *controller_; }
  host::sim::SimulatedHost* simulatedHost() { return simulated_ ? &*simulated_ : nullptr; }
  bool givenUp() const { return hostThread_.givenUp(); }

  // The end of the run: lets go of the host and returns `status`. Once the operator has given up
  // on the host, its thread may still be inside the host and may yet wake up, so the process ends
  // here with `status`, without running destructors under its feet.
  int end(int status);

 private:
  // The controller lets go of the host objects first; then the queued releases are waited for
  // (through the wait, with the box should the host not answer them), unless the operator has
  // already given up on the host.
  void letGoOfHost();

  panel::HostWait& wait_;
  std::optional<host::sim::SimulatedHost> simulated_;
  host::HostThread hostThread_;
  std::optional<panel::trace::TracingServices> tracedServices_;
  std::optional<panel::trace::EventTrace> eventTrace_;
  std::optional<controller::Controller> controller_;
  std::optional<panel::Dispatcher> dispatcher_;
};

// Opens the trace file the command line names, if any. A file that cannot be written is a mistake
// of the command line: returns false with the reason in `error`.
bool openTrace(const Options& options, std::shared_ptr<host::trace::TraceLog>& trace,
               std::string& error);

}  // namespace orvane::app
