// What a status poll costs on the Qt panel: the 36 colour sets and the paint that follows, on the
// offscreen platform. Each benchmark also counts the paint events the buttons and labels receive
// and the pixels they repaint, so that a set which changes nothing is seen to cost no repaint and
// a one-button change to repaint that one button only.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "bench/QtBenchSupport.h"
#include "host/HostThread.h"
#include "host/sim/SimulatedHost.h"
#include "panel/Controls.h"
#include "panel/Dispatcher.h"
#include "panel/qt/QtCallWaiter.h"

namespace orvane::bench {
namespace {

using host::Variant;

void report(benchmark::State& state, const PaintCounter& counter) {
  state.counters["paints"] =
      benchmark::Counter(static_cast<double>(counter.paints), benchmark::Counter::kAvgIterations);
  state.counters["pixels"] =
      benchmark::Counter(static_cast<double>(counter.pixels), benchmark::Counter::kAvgIterations);
}

// A full poll: the decode, 36 colour sets through the view and the paint. The argument picks the
// change between one poll and the next: 0 nothing, 1 one channel button (X5 of bus A), 2 all 36
// buttons.
void BM_QtPoll(benchmark::State& state) {
  QtPanel panel;
  const std::int32_t changes[] = {0, 0x10, 0x3FFFF};
  const std::int32_t flip = changes[state.range(0)];
  std::int32_t word = 0;
  for (auto _ : state) {
    word ^= flip;
    panel.host->setStatus(Variant(word), Variant(flip == 0x3FFFF ? word : 0));
    panel.controller.Get_Status();
    paintNow();
  }
  report(state, panel.counter);
}
BENCHMARK(BM_QtPoll)->ArgName("changed")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// The panel's share alone: the 36 colour sets straight on the window and the paint.
void BM_QtColourSets(benchmark::State& state) {
  QtPanel panel;
  bool on = false;
  for (auto _ : state) {
    on = !on;
    for (int bus = 0; bus < 2; ++bus) {
      for (int index = 1; index <= 16; ++index) {
        panel.window.setControlColour(panel::busButton(bus, index),
                                      on ? panel::colour::Green : panel::colour::Grey);
      }
      using enum panel::ControlName;
      for (auto relay : bus == 0 ? std::array{BalA_Button, LoadA_Button}
                                 : std::array{BalB_Button, LoadB_Button}) {
        panel.window.setControlColour({relay}, on ? panel::colour::Orange : panel::colour::Grey);
      }
    }
    paintNow();
  }
  report(state, panel.counter);
}
BENCHMARK(BM_QtColourSets)->Unit(benchmark::kMicrosecond);

// One DC tick: two readings and four captions; the readings stay the same from tick to tick.
void BM_QtDcTick(benchmark::State& state) {
  QtPanel panel;
  panel.controller.state().DC_On = true;
  for (auto _ : state) {
    panel.controller.Timer1_Timer();
    paintNow();
  }
  report(state, panel.counter);
}
BENCHMARK(BM_QtDcTick)->Unit(benchmark::kMicrosecond);

// One follow read (--follow-ms) as the program makes it: the simulated host on its own thread, the
// Qt waiter, and a switcher whose status has not changed since the last read, so that nothing is
// painted. The time that counts is the window thread's (the CPU column); the host thread's share
// is its own.
void BM_QtFollowRead_Unchanged(benchmark::State& state) {
  host::sim::SimulatedHost sim;
  panel::qt::PanelWindow window;
  panel::qt::QtCallWaiter waiter(window);
  host::HostThread hostThread(waiter);
  panel::qt::QtView view(window);
  AcceptingServices services;
  controller::Controller controller(view, services, hostThread.wrap(sim.factory()));
  panel::Dispatcher dispatcher(controller, services);
  view.setRaisedEvents(&dispatcher);
  window.attach(dispatcher);
  window.load();
  window.show();
  for (int i = 0; i < 5; ++i) paintNow();
  controller.followSwitcher();  // the panel shows the switcher as it stands
  paintNow();
  PaintCounter counter;
  counter.watch(window);
  for (auto _ : state) {
    controller.followSwitcher();
    paintNow();
  }
  report(state, counter);
}
BENCHMARK(BM_QtFollowRead_Unchanged)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orvane::bench

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QT_SCALE_FACTOR", "1");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
