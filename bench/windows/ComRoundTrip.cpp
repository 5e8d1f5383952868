// com_roundtrip_bench: the cost of one out-of-process COM round trip next to the controller's own
// cost of a click, and next to the same round trip made on the host thread while the calling
// thread waits as the panel's does, from one run of one program (Windows, or Wine). Both sides
// call the same server process: the host thread's proxy is the direct side's, marshalled into its
// apartment. It needs an automation server registered as "Qelvix.Application" in its own process
// (LocalServer32); bench/windows/run-com-bench.sh registers the test server in a fresh Wine prefix
// and runs this.
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
#include <thread>
#include <vector>

#include "bench/BenchSupport.h"
#include "controller/Controller.h"
#include "host/HostThread.h"
#include "host/com/BusyHostRetry.h"
#include "host/com/ComHost.h"
#include "host/com/DispatchObject.h"
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

// The median of a set of differences and its interquartile range.
struct Spread {
  double median = 0;
  double q1 = 0;
  double q3 = 0;
};

Spread spreadOf(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const auto at = [&](std::size_t quarter) { return values[values.size() * quarter / 4]; };
  return {at(2), at(1), at(3)};
}

struct SideBySide {
  double direct = 0;
  double threaded = 0;
  Spread extra;  // of the differences within each pair
  // The fastest call of each side: what the machine gives when nothing else is in the way.
  double fastestDirect = 0;
  double fastestThreaded = 0;
};

// What comes just before each timed batch: one untimed call, so that the host thread is awake as
// within an operation, or a pause, after which it has stopped spinning and sleeps, as before the
// first call of an operation.
enum class Pace { Consecutive, AfterPause };
constexpr auto Pause = std::chrono::milliseconds(2);

// The same operation made directly and through the host thread, in pairs of `batch` calls each,
// in turns first and second (AB BA AB ...) so that drift and load cancel out; microseconds per
// call. The figure that counts is the median of the differences within each pair.
template <class Direct, class Threaded>
SideBySide sideBySide(int pairs, int batch, Pace pace, Direct&& direct, Threaded&& threaded) {
  std::vector<double> d;
  std::vector<double> t;
  std::vector<double> extra;
  const auto time = [batch, pace](auto& op) {
    if (pace == Pace::AfterPause) {
      std::this_thread::sleep_for(Pause);
    } else {
      op();
    }
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
  return {median(d), median(t), spreadOf(extra), *std::min_element(d.begin(), d.end()),
          *std::min_element(t.begin(), t.end())};
}

void report(const char* name, double value, const char* unit) {
  std::printf("%s %.3f %s\n", name, value, unit);
  std::fflush(stdout);
}

void report(const std::string& name, const SideBySide& figures) {
  report(name.c_str(), figures.direct, "us");
  report((name + "_host_thread").c_str(), figures.threaded, "us");
  report((name + "_host_thread_extra").c_str(), figures.extra.median, "us");
  report((name + "_host_thread_extra_q1").c_str(), figures.extra.q1, "us");
  report((name + "_host_thread_extra_q3").c_str(), figures.extra.q3, "us");
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
    report("instant_get",
           sideBySide(
               rounds * 50, 1, Pace::Consecutive, [&] { instant->get("IOSWITCHER_BUS_A"); },
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

    // The same server reached from a host thread in its own apartment, waited for as the panel
    // waits: the direct side's switcher marshalled into that apartment, so that both proxies talk
    // to one server process and the pairs differ by the host thread alone.
    host::Object& switcher = *program.controller.state().Switcher;
    auto* dispatchObject = dynamic_cast<host::com::DispatchObject*>(&switcher);
    if (dispatchObject == nullptr) {
      std::fprintf(stderr, "the switcher is not a COM object\n");
      return 1;
    }
    // Each call hands out a factory for one more proxy of the switcher, to be made on a host
    // thread.
    const auto marshalled = [&]() -> host::ObjectFactory {
      IStream* stream = nullptr;
      if (FAILED(CoMarshalInterThreadInterfaceInStream(IID_IDispatch, dispatchObject->dispatch(),
                                                       &stream))) {
        throw host::HostError("CoMarshalInterThreadInterfaceInStream", "failed");
      }
      return [stream](const std::string&) -> host::ObjectRef {
        IDispatch* dispatch = nullptr;
        if (FAILED(CoGetInterfaceAndReleaseStream(stream, IID_IDispatch,
                                                  reinterpret_cast<void**>(&dispatch)))) {
          throw host::HostError("CoGetInterfaceAndReleaseStream", "the switcher did not arrive");
        }
        return host::com::wrapDispatch(host::com::ComPtr<IDispatch>::adopt(dispatch));
      };
    };
    panel::win32::Win32CallWaiter waiter({});
    host::HostThread hostThread(waiter, std::make_unique<host::com::HostApartment>());
    const host::ObjectRef threadedRef = hostThread.wrap(marshalled())("switcher");
    host::Object& threadedSwitcher = *threadedRef;

    const auto get = [&](int pairs, int batch, Pace pace) {
      return sideBySide(
          pairs, batch, pace, [&] { switcher.get("IOSWITCHER_BUS_A"); },
          [&] { threadedSwitcher.get("IOSWITCHER_BUS_A"); });
    };
    // The control: the direct side against itself, paired the same way; its spread is how finely
    // this machine resolves a difference at the moment.
    report("com_round_trip_get_x10_control_direct_twice",
           sideBySide(
               rounds, 10, Pace::Consecutive, [&] { switcher.get("IOSWITCHER_BUS_A"); },
               [&] { switcher.get("IOSWITCHER_BUS_A"); }));
    report("com_round_trip_get_x10", get(rounds * 2, 10, Pace::Consecutive));
    report("com_round_trip_get_after_pause", get(rounds * 5, 1, Pace::AfterPause));
    std::int16_t address = 0;
    Variant a;
    Variant b;
    const SideBySide status = sideBySide(
        rounds, 10, Pace::Consecutive,
        [&] {
          switcher.call("IOSWITCHER_GetFullStatus", {Arg::ref(address), Arg::ref(a), Arg::ref(b)});
        },
        [&] {
          threadedSwitcher.call("IOSWITCHER_GetFullStatus",
                                {Arg::ref(address), Arg::ref(a), Arg::ref(b)});
        });
    report("com_round_trip_get_full_status_x10", status);

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
