// The balance and load relays, with the excessive-DC guard before balance goes on.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/support/ControllerBench.h"

namespace orvane::testing {
namespace {

using host::Variant;
using host::sim::FaultKind;
using host::sim::FaultSpec;
using panel::ControlName;
namespace colour = panel::colour;

constexpr const char* ExcessiveDc = "There is excessive DC on this bus for balance mode.";

class Relays : public ::testing::Test {
 protected:
  void SetUp() override { bench.start(); }

  // Presses bus A's Bal with the given terminal readings.
  void balanceWithReadings(Variant plus, Variant minus) {
    bench.sim.injectFault("IOSWITCHER_GetBusDC",
                          {FaultKind::ReturnValue, 1, Variant(true), {plus, minus}});
    bench.log->clear();
    bench.services.boxes.clear();
    bench.view.click({ControlName::BalA_Button});
  }
  bool refused() const { return !bench.services.boxes.empty(); }

  ControllerBench bench;
};

TEST_F(Relays, BalanceIsRefusedOnlyAboveSixVoltsOnEitherTerminal) {
  balanceWithReadings(Variant(6.0), Variant(-6.0));
  EXPECT_FALSE(refused());
  EXPECT_TRUE(bench.state().BalA_On);
  EXPECT_EQ(bench.view.colourOf({ControlName::BalA_Button}), colour::Orange);
  EXPECT_EQ(bench.log->calls().back().text(), "SWITCHER_Balance(\"BusA0\", True)");
  bench.view.click({ControlName::BalA_Button});  // off again

  for (auto [plus, minus] : {std::pair{6.01, 0.0}, std::pair{0.0, -6.01}, std::pair{-7.0, 7.0}}) {
    balanceWithReadings(Variant(plus), Variant(minus));
    ASSERT_TRUE(refused()) << plus << " " << minus;
    EXPECT_EQ(bench.services.boxes[0].text, ExcessiveDc);
    EXPECT_EQ(bench.services.boxes[0].style, 48);
    EXPECT_EQ(bench.services.boxes[0].title, "Orvane I/O Switcher 0");
    EXPECT_FALSE(bench.state().BalA_On);
    EXPECT_EQ(bench.view.colourOf({ControlName::BalA_Button}), colour::Grey);
    EXPECT_EQ(bench.log->count("SWITCHER_Balance"), 0u);
  }
}

TEST_F(Relays, AReadingThatIsNoNumberCountsAsExcessive) {
  for (Variant odd : {Variant("volts"), Variant(std::nan("")),
                      Variant(std::numeric_limits<double>::infinity())}) {
    balanceWithReadings(Variant(0.0), odd);
    EXPECT_TRUE(refused()) << host::describe(odd);
    EXPECT_FALSE(bench.state().BalA_On);
  }
  balanceWithReadings(Variant("1.5"), Variant());  // numeric text and empty are numbers
  EXPECT_FALSE(refused());
}

TEST_F(Relays, TheRealX3SourceIsRefusedOnItsOwnBusOnly) {
  bench.view.click({ControlName::BusA, 3});
  bench.view.click({ControlName::BalA_Button});
  EXPECT_TRUE(refused());
  EXPECT_GT(bench.state().DC_APlus.toNumber(), 6.0);
  const Variant busAReading = bench.state().DC_APlus;
  bench.view.click({ControlName::BalB_Button});
  EXPECT_TRUE(bench.state().BalB_On);
  EXPECT_EQ(bench.state().DC_APlus, busAReading);  // bus B's check left bus A's fields alone
  EXPECT_EQ(bench.sim.statusWord(0, 1), 1u << 16);
}

TEST_F(Relays, SwitchingBalanceOffNeverMeasures) {
  balanceWithReadings(Variant(0.0), Variant(0.0));
  bench.log->clear();
  bench.view.click({ControlName::BalA_Button});
  EXPECT_EQ(bench.log->texts(), std::vector<std::string>{"SWITCHER_Balance(\"BusA0\", False)"});
  EXPECT_FALSE(bench.state().BalA_On);
  EXPECT_EQ(bench.view.colourOf({ControlName::BalA_Button}), colour::Grey);
}

TEST_F(Relays, LoadTogglesWithoutAnyCheckOrPoll) {
  bench.log->clear();
  bench.sim.setChannelDc(0, 1, 50.0, -50.0);
  bench.view.click({ControlName::BusB, 1});
  bench.log->clear();
  bench.view.click({ControlName::LoadB_Button});
  const auto& calls = bench.log->calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].member, "IOSWITCHER_BUS_B");
  EXPECT_EQ(calls[1].member, "IOSWITCHER_BusLoad");
  EXPECT_EQ(calls[1].args, (std::vector<std::string>{"&0", calls[0].result, "True"}));
  EXPECT_TRUE(bench.state().LoadB_On);
  EXPECT_EQ(bench.view.colourOf({ControlName::LoadB_Button}), colour::Orange);
  EXPECT_EQ(bench.sim.statusWord(0, 1) & (1u << 17), 1u << 17);
  bench.view.click({ControlName::LoadB_Button});
  EXPECT_FALSE(bench.state().LoadB_On);
  EXPECT_EQ(bench.view.colourOf({ControlName::LoadB_Button}), colour::Grey);
}

TEST_F(Relays, AHostFailingEveryCallStillFlipsFlagsAndColours) {
  bench.controller.state().Call_OK = true;
  bench.sim.kill();
  bench.view.click({ControlName::LoadA_Button});
  EXPECT_TRUE(bench.state().LoadA_On);
  EXPECT_EQ(bench.view.colourOf({ControlName::LoadA_Button}), colour::Orange);
  bench.view.click({ControlName::BalA_Button});  // the failed reading leaves empty fields: 0 V
  EXPECT_TRUE(bench.state().BalA_On);
  EXPECT_EQ(bench.view.colourOf({ControlName::BalA_Button}), colour::Orange);
  bench.view.click({ControlName::BalA_Button});
  EXPECT_FALSE(bench.state().BalA_On);
  EXPECT_TRUE(bench.state().Call_OK);  // untouched by the failed calls
  EXPECT_TRUE(bench.services.boxes.empty());
}

TEST_F(Relays, AFailedReadingChecksTheLastReadingsOfThatBus) {
  balanceWithReadings(Variant(9.0), Variant(0.0));
  ASSERT_TRUE(refused());
  bench.sim.injectFault("IOSWITCHER_GetBusDC", {FaultKind::Raise, 1});
  bench.services.boxes.clear();
  bench.view.click({ControlName::BalA_Button});
  EXPECT_TRUE(refused());  // still 9 V from before
}

}  // namespace
}  // namespace orvane::testing
