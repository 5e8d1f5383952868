// What the controller costs per action: the status decode, a full poll, one channel click and one
// DC tick, against a host that answers at once (the controller's own cost) and against the
// simulated host with no latency. Every benchmark reports the host calls and view operations it
// makes per iteration next to its time, so a change in either shows up at once.
#include <benchmark/benchmark.h>

#include <array>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "bench/BenchSupport.h"
#include "controller/Controller.h"
#include "host/HostThread.h"
#include "host/sim/SimulatedHost.h"
#include "panel/Dispatcher.h"
#include "panel/headless/HeadlessCallWaiter.h"
#include "panel/headless/HeadlessView.h"

namespace orvane::bench {
namespace {

using controller::Controller;
using panel::ControlEvent;
using panel::EventKind;

// Status word pairs: all off, everything on, and a mixed pattern with both relays on one bus.
constexpr std::array<std::array<std::int32_t, 2>, 3> StatusWords{{
    {0, 0},
    {0x3FFFF, 0x3FFFF},
    {0x15555, 0x2AAAA},
}};

void setPerIteration(benchmark::State& state, const char* name, double total) {
  state.counters[name] = benchmark::Counter(total, benchmark::Counter::kAvgIterations);
}

// The controller wired to a host object without start-up: only the fields a poll reads are set.
struct BareController {
  explicit BareController(std::shared_ptr<InstantHost> host)
      : host(std::move(host)), controller(view, services, factoryFor(this->host)) {
    auto& s = controller.state();
    s.Switcher = this->host;
    s.HostApp = this->host;
    s.Switcher_Address = 0;
    s.Status_Width = 18;
    s.Keep_Running = true;
    s.Title_Text = "Orvane I/O Switcher 0";
  }

  std::shared_ptr<InstantHost> host;
  CountingView view;
  AcceptingServices services;
  Controller controller;
};

// The whole program without a window, started: the address prompt accepted with "0".
template <class View>
struct StartedProgram {
  explicit StartedProgram(host::ObjectFactory factory)
      : controller(view, services, std::move(factory)), dispatcher(controller, services) {
    view.setRaisedEvents(&dispatcher);
    dispatcher.handle({EventKind::Load});
  }

