// The DC history's plot model: the vertical range always shows the guard lines and fits the data
// with round ticks; each trace comes down to one column per pixel with its extremes; gaps and
// stalls break the line; the three spans label their time axis.
#include <gtest/gtest.h>

#include <cmath>

#include "panel/DcPlot.h"

namespace orvane::panel {
namespace {

using controller::DcHistory;
using controller::NoVolts;
using std::chrono::milliseconds;
using std::chrono::seconds;
using std::chrono::steady_clock;

const steady_clock::time_point Now = steady_clock::time_point{} + std::chrono::hours(10);

// Samples every 200 ms over the last minute; A+ reads `volts(k)` for the k-th.
template <class Volts>
DcHistory minuteOf(Volts volts) {
  DcHistory history;
  for (int k = 0; k < 300; ++k) {
    controller::DcSample sample{Now - seconds(60) + milliseconds(200 * k + 100), {}, {}};
    sample.volts = {volts(k), 0.0, NoVolts, NoVolts};
    history.add(sample);
  }
  return history;
}

TEST(DcPlotTest, TheRangeHoldsTheDataAndBothGuardLinesWithRoundTicks) {
  struct Row {
    const char* what;
    double low, high;  // A+ swings between them
    int height;
    double bottom, top, step;
  };
  const Row rows[] = {
      {"small", 0.01, 0.02, 301, -8, 8, 2},
      {"negative", -9, -9, 301, -10, 8, 2},
      {"mixed", -3, 4, 301, -8, 8, 2},
      {"crossing the guard", 0, 9, 301, -8, 10, 2},
      {"far beyond it", -1, 100, 301, -20, 120, 20},
      {"a short chart", 0, 1, 60, -10, 10, 10},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const auto history = minuteOf([&](int k) { return k % 2 ? row.high : row.low; });
    const DcPlot plot = plotDc(history, Now, 60, 600, row.height);
    EXPECT_EQ(plot.bottomVolts, row.bottom);
    EXPECT_EQ(plot.topVolts, row.top);
    ASSERT_GE(plot.voltTicks.size(), 2u);
    EXPECT_EQ(plot.voltTicks[1].value - plot.voltTicks[0].value, row.step);
    EXPECT_EQ(plot.voltTicks.front().pixel, row.height - 1);
    EXPECT_EQ(plot.voltTicks.back().pixel, 0);
    for (const double level : {GuardVolts, -GuardVolts, row.low, row.high}) {
      EXPECT_GT(plot.rowOf(level), 0);
      EXPECT_LT(plot.rowOf(level), row.height - 1);
    }
    for (const auto& tick : plot.voltTicks) EXPECT_NE(tick.label, "-0 V");
  }
}

TEST(DcPlotTest, EachColumnKeepsItsExtremesAndGapsAndStallsBreakTheLine) {
  // One column a second. Samples 150..154 are gaps; 200..209 never came (a two-second stall).
  DcHistory history;
  for (int k = 0; k < 300; ++k) {
    if (k >= 200 && k < 210) continue;
    controller::DcSample sample{Now - seconds(60) + milliseconds(200 * k + 100), {}, {}};
    const double volts = k >= 150 && k < 155 ? NoVolts : static_cast<double>(k % 7);
    sample.volts = {volts, NoVolts, NoVolts, NoVolts};
    history.add(sample);
  }
  const DcPlot plot = plotDc(history, Now, 60, 60, 100);
  const auto& a = plot.traces[0];
  ASSERT_EQ(a.size(), 60u);
  EXPECT_FALSE(a[0].joinsPrevious);  // the first reading on the chart
  EXPECT_TRUE(a[1].joinsPrevious);
  EXPECT_EQ(a[1].first, 5 % 7);
  EXPECT_EQ(a[1].last, 9 % 7);
  EXPECT_EQ(a[1].low, 0);
  EXPECT_EQ(a[1].high, 6);
  EXPECT_FALSE(a[30].hasData);
  EXPECT_FALSE(a[31].joinsPrevious);
  EXPECT_FALSE(a[40].hasData);
  EXPECT_FALSE(a[42].joinsPrevious);
  EXPECT_TRUE(a[43].joinsPrevious);
  for (const auto& column : plot.traces[1]) EXPECT_FALSE(column.hasData);  // never read
}

TEST(DcPlotTest, EachSpanShowsOnlyItsSamplesAndLabelsItsTimeAxis) {
  DcHistory history;
  history.add({Now - seconds(3000), {}, {1.0, 1.0, 1.0, 1.0}});
  history.add({Now - seconds(300), {}, {2.0, 2.0, 2.0, 2.0}});
  history.add({Now - seconds(30), {}, {3.0, 3.0, 3.0, 3.0}});
  history.add({Now + seconds(30), {}, {50.0, 50.0, 50.0, 50.0}});  // from a clock gone back: unseen
  struct Row {
    int seconds;
    std::size_t columnsWithData;
    std::vector<std::string> labels;  // newest first
  };
  const Row rows[] = {
      {60, 1, {"now", "10 s ago", "20 s ago", "30 s ago", "40 s ago", "50 s ago", "60 s ago"}},
      {600,
       2,
       {"now", "1 min ago", "2 min ago", "3 min ago", "4 min ago", "5 min ago", "6 min ago",
        "7 min ago", "8 min ago", "9 min ago", "10 min ago"}},
      {3600,
       3,
       {"now", "10 min ago", "20 min ago", "30 min ago", "40 min ago", "50 min ago", "60 min ago"}},
  };
  ASSERT_EQ(DcSpans.size(), std::size(rows));
  for (std::size_t i = 0; i < DcSpans.size(); ++i) {
    const Row& row = rows[i];
    EXPECT_EQ(DcSpans[i].seconds, row.seconds);
    const DcPlot plot = plotDc(history, Now, row.seconds, 1000, 200);
    std::vector<std::string> labels;
    for (const auto& tick : plot.timeTicks) labels.push_back(tick.label);
    EXPECT_EQ(labels, row.labels);
    EXPECT_EQ(plot.timeTicks.front().pixel, 999);
    EXPECT_EQ(plot.timeTicks.back().pixel, 0);
    EXPECT_EQ(std::count_if(plot.traces[0].begin(), plot.traces[0].end(),
                            [](const PlotColumn& column) { return column.hasData; }),
              static_cast<long>(row.columnsWithData));
    EXPECT_EQ(plot.topVolts, 10);  // the reading from the future takes no part in the range
  }
}

}  // namespace
}  // namespace orvane::panel
