// What the call trace costs. Off (no --trace) the program installs nothing, so a channel click and
// a host call run exactly the code they ran before the trace existed; on, every host call, event
// and box builds its line and writes and flushes it. Argument "trace": 0 off, 1 on into /dev/null
// (the cost of the lines themselves), 2 on into a file (the lines and one write per line).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

#include "bench/BenchSupport.h"
#include "controller/Controller.h"
#include "host/sim/SimulatedHost.h"
#include "host/trace/TracingFactory.h"
#include "panel/Dispatcher.h"
#include "panel/trace/EventTrace.h"
#include "panel/trace/TracingServices.h"

namespace orvane::bench {
namespace {

using panel::ControlEvent;
using panel::EventKind;

// The trace as the program opens it for one benchmark run; the file is removed afterwards.
class BenchTrace {
 public:
  explicit BenchTrace(std::int64_t mode) {
    if (mode == 1) log_ = host::trace::TraceLog::open("/dev/null");
    if (mode == 2) {
      path_ = std::filesystem::temp_directory_path() / "orvane-trace-bench.trace";
      log_ = host::trace::TraceLog::open(path_);
    }
  }
  ~BenchTrace() {
    log_.reset();
    if (!path_.empty()) std::filesystem::remove(path_);
  }
  BenchTrace(const BenchTrace&) = delete;
  BenchTrace& operator=(const BenchTrace&) = delete;

  const std::shared_ptr<host::trace::TraceLog>& log() const { return log_; }

 private:
  std::filesystem::path path_;
  std::shared_ptr<host::trace::TraceLog> log_;
};

// The program on the simulated host and a view that only counts, wired as app/linux wires it:
// with the trace, the decorators go in between; without, nothing does.
struct TracedProgram {
  explicit TracedProgram(const std::shared_ptr<host::trace::TraceLog>& log)
      : factory(log ? host::trace::tracingFactory(sim.factory(), log) : sim.factory()) {
    if (log) {
      tracedBoxes.emplace(boxes, log);
      events.emplace(log);
    }
    controller.emplace(view, services(), factory);
    dispatcher.emplace(*controller, services());
    if (events) dispatcher->setObserver(&*events);
    view.setRaisedEvents(&*dispatcher);
    dispatcher->handle({EventKind::Load});
  }

  controller::PlatformServices& services() {
    return tracedBoxes ? static_cast<controller::PlatformServices&>(*tracedBoxes) : boxes;
  }

  host::sim::SimulatedHost sim;
  host::ObjectFactory factory;
  CountingView view;
  AcceptingServices boxes;
  std::optional<panel::trace::TracingServices> tracedBoxes;
  std::optional<panel::trace::EventTrace> events;
  std::optional<controller::Controller> controller;
  std::optional<panel::Dispatcher> dispatcher;
};

// Bus A's X5, on one click and off the next, mode 0: one event, two host calls, 36 view operations.
void BM_ChannelClick_Trace(benchmark::State& state) {
  BenchTrace trace(state.range(0));
  TracedProgram program(trace.log());
  for (auto _ : state) {
    program.dispatcher->handle(ControlEvent{EventKind::BusAClick, 5});
  }
  if (program.controller->runEnded()) state.SkipWithError("the run ended");
  if (trace.log() && trace.log()->failed()) state.SkipWithError("the trace could not be written");
}
BENCHMARK(BM_ChannelClick_Trace)->ArgName("trace")->DenseRange(0, 2);

// One status read with its three by-reference arguments, straight on the switcher object.
void BM_HostCall_Trace(benchmark::State& state) {
  BenchTrace trace(state.range(0));
  host::sim::SimulatedHost sim;
  const host::ObjectFactory factory =
      trace.log() ? host::trace::tracingFactory(sim.factory(), trace.log()) : sim.factory();
  const host::ObjectRef app = factory("Qelvix.Application");
  const host::ObjectRef switcher = app->get("IOSwitcher").toObject();
  std::int16_t address = 0;
  host::Variant wordA;
  host::Variant wordB;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        switcher->call("IOSWITCHER_GetFullStatus",
                       {host::Arg::ref(address), host::Arg::ref(wordA), host::Arg::ref(wordB)}));
  }
}
BENCHMARK(BM_HostCall_Trace)->ArgName("trace")->DenseRange(0, 2);

}  // namespace
}  // namespace orvane::bench

BENCHMARK_MAIN();