  View view;
  AcceptingServices services;
  Controller controller;
  panel::Dispatcher dispatcher;
};

void clearRecordedOperations(CountingView&) {}
void clearRecordedOperations(panel::HeadlessView& view) {
  view.clearOperations();
}

// --- the status decode: Get_Status against a host that hands back two fixed words --------------

void BM_StatusDecode(benchmark::State& state) {
  const auto& words = StatusWords[static_cast<std::size_t>(state.range(0))];
  BareController bare(
      std::make_shared<InstantHost>(host::Variant(words[0]), host::Variant(words[1])));
  for (auto _ : state) {
    bare.controller.Get_Status();
  }
  if (bare.controller.runEnded()) state.SkipWithError("the poll took its error path");
  setPerIteration(state, "host_calls", static_cast<double>(bare.host->calls));
  setPerIteration(state, "view_ops", static_cast<double>(bare.view.operations));
}
BENCHMARK(BM_StatusDecode)->ArgName("words")->DenseRange(0, 2);

// --- one full poll against the simulated host, painting into the headless view ----------------

void BM_FullPoll_SimHeadless(benchmark::State& state) {
  host::sim::SimulatedHost sim;
  StartedProgram<panel::HeadlessView> program(sim.factory());
  const long callsBefore = sim.callCount();
  std::size_t operations = 0;
  for (auto _ : state) {
    program.controller.Get_Status();
    operations += program.view.operations().size();
    clearRecordedOperations(program.view);  // the recording is part of the headless view's cost
  }
  if (program.controller.runEnded()) state.SkipWithError("the run ended");
  setPerIteration(state, "host_calls", static_cast<double>(sim.callCount() - callsBefore));
  setPerIteration(state, "view_ops", static_cast<double>(operations));
}
BENCHMARK(BM_FullPoll_SimHeadless);

// --- one channel click end to end: the dispatcher, Process and the poll that ends it ----------
// Bus A's X5 toggles on one click and off the next. Argument: the link mode (0: one switching
// call, 1: two).

void BM_ChannelClick_Instant(benchmark::State& state) {
  BareController bare(std::make_shared<InstantHost>(host::Variant(std::int32_t{0x10}),
                                                    host::Variant(std::int32_t{0})));
  bare.controller.state().Link_Mode = static_cast<std::int16_t>(state.range(0));
  panel::Dispatcher dispatcher(bare.controller, bare.services);
  bare.view.setRaisedEvents(&dispatcher);
  for (auto _ : state) {
    dispatcher.handle(ControlEvent{EventKind::BusAClick, 5});
  }
  if (bare.controller.runEnded()) state.SkipWithError("the run ended");
  setPerIteration(state, "host_calls", static_cast<double>(bare.host->calls));
  setPerIteration(state, "view_ops", static_cast<double>(bare.view.operations));
}
BENCHMARK(BM_ChannelClick_Instant)->ArgName("mode")->Arg(0)->Arg(1);

template <class View>
void channelClickOnSim(benchmark::State& state) {
  host::sim::SimulatedHost sim;
  StartedProgram<View> program(sim.factory());
  program.controller.state().Link_Mode = static_cast<std::int16_t>(state.range(0));
  const long callsBefore = sim.callCount();
  for (auto _ : state) {
    program.dispatcher.handle(ControlEvent{EventKind::BusAClick, 5});
    clearRecordedOperations(program.view);
  }
  if (program.controller.runEnded()) state.SkipWithError("the run ended");
  setPerIteration(state, "host_calls", static_cast<double>(sim.callCount() - callsBefore));
}

void BM_ChannelClick_SimCounting(benchmark::State& state) {
  channelClickOnSim<CountingView>(state);
}
BENCHMARK(BM_ChannelClick_SimCounting)->ArgName("mode")->Arg(0)->Arg(1);

void BM_ChannelClick_SimHeadless(benchmark::State& state) {
  channelClickOnSim<panel::HeadlessView>(state);
}
BENCHMARK(BM_ChannelClick_SimHeadless)->ArgName("mode")->Arg(0)->Arg(1);

// --- a full recall: a mode, all 32 channels, both Load and both Bal relays, then back to empty --
// Each iteration recalls "full" and "empty" in turn. The switching calls (channels and relays) are
// reported against their least possible number: 32 + 4 for "full", none for "empty", whose mode's
// reset turns everything off already. host_calls counts everything, the mode's reset and the reads
// around it included.

void BM_PresetRecall_SimHeadless(benchmark::State& state) {
  host::sim::SimulatedHost sim;
  StartedProgram<panel::HeadlessView> program(sim.factory());
  controller::Preset full{"full", 2, {}, {true, true}, {true, true}};
  for (auto& bus : full.on) bus.fill(true);
  const controller::Preset empty{"empty", 0, {}, {}, {}};
  long switching = 0;
  sim.setCallHook([&switching](const std::string& member) {
    if (member.starts_with("SWITCHER_AddChannel") || member.starts_with("SWITCHER_RemoveChannel") ||
        member == "IOSWITCHER_BusLoad" || member == "SWITCHER_Balance") {
      ++switching;
    }
  });
  const long callsBefore = sim.callCount();
  for (auto _ : state) {
    program.controller.recallPreset(full);
    program.controller.recallPreset(empty);
    clearRecordedOperations(program.view);
  }
  if (program.controller.runEnded()) state.SkipWithError("the run ended");
  setPerIteration(state, "host_calls", static_cast<double>(sim.callCount() - callsBefore));
  setPerIteration(state, "switching_calls", static_cast<double>(switching));
  state.counters["switching_least"] = 32 + 4;
}
BENCHMARK(BM_PresetRecall_SimHeadless);

// --- the same click with the simulated host on the host thread, as the programs run it --------

void BM_ChannelClick_SimHostThread(benchmark::State& state) {
  host::sim::SimulatedHost sim;
  panel::HeadlessCallWaiter waiter;
  host::HostThread hostThread(waiter);
  StartedProgram<CountingView> program(hostThread.wrap(sim.factory()));
  program.controller.state().Link_Mode = static_cast<std::int16_t>(state.range(0));
  for (auto _ : state) {
    program.dispatcher.handle(ControlEvent{EventKind::BusAClick, 5});
  }
  if (program.controller.runEnded()) state.SkipWithError("the run ended");
}
BENCHMARK(BM_ChannelClick_SimHostThread)->ArgName("mode")->Arg(0)->Arg(1);

// --- one host call (the status read, three by-reference arguments), direct and handed over ---

void fullStatusCalls(benchmark::State& state, const host::ObjectFactory& factory) {
  const auto app = factory("Qelvix.Application");
  const auto switcher = app->get("IOSwitcher").toObject();
  std::int16_t address = 0;
  host::Variant statusA;
  host::Variant statusB;
  for (auto _ : state) {
    switcher->call("IOSWITCHER_GetFullStatus",
                   {host::Arg::ref(address), host::Arg::ref(statusA), host::Arg::ref(statusB)});
  }
}

void BM_HostCall_Direct(benchmark::State& state) {
  host::sim::SimulatedHost sim;
  fullStatusCalls(state, sim.factory());
}
BENCHMARK(BM_HostCall_Direct);

// The floor under the host thread's cost: one bare round trip to another thread and back through a
// mutex and two condition variables, with no record, no queue and no waiter. Registered between the
// direct call and the handed-over one, so that all three are measured side by side in one run.
void BM_RoundTrip_ConditionVariable(benchmark::State& state) {
  std::mutex mutex;
  std::condition_variable asked;
  std::condition_variable answered;
  long requests = 0;
  long answers = 0;
  bool stop = false;
  std::thread other([&] {
    std::unique_lock lock(mutex);
    for (;;) {
      asked.wait(lock, [&] { return requests > answers || stop; });
      if (stop) return;
      answers = requests;
      answered.notify_one();
    }
  });
  for (auto _ : state) {
    std::unique_lock lock(mutex);
    ++requests;
    asked.notify_one();
    answered.wait(lock, [&] { return answers == requests; });
  }
  {
    const std::lock_guard lock(mutex);
    stop = true;
  }
  asked.notify_one();
  other.join();
}
BENCHMARK(BM_RoundTrip_ConditionVariable);

void BM_HostCall_HostThread(benchmark::State& state) {
  host::sim::SimulatedHost sim;
  panel::HeadlessCallWaiter waiter;
  host::HostThread hostThread(waiter);
  fullStatusCalls(state, hostThread.wrap(sim.factory()));
}
BENCHMARK(BM_HostCall_HostThread);

// --- one DC tick with the monitor on: two bus constants, two readings, four captions ----------

void BM_DcTick_Instant(benchmark::State& state) {
  BareController bare(std::make_shared<InstantHost>(host::Variant(), host::Variant()));
  bare.controller.state().DC_On = true;
  panel::Dispatcher dispatcher(bare.controller, bare.services);
  for (auto _ : state) {
    dispatcher.handle(ControlEvent{EventKind::TimerTick});
  }
  setPerIteration(state, "host_calls", static_cast<double>(bare.host->calls));
  setPerIteration(state, "view_ops", static_cast<double>(bare.view.operations));
}
BENCHMARK(BM_DcTick_Instant);

void BM_DcTick_SimHeadless(benchmark::State& state) {
  host::sim::SimulatedHost sim;
  StartedProgram<panel::HeadlessView> program(sim.factory());
  program.dispatcher.handle(ControlEvent{EventKind::DCClick});
  const long callsBefore = sim.callCount();
  for (auto _ : state) {
    program.dispatcher.handle(ControlEvent{EventKind::TimerTick});
    clearRecordedOperations(program.view);
  }
  if (program.controller.runEnded()) state.SkipWithError("the run ended");
  setPerIteration(state, "host_calls", static_cast<double>(sim.callCount() - callsBefore));
}
BENCHMARK(BM_DcTick_SimHeadless);

}  // namespace
}  // namespace orvane::bench

BENCHMARK_MAIN();
