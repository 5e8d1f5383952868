// The DC monitor: readouts on each tick while it is on, "- - V " while it is off.
#include <gtest/gtest.h>

#include "tests/support/ControllerBench.h"
#include "tests/support/TestForeignValue.h"

namespace orvane::testing {
namespace {

using host::Variant;
using host::sim::FaultKind;
using host::sim::FaultSpec;
using panel::ControlName;

class DcMonitor : public ::testing::Test {
 protected:
  void SetUp() override { bench.start(); }
  std::vector<std::string> readouts() const {
    std::vector<std::string> texts;
    for (auto label :
         {ControlName::Label4, ControlName::Label5, ControlName::Label6, ControlName::Label7}) {
      texts.push_back(bench.view.captionOf({label}));
    }
    return texts;
  }
  ControllerBench bench;
};

TEST_F(DcMonitor, OffTicksReadNothing) {
  bench.controller.state().DC_APlus = Variant(3.0);
  EXPECT_TRUE(bench.view.tick());
  EXPECT_TRUE(bench.log->calls().empty());
  EXPECT_EQ(readouts(), std::vector<std::string>(4, "- - V "));
}

TEST_F(DcMonitor, OnAndOffWithinOnePeriodLeavesTheReadoutsAlone) {
  bench.view.click({ControlName::DCButton});
  bench.view.click({ControlName::DCButton});
  EXPECT_TRUE(bench.log->calls().empty());
  EXPECT_EQ(readouts(), std::vector<std::string>(4, "- - V "));
}

TEST_F(DcMonitor, EachTickReadsBothBusesThenWritesAllFourLabels) {
  bench.view.click({ControlName::DCButton});
  bench.sim.injectFault("IOSWITCHER_GetBusDC",
                        {FaultKind::ReturnValue, 1, Variant(true), {Variant(-0.5), Variant(0.25)}});
  bench.sim.injectFault(
      "IOSWITCHER_GetBusDC",
      {FaultKind::ReturnValue, 1, Variant(true), {Variant(6.01), Variant(std::int32_t{0})}});
  bench.view.clearOperations();
  bench.view.tick();
  EXPECT_EQ(bench.log->members(),
            (std::vector<std::string>{"IOSWITCHER_BUS_A", "IOSWITCHER_GetBusDC", "IOSWITCHER_BUS_B",
                                      "IOSWITCHER_GetBusDC"}));
  EXPECT_EQ(readouts(), (std::vector<std::string>{"-0.5V ", "0.25V ", "6.01V ", "0V "}));
  EXPECT_EQ(bench.view.operations().size(), 4u);

  bench.view.click({ControlName::DCButton});
  EXPECT_EQ(readouts(), std::vector<std::string>(4, "- - V "));
  EXPECT_EQ(bench.state().DC_APlus, Variant(-0.5));  // kept for the balance check
}

TEST_F(DcMonitor, AFailingReadingShowsTheLastOneAndANeverFilledFieldShowsJustTheUnit) {
  bench.sim.injectFault("IOSWITCHER_GetBusDC", {FaultKind::Raise, FaultSpec::Always});
  bench.view.click({ControlName::DCButton});
  bench.view.tick();
  EXPECT_EQ(readouts(), std::vector<std::string>(4, "V "));

  bench.sim.clearFaults();
  bench.sim.injectFault("IOSWITCHER_GetBusDC",
                        {FaultKind::ReturnValue, 1, Variant(true), {Variant(1.5), Variant(-1.5)}});
  bench.view.tick();
  bench.sim.injectFault("IOSWITCHER_GetBusDC", {FaultKind::Raise, FaultSpec::Always});
  bench.view.tick();
  EXPECT_EQ(readouts()[0], "1.5V ");
  EXPECT_EQ(readouts()[1], "-1.5V ");
}

TEST_F(DcMonitor, AReadingWithNoTextLeavesOnlyItsOwnLabel) {
  bench.view.click({ControlName::DCButton});
  bench.sim.injectFault(
      "IOSWITCHER_GetBusDC",
      {FaultKind::ReturnValue, 1, Variant(true), {Variant(host::ObjectRef()), Variant(2.0)}});
  bench.view.tick();
  EXPECT_EQ(readouts()[0], "- - V ");
  EXPECT_EQ(readouts()[1], "2V ");

  // The same for a reading of the host's own type that has no text (a Null), next to one that has.
  bench.sim.injectFault("IOSWITCHER_GetBusDC",
                        {FaultKind::ReturnValue,
                         1,
                         Variant(true),
                         {TestForeignValue::unconvertible(), TestForeignValue::number(0.125)}});
  bench.view.tick();
  EXPECT_EQ(readouts()[0], "- - V ");
  EXPECT_EQ(readouts()[1], "0.125V ");
  EXPECT_FALSE(bench.controller.runEnded());
}

TEST_F(DcMonitor, ATickDuringAModalBoxIsDroppedNotNested) {
  std::vector<bool> delivered;
  bench.view.click({ControlName::DCButton});
  bench.services.whileBoxOpen = [&] { delivered.push_back(bench.view.tick()); };
  bench.view.click({ControlName::BusA, 3});
  bench.log->clear();
  bench.view.click({ControlName::BalA_Button});  // X3's DC: the warning box opens
  ASSERT_EQ(delivered, std::vector<bool>{false});
  EXPECT_EQ(bench.log->count("IOSWITCHER_GetBusDC"), 1u);  // the check's, no tick's
  EXPECT_TRUE(bench.view.tick());
}

}  // namespace
}  // namespace orvane::testing
