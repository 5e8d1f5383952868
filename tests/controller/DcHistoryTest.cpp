// The DC history: what each kind of host value becomes, which ticks are gaps, and that the history
// stays bounded whatever the clock says.
#include <gtest/gtest.h>

#include <cmath>

#include "controller/DcHistory.h"
#include "tests/support/ControllerBench.h"
#include "tests/support/TestForeignValue.h"

namespace orvane::testing {
namespace {

using controller::DcHistory;
using controller::DcReadings;
using host::Variant;
using host::sim::FaultKind;
using std::chrono::seconds;
using std::chrono::steady_clock;

TEST(DcHistoryTest, EachKindOfHostValueIsANumberOrAGapAndKeepsItsTextForTheLog) {
  struct Row {
    Variant value;
    double volts;  // NaN: a gap
    std::string text;
  };
  const double gap = controller::NoVolts;
  const Row rows[] = {
      {Variant(-0.5), -0.5, "-0.5"},
      {Variant(std::int16_t{3}), 3, "3"},
      {Variant(std::int32_t{-70000}), -70000, "-70000"},
      {Variant("  1.25 "), 1.25, "  1.25 "},
      {Variant("9,1 V"), gap, "9,1 V"},
      {Variant(""), gap, ""},
      {Variant(), gap, ""},
      {Variant(true), gap, "True"},
      {Variant(std::nan("")), gap, Variant(std::nan("")).toText()},
      {TestForeignValue::number(0.125), 0.125, "0.125"},
      {TestForeignValue::unconvertible(), gap, ""},
  };
  for (const Row& row : rows) {
    const auto reading = controller::dcReadingOf(row.value);
    SCOPED_TRACE(host::describe(row.value));
    EXPECT_EQ(std::isnan(reading.volts), std::isnan(row.volts));
    if (!std::isnan(row.volts)) {
      EXPECT_EQ(reading.volts, row.volts);
    }
    EXPECT_EQ(reading.text, row.text);
  }
}

struct RecordedTicks final : controller::DcObserver {
  void dcTick(const DcReadings& readings) override { ticks.push_back(readings); }
  void dcOff() override { ++offs; }
  std::vector<DcReadings> ticks;
  int offs = 0;
};

TEST(DcHistoryTest, ABusWhoseReadingFailsOrIsFalseIsAGapAndTheObserverAddsNoHostCall) {
  ControllerBench bench;
  bench.start();
  RecordedTicks seen;
  bench.controller.observeDc(&seen);
  bench.view.click({panel::ControlName::DCButton});
  bench.sim.injectFault("IOSWITCHER_GetBusDC",
                        {FaultKind::ReturnValue, 1, Variant(true), {Variant(2.5), Variant("x")}});
  bench.sim.injectFault("IOSWITCHER_GetBusDC", {FaultKind::Raise, 1});
  bench.view.tick();
  bench.sim.injectFault("IOSWITCHER_GetBusDC",
                        {FaultKind::ReturnValue, 1, Variant(false), {Variant(1.0), Variant(1.0)}});
  bench.view.tick();
  const auto callsWithObserver = bench.log->calls().size();
  bench.view.click({panel::ControlName::DCButton});

  ASSERT_EQ(seen.ticks.size(), 2u);
  EXPECT_EQ(seen.ticks[0][0].volts, 2.5);
  EXPECT_EQ(seen.ticks[0][1].text, "x");
  EXPECT_TRUE(std::isnan(seen.ticks[0][2].volts));  // bus B's call failed: no stale reading
  EXPECT_EQ(seen.ticks[0][3].text, "");
  EXPECT_TRUE(std::isnan(seen.ticks[1][0].volts));  // False: no reading either
  EXPECT_FALSE(std::isnan(seen.ticks[1][2].volts));
  EXPECT_EQ(seen.offs, 1);
  EXPECT_EQ(callsWithObserver, 8u);  // two ticks of four calls, as without an observer
}

TEST(DcHistoryTest, AnHourIsKeptAndOlderSamplesFallOutWhateverTheClockDoes) {
  steady_clock::time_point now{};
  controller::DcRecorder recorder({[&] { return now += std::chrono::milliseconds(200); },
                                   [] { return std::chrono::system_clock::time_point{}; }});
  DcReadings readings;
  for (std::size_t i = 0; i < DcHistory::Capacity + 7; ++i) {
    readings[0].volts = static_cast<double>(i);
    recorder.dcTick(readings);
  }
  const DcHistory& history = recorder.history();
  ASSERT_EQ(history.size(), DcHistory::Capacity);
  EXPECT_EQ(history[0].volts[0], 7.0);
  EXPECT_EQ(history.latest().volts[0], static_cast<double>(DcHistory::Capacity + 6));
  EXPECT_EQ(history.firstFrom(history[100].at), 100u);
  EXPECT_EQ(history.firstFrom(history[100].at - std::chrono::milliseconds(1)), 100u);
  EXPECT_EQ(history.firstFrom(now + seconds(1)), history.size());

  recorder.dcOff();
  EXPECT_TRUE(std::isnan(history.latest().volts[0]));
  now -= std::chrono::hours(5);  // a clock that jumps back still cannot grow the history
  for (int i = 0; i < 10; ++i) recorder.dcTick(readings);
  EXPECT_EQ(history.size(), DcHistory::Capacity);
}

}  // namespace
}  // namespace orvane::testing
