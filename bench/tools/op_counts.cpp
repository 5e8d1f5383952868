// op_counts: runs each measured operation a fixed number of times inside a function of its own,
// so that callgrind can count the instructions of one operation exactly:
//
//   valgrind --tool=callgrind --toggle-collect='measure_*' op_counts
//   callgrind_annotate --inclusive=yes callgrind.out.* | grep measure_
//
// Each measure_ function's inclusive count divided by Rounds is one operation's cost. Instruction
// counts do not move with the load of a shared machine the way times do.
#include <QApplication>
#include <cstdio>
#include <memory>

#include "bench/BenchSupport.h"
#include "bench/QtBenchSupport.h"
#include "controller/Controller.h"
#include "host/sim/SimulatedHost.h"
#include "panel/Dispatcher.h"

namespace orvane::bench {
namespace {

constexpr int Warmup = 20;
constexpr int Rounds = 200;
using host::Variant;
using panel::EventKind;

struct Instant {
  Instant()
      : host(std::make_shared<InstantHost>(Variant(std::int32_t{0x15555}),
                                           Variant(std::int32_t{0x2AAAA}))),
        controller(view, services, factoryFor(host)),
        dispatcher(controller, services) {
    auto& s = controller.state();
    s.Switcher = host;
    s.HostApp = host;
    s.Status_Width = 18;
    s.Keep_Running = true;
    view.setRaisedEvents(&dispatcher);
  }
  std::shared_ptr<InstantHost> host;
  CountingView view;
  AcceptingServices services;
  controller::Controller controller;
  panel::Dispatcher dispatcher;
};

struct OnSim {
  OnSim() : controller(view, services, sim.factory()), dispatcher(controller, services) {
    view.setRaisedEvents(&dispatcher);
    dispatcher.handle({EventKind::Load});
  }
  host::sim::SimulatedHost sim;
  CountingView view;
  AcceptingServices services;
  controller::Controller controller;
  panel::Dispatcher dispatcher;
};

template <class Op>
void repeat(int n, Op&& op) {
  for (int i = 0; i < n; ++i) op();
}

__attribute__((noinline)) void measure_status_decode(Instant& p) {
  repeat(Rounds, [&] { p.controller.Get_Status(); });
}
__attribute__((noinline)) void measure_click_instant(Instant& p) {
  repeat(Rounds, [&] { p.dispatcher.handle({EventKind::BusAClick, 5}); });
}
__attribute__((noinline)) void measure_click_sim(OnSim& p) {
  repeat(Rounds, [&] { p.dispatcher.handle({EventKind::BusAClick, 5}); });
}
__attribute__((noinline)) void measure_dc_tick_instant(Instant& p) {
  repeat(Rounds, [&] { p.dispatcher.handle({EventKind::TimerTick}); });
}
__attribute__((noinline)) void measure_dc_tick_sim(OnSim& p) {
  repeat(Rounds, [&] { p.dispatcher.handle({EventKind::TimerTick}); });
}

// Qt: a poll whose words change from the last one in `flip`, with its paint.
void qtPoll(QtPanel& p, std::int32_t flip, std::int32_t& word) {
  word ^= flip;
  p.host->setStatus(Variant(word), Variant(flip == 0x3FFFF ? word : 0));
  p.controller.Get_Status();
  paintNow();
}
__attribute__((noinline)) void measure_qt_poll_unchanged(QtPanel& p, std::int32_t& w) {
  repeat(Rounds, [&] { qtPoll(p, 0, w); });
}
__attribute__((noinline)) void measure_qt_poll_one_button(QtPanel& p, std::int32_t& w) {
  repeat(Rounds, [&] { qtPoll(p, 0x10, w); });
}
__attribute__((noinline)) void measure_qt_poll_all_changed(QtPanel& p, std::int32_t& w) {
  repeat(Rounds, [&] { qtPoll(p, 0x3FFFF, w); });
}

}  // namespace
}  // namespace orvane::bench

int main(int argc, char** argv) {
  using namespace orvane::bench;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QT_SCALE_FACTOR", "1");
  QApplication application(argc, argv);

  Instant instant;
  repeat(Warmup, [&] { instant.controller.Get_Status(); });
  measure_status_decode(instant);
  measure_click_instant(instant);
  instant.controller.state().DC_On = true;
  measure_dc_tick_instant(instant);

  OnSim sim;
  repeat(Warmup, [&] { sim.dispatcher.handle({EventKind::BusAClick, 5}); });
  measure_click_sim(sim);
  sim.dispatcher.handle({EventKind::DCClick});
  measure_dc_tick_sim(sim);

  QtPanel qt;
  std::int32_t word = 0;
  repeat(Warmup, [&] { qtPoll(qt, 0x3FFFF, word); });
  measure_qt_poll_unchanged(qt, word);
  measure_qt_poll_one_button(qt, word);
  measure_qt_poll_all_changed(qt, word);
  std::printf("rounds %d\n", Rounds);
  return 0;
}
