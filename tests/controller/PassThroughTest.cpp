// Values the controller only passes on go back to the host as the very values the host returned,
// whatever their type; values it reads are converted where they are read, and one that cannot be
// converted fails that statement only.
#include <gtest/gtest.h>

#include "tests/support/ControllerBench.h"
#include "tests/support/TestForeignValue.h"

namespace orvane::testing {
namespace {

using host::Variant;
using host::sim::FaultKind;
using host::sim::FaultSpec;
using panel::ControlName;
using Calls = std::vector<std::string>;

// The four constants, served by the host as values of a type the core has no kind for.
struct ForeignConstants {
  Variant busA, busB, groupX, groupY;

  void serve(host::sim::SimulatedHost& sim) const {
    const std::pair<const char*, const Variant*> served[] = {{"IOSWITCHER_BUS_A", &busA},
                                                             {"IOSWITCHER_BUS_B", &busB},
                                                             {"IOSWITCHER_GROUP_X", &groupX},
                                                             {"IOSWITCHER_GROUP_Y", &groupY}};
    for (const auto& [member, value] : served) {
      sim.injectFault(member, {FaultKind::ReturnValue, FaultSpec::Always, *value});
    }
  }
  std::string a() const { return describe(busA); }
  std::string b() const { return describe(busB); }
  std::string x() const { return describe(groupX); }
  std::string y() const { return describe(groupY); }
};

// Readable stand-ins for the simulated host's own constants (65, 66, 88, 89): the host can take
// them back, so the whole session works with them.
ForeignConstants readableConstants() {
  return {TestForeignValue::number(65), TestForeignValue::number(66), TestForeignValue::number(88),
          TestForeignValue::number(89)};
}

TEST(PassThrough, ForeignConstantsReachEveryCallThatTakesThemAsTheSameValues) {
  ControllerBench bench;
  const ForeignConstants constants = readableConstants();
  constants.serve(bench.sim);
  bench.start();

  bench.view.click({ControlName::ResetButton});
  EXPECT_EQ(
      bench.log->texts({"IOSWITCHER_AddToArray"}),
      (Calls{
          "IOSWITCHER_AddToArray(&0, " + constants.a() + ", " + constants.x() + ", \"BusA0\")",
          "IOSWITCHER_AddToArray(&0, " + constants.a() + ", " + constants.y() + ", \"BusA0\")",
          "IOSWITCHER_AddToArray(&0, " + constants.b() + ", " + constants.x() + ", \"BusB0\")",
          "IOSWITCHER_AddToArray(&0, " + constants.b() + ", " + constants.y() + ", \"BusB0\")"}));
  bench.log->clear();

  bench.view.click({ControlName::LoadB_Button});
  bench.view.click({ControlName::DCButton});
  bench.view.tick();
  const Calls calls = bench.log->texts({"IOSWITCHER_BusLoad", "IOSWITCHER_GetBusDC"});
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0], "IOSWITCHER_BusLoad(&0, " + constants.b() + ", True)");
  EXPECT_EQ(calls[1].rfind("IOSWITCHER_GetBusDC(&0, " + constants.a() + ", &", 0), 0u) << calls[1];
  EXPECT_EQ(calls[2].rfind("IOSWITCHER_GetBusDC(&0, " + constants.b() + ", &", 0), 0u) << calls[2];
  // The host understood its own values: the arrays work and bus B's load relay is on.
  EXPECT_NE(bench.sim.statusWord(0, 1) & (1u << 17), 0u);
  bench.view.click({ControlName::BusA, 5});
  EXPECT_EQ(bench.sim.statusWord(0, 0), 1u << 4);
  EXPECT_TRUE(bench.services.boxes.empty());
}

TEST(PassThrough, ConstantsTheHostRefusesBackAreStillPassedOnAndTheirCallsSkipped) {
  ControllerBench bench;
  const ForeignConstants nulls{TestForeignValue::unconvertible(), TestForeignValue::unconvertible(),
                               TestForeignValue::unconvertible(),
                               TestForeignValue::unconvertible()};
  nulls.serve(bench.sim);
  bench.start();
  bench.view.click({ControlName::LoadA_Button});
  EXPECT_EQ(bench.log->texts({"IOSWITCHER_BusLoad"}),
            (Calls{"IOSWITCHER_BusLoad(&0, " + nulls.a() + ", True)"}));
  EXPECT_EQ(bench.log->calls().back().result.rfind("raised:", 0), 0u);
  EXPECT_TRUE(bench.state().LoadA_On);  // the flag follows the click, whatever the host said
  EXPECT_FALSE(bench.controller.runEnded());
}

TEST(PassThrough, AResetInfoTheControllerCannotReadFailsNothingAndGoesBackUnchanged) {
  ControllerBench bench;
  bench.start();
  const Variant info = TestForeignValue::unconvertible();
  bench.sim.injectFault("ORVANE_Reset", {FaultKind::ReturnValue, 1, Variant(true), {info}});
  bench.view.click({ControlName::ResetButton});
  EXPECT_TRUE(bench.services.boxes.empty());  // no Retry/Cancel: the reset succeeded
  EXPECT_EQ(bench.state().Reset_Info, info);
  bench.log->clear();

  bench.view.click({ControlName::ResetButton});
  EXPECT_EQ(bench.log->texts({"ORVANE_Reset"}),
            (Calls{"ORVANE_Reset(&0, True, &" + describe(info) + ")"}));
  EXPECT_TRUE(bench.services.boxes.empty());
  EXPECT_EQ(bench.state().Reset_Info, Variant("Switcher 0 reset"));  // the host's own answer
}

}  // namespace
}  // namespace orvane::testing
