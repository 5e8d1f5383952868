// The DC history chart as numbers: the ranges, the ticks and the traces by pixel column.
#include "panel/DcPlot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orvane::panel {

namespace {

using std::chrono::nanoseconds;
using std::chrono::steady_clock;

// Ticks at least this far apart, in pixels, so that their labels do not run into each other.
constexpr int VoltTickSpacing = 32;
constexpr int TimeTickSpacing = 90;
// Room above and below the data and the guard lines, as a share of their range.
constexpr double Headroom = 0.05;

// 1, 2 or 5 times a power of ten, at least `least`.
double niceStep(double least) {
  const double power = std::pow(10.0, std::floor(std::log10(least)));
  for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
    if (factor * power >= least * (1 - 1e-9)) return factor * power;
  }
  return 10 * power;
}

std::string voltLabel(double volts) {
  char text[32];
  std::snprintf(text, sizeof text, "%g V", volts);
  return text;
}

void fitVolts(DcPlot& plot, double low, double high) {
  low = std::min(low, -GuardVolts);
  high = std::max(high, GuardVolts);
  const double room = (high - low) * Headroom;
  low -= room;
  high += room;
  const int most = std::clamp(plot.height / VoltTickSpacing, 2, 12);
  const double step = niceStep((high - low) / most);
  plot.bottomVolts = std::floor(low / step) * step;
  plot.topVolts = std::ceil(high / step) * step;
  const auto steps = std::lround((plot.topVolts - plot.bottomVolts) / step);
  for (long i = 0; i <= steps; ++i) {
    double volts = plot.bottomVolts + static_cast<double>(i) * step;
    if (std::fabs(volts) < step * 1e-9) volts = 0;  // no "-0 V"
    plot.voltTicks.push_back({volts, plot.rowOf(volts), voltLabel(volts)});
  }
}

void placeTimeTicks(DcPlot& plot, int spanSeconds) {
  const bool inMinutes = spanSeconds > 60;
  const std::vector<int> steps = inMinutes ? std::vector<int>{60, 120, 300, 600, 900, 1200, 1800}
                                           : std::vector<int>{5, 10, 15, 20, 30, 60};
  int step = steps.back();
  for (const int candidate : steps) {
    if (static_cast<long>(candidate) * (plot.width - 1) >=
        static_cast<long>(TimeTickSpacing) * spanSeconds) {
      step = candidate;
      break;
    }
  }
  for (int ago = 0; ago <= spanSeconds; ago += step) {
    const auto column = static_cast<int>(
        std::lround(static_cast<double>(spanSeconds - ago) / spanSeconds * (plot.width - 1)));
    std::string label = ago == 0    ? "now"
                        : inMinutes ? std::to_string(ago / 60) + " min ago"
                                    : std::to_string(ago) + " s ago";
    plot.timeTicks.push_back({static_cast<double>(ago), column, std::move(label)});
  }
}

}  // namespace

int DcPlot::rowOf(double volts) const {
  const double share = (topVolts - volts) / (topVolts - bottomVolts);
  return static_cast<int>(std::lround(share * (height - 1)));
}

DcPlot plotDc(const controller::DcHistory& history, steady_clock::time_point now, int spanSeconds,
              int width, int height) {
  DcPlot plot;
  plot.width = std::max(width, 2);
  plot.height = std::max(height, 2);
  spanSeconds = std::max(spanSeconds, 1);
  const nanoseconds span = std::chrono::seconds(spanSeconds);
  const steady_clock::time_point start = now - span;
  std::size_t begin = history.firstFrom(start);
  std::size_t end = history.firstFrom(now + nanoseconds(1));
  if (end < begin) end = begin;  // a clock that went back: nothing to draw in between

  double low = INFINITY;
  double high = -INFINITY;
  for (auto& trace : plot.traces) trace.assign(static_cast<std::size_t>(plot.width), {});
  struct Last {
    bool any = false;
    bool broken = false;
    steady_clock::time_point at;
  };
  std::array<Last, controller::DcTerminals> last{};
  const double columnsPerTick = static_cast<double>(plot.width) / static_cast<double>(span.count());
  history.visit(begin, end, [&](const controller::DcSample& sample) {
    const auto into =
        static_cast<long>(static_cast<double>((sample.at - start).count()) * columnsPerTick);
    const auto column = static_cast<std::size_t>(std::clamp<long>(into, 0, plot.width - 1));
    for (std::size_t t = 0; t < controller::DcTerminals; ++t) {
      const double volts = sample.volts[t];
      Last& before = last[t];
      if (std::isnan(volts)) {
        before.broken = true;
        continue;
      }
      low = std::min(low, volts);
      high = std::max(high, volts);
      PlotColumn& cell = plot.traces[t][column];
      if (!cell.hasData) {
        cell = {true,  volts, volts,
                volts, volts, before.any && !before.broken && sample.at - before.at <= DcStall};
      } else {
        cell.low = std::min(cell.low, volts);
        cell.high = std::max(cell.high, volts);
        cell.last = volts;
      }
      before = {true, false, sample.at};
    }
  });
  fitVolts(plot, low, high);
  placeTimeTicks(plot, spanSeconds);
  return plot;
}

std::string legendReading(const controller::DcHistory& history, std::size_t terminal) {
  const double volts = history.empty() ? controller::NoVolts : history.latest().volts[terminal];
  if (std::isnan(volts)) return "no reading";
  char text[32];
  std::snprintf(text, sizeof text, "%.3f V", volts);
  return text;
}

}  // namespace orvane::panel
