// The DC history's costs: the memory an hour of samples holds, and mapping that hour onto a chart
// 1,000 pixels wide, which the history window does five times a second while it is shown.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "panel/DcPlot.h"

namespace {

using orvane::controller::DcHistory;
using orvane::controller::DcSample;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

const steady_clock::time_point Now = steady_clock::time_point{} + std::chrono::hours(24);

// An hour at the monitor's rate: A+ drifting near 9 V with seeded noise, a gap now and then.
void fillAnHour(DcHistory& history) {
  std::mt19937 noise(1);
  std::normal_distribution<double> volts(0.0, 0.003);
  for (std::size_t k = 0; k < DcHistory::Capacity; ++k) {
    DcSample sample{Now - milliseconds(200 * static_cast<long>(DcHistory::Capacity - k)), {}, {}};
    const bool gap = k % 1000 < 5;
    for (std::size_t t = 0; t < sample.volts.size(); ++t) {
      sample.volts[t] = gap ? orvane::controller::NoVolts : (t == 0 ? 9.0 : 0.0) + volts(noise);
    }
    history.add(sample);
  }
}

// Resident memory now, in kB (Linux).
long residentKb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0;
  long resident = 0;
  statm >> size >> resident;
  return resident * 4;
}

void BM_DcHistory_AnHourHeld(benchmark::State& state) {
  // Measured on the program's first fill: later fills reuse the pages the earlier ones freed.
  static long grown = -1;
  for (auto _ : state) {
    auto history = std::make_unique<DcHistory>();
    const long before = residentKb();
    fillAnHour(*history);
    if (grown < 0) grown = residentKb() - before;
    benchmark::DoNotOptimize(history->size());
  }
  state.counters["rss_growth_MB"] = static_cast<double>(grown) / 1024;
  state.counters["held_MB"] =
      static_cast<double>(DcHistory::Capacity * sizeof(DcSample)) / (1024 * 1024);
  state.counters["limit_MB"] = 4;
}
BENCHMARK(BM_DcHistory_AnHourHeld)->Unit(benchmark::kMillisecond);

void BM_DcPlot_AnHourOnto1000Columns(benchmark::State& state) {
  DcHistory history;
  fillAnHour(history);
  for (auto _ : state) {
    benchmark::DoNotOptimize(orvane::panel::plotDc(history, Now, 3600, 1000, 300));
  }
  state.counters["limit_us"] = 200;
}
BENCHMARK(BM_DcPlot_AnHourOnto1000Columns)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
