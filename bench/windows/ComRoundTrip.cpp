// com_roundtrip_bench: the cost of one out-of-process COM round trip next to the controller's own
// cost of a click, from one run of one program (Windows, or Wine). It needs an automation server
// registered as "Qelvix.Application" in its own process (LocalServer32); bench/windows/
// run-com-bench.sh registers the test server in a fresh Wine prefix and runs this.
//
//   com_roundtrip_bench [ROUNDS]
//
// Prints one "name value unit" line per figure.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bench/BenchSupport.h"
#include "controller/Controller.h"
#include "host/com/ComHost.h"
#include "panel/Dispatcher.h"

namespace {

using namespace orvane;
using Clock = std::chrono::steady_clock;
using host::Arg;
using host::Variant;
using panel::ControlEvent;
using panel::EventKind;

double microsecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// The median of `samples` timings of `op`, each over `batch` runs, in microseconds per run.
template <class Op>
double medianMicroseconds(int samples, int batch, Op&& op) {
  std::vector<double> times;
  for (int s = 0; s < samples; ++s) {
    const auto start = Clock::now();
    for (int i = 0; i < batch; ++i) op();
    times.push_back(microsecondsSince(start) / batch);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void report(const char* name, double value, const char* unit) {
  std::printf("%s %.3f %s\n", name, value, unit);
  std::fflush(stdout);
}

// A controller started on the given factory, with a view that only counts.
struct Program {
  explicit Program(host::ObjectFactory factory)
      : controller(view, services, std::move(factory)), dispatcher(controller, services) {
    view.setRaisedEvents(&dispatcher);
  }
  bench::CountingView view;
  bench::AcceptingServices services;
  controller::Controller controller;
  panel::Dispatcher dispatcher;
};

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;
  host::com::Apartment apartment;

  // The controller's own cost of a click, its view operations included: a host that answers in
  // the same process at once.
  {
    auto instant =
        std::make_shared<bench::InstantHost>(Variant(std::int32_t{0x10}), Variant(std::int32_t{0}));
    Program program(bench::factoryFor(instant));
    auto& s = program.controller.state();
    s.Switcher = instant;
    s.HostApp = instant;
    s.Status_Width = 18;
    s.Keep_Running = true;
    const double own = medianMicroseconds(9, 20000, [&] {
      program.dispatcher.handle(ControlEvent{EventKind::BusAClick, 5});
    });
    report("controller_click_own_cost", own, "us");
  }

  // The same click across the process boundary, and the round trips it is made of.
  try {
    const auto created = Clock::now();
    Program program(host::com::comFactory());
    program.dispatcher.handle(ControlEvent{EventKind::Load});
    if (program.controller.runEnded() || program.dispatcher.failure()) {
      std::fprintf(stderr, "the host could not be started: %s\n",
                   program.dispatcher.failure().value_or("the run ended").c_str());
      return 1;
    }
    report("com_startup_incl_create", microsecondsSince(created) / 1000.0, "ms");

    host::Object& switcher = *program.controller.state().Switcher;
    const double get = medianMicroseconds(5, rounds, [&] { switcher.get("IOSWITCHER_BUS_A"); });
    report("com_round_trip_get", get, "us");
    std::int16_t address = 0;
    Variant a;
    Variant b;
    const double status = medianMicroseconds(5, rounds, [&] {
      switcher.call("IOSWITCHER_GetFullStatus", {Arg::ref(address), Arg::ref(a), Arg::ref(b)});
    });
    report("com_round_trip_get_full_status", status, "us");

    const double click = medianMicroseconds(5, rounds / 2, [&] {
      program.dispatcher.handle(ControlEvent{EventKind::BusAClick, 5});
    });
    report("com_click_mode0_two_calls", click, "us");
    std::int16_t cancel = 0;
    program.controller.Form_Unload(cancel);
  } catch (const host::AutomationError& error) {
    std::fprintf(stderr, "COM: %s\n", error.what());
    return 1;
  }
  return 0;
}
