// com_roundtrip_bench: the cost of one out-of-process COM round trip next to the controller's own
// cost of a click, and next to the same round trip made on the host thread while the calling
// thread waits as the panel's does, from one run of one program (Windows, or Wine). It needs an
// automation server
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
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "controller/Controller.h"
#include "host/HostThread.h"
#include "host/com/BusyHostRetry.h"
#include "host/com/ComHost.h"
#include "host/com/HostApartment.h"
#include "panel/Dispatcher.h"
#include "panel/win32/Win32CallWaiter.h"

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

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct SideBySide {
  double direct = 0;
  double threaded = 0;
  double extra = 0;  // the median of the differences within each pair
  // The fastest call of each side: what the machine gives when nothing else is in the way.
  double fastestDirect = 0;
  double fastestThreaded = 0;
};

// The same operation made directly and through the host thread, in pairs of `batch` calls each
// (in turns first and second), so that both sides of each pair see the same load; microseconds per
// call. With a batch of one the host thread has gone to sleep before each of its calls, as before
// the first call of an operation; with more, the calls follow each other as within an operation.
template <class Direct, class Threaded>
SideBySide sideBySide(int pairs, int batch, Direct&& direct, Threaded&& threaded) {
  std::vector<double> d;
  std::vector<double> t;
  std::vector<double> extra;
  const auto time = [batch](auto& op) {
    const auto start = Clock::now();
    for (int i = 0; i < batch; ++i) op();
    return microsecondsSince(start) / batch;
  };
  for (int i = 0; i < pairs; ++i) {
    if (i % 2 == 0) {
      d.push_back(time(direct));
      t.push_back(time(threaded));
    } else {
      t.push_back(time(threaded));
      d.push_back(time(direct));
    }
    extra.push_back(t.back() - d.back());
  }
  return {median(d), median(t), median(extra), *std::min_element(d.begin(), d.end()),
          *std::min_element(t.begin(), t.end())};
}

void report(const char* name, double value, const char* unit) {
  std::printf("%s %.3f %s\n", name, value, unit);
  std::fflush(stdout);
}

void report(const std::string& name, const SideBySide& figures) {
  report(name.c_str(), figures.direct, "us");
  report((name + "_host_thread").c_str(), figures.threaded, "us");
  report((name + "_host_thread_extra").c_str(), figures.extra, "us");
  report((name + "_fastest").c_str(), figures.fastestDirect, "us");
  report((name + "_host_thread_fastest").c_str(), figures.fastestThreaded, "us");
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
  // As the program had it before the host thread: the busy-host retry on the calling apartment, as
  // the host thread's apartment has it now.
  const host::com::BusyHostRetry busyHostRetry;

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

    // The hand-over itself: the same instant host, directly and through the host thread.
    panel::win32::Win32CallWaiter waiter({});
    host::HostThread hostThread(waiter);
    const host::ObjectRef threaded = hostThread.wrap(bench::factoryFor(instant))("instant");
    report("instant_get", sideBySide(
                              rounds * 50, 1, [&] { instant->get("IOSWITCHER_BUS_A"); },
                              [&] { threaded->get("IOSWITCHER_BUS_A"); }));
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

    // A second host on a host thread in its own apartment, waited for as the panel waits.
    panel::win32::Win32CallWaiter waiter({});
    host::com::HostApartment hostApartment;
    host::HostThread hostThread(
        waiter, [&] { hostApartment.enter(); }, [&] { hostApartment.leave(); });
    Program threaded(hostThread.wrap(host::com::comFactory()));
    threaded.dispatcher.handle(ControlEvent{EventKind::Load});
    if (threaded.controller.runEnded() || threaded.dispatcher.failure()) {
      std::fprintf(stderr, "the host on the host thread could not be started: %s\n",
                   threaded.dispatcher.failure().value_or("the run ended").c_str());
      return 1;
    }

    host::Object& switcher = *program.controller.state().Switcher;
    host::Object& threadedSwitcher = *threaded.controller.state().Switcher;
    const auto get = [&](int batch) {
      return sideBySide(
          rounds * 10 / batch, batch, [&] { switcher.get("IOSWITCHER_BUS_A"); },
          [&] { threadedSwitcher.get("IOSWITCHER_BUS_A"); });
    };
    report("com_round_trip_get", get(1));
    // The control: two servers called directly, one against the other. The host thread's side
    // calls a server of its own, so this is how much of its extra two servers differ by.
    {
      Program other(host::com::comFactory());
      other.dispatcher.handle(ControlEvent{EventKind::Load});
      host::Object& otherSwitcher = *other.controller.state().Switcher;
      report("com_round_trip_get_x10_two_servers",
             sideBySide(
                 rounds, 10, [&] { switcher.get("IOSWITCHER_BUS_A"); },
                 [&] { otherSwitcher.get("IOSWITCHER_BUS_A"); }));
      std::int16_t cancel = 0;
      other.controller.Form_Unload(cancel);
    }
    report("com_round_trip_get_x10", get(10));
    std::int16_t address = 0;
    Variant a;
    Variant b;
    const SideBySide status = sideBySide(
        rounds * 10, 1,
        [&] {
          switcher.call("IOSWITCHER_GetFullStatus", {Arg::ref(address), Arg::ref(a), Arg::ref(b)});
        },
        [&] {
          threadedSwitcher.call("IOSWITCHER_GetFullStatus",
                                {Arg::ref(address), Arg::ref(a), Arg::ref(b)});
        });
    report("com_round_trip_get_full_status", status);

    const double click = medianMicroseconds(5, rounds / 2, [&] {
      program.dispatcher.handle(ControlEvent{EventKind::BusAClick, 5});
    });
    report("com_click_mode0_two_calls", click, "us");
    std::int16_t cancel = 0;
    program.controller.Form_Unload(cancel);
    threaded.controller.Form_Unload(cancel);
  } catch (const host::AutomationError& error) {
    std::fprintf(stderr, "COM: %s\n", error.what());
    return 1;
  }
  return 0;
}
