// Following the switcher (--follow-ms): what another client of the host switches shows on the
// panel at the next read, which never runs inside an operation and never resets anything.
#include <gtest/gtest.h>

#include "panel/Controls.h"
#include "tests/support/ControllerBench.h"

namespace orvane::testing {
namespace {

using host::Variant;
using host::sim::FaultKind;
using host::sim::FaultSpec;
using panel::ControlName;

constexpr const char* FullStatus = "IOSWITCHER_GetFullStatus";

class Following : public ::testing::Test {
 protected:
  void SetUp() override { bench.start(); }
  int statusReads() const {
    int reads = 0;
    for (const auto& call : bench.switchingCalls()) {
      reads += call.find(FullStatus) != std::string::npos;
    }
    return reads;
  }
  ControllerBench bench;
};

TEST_F(Following, WhatAnotherClientSwitchedShowsAtTheNextRead) {
  bench.sim.switchAsAnotherClient(0, 0, 5, true);  // X5 on bus A
  bench.sim.switchAsAnotherClient(0, 1, 9, true);  // Y1 on bus B
  EXPECT_EQ(bench.view.colourOf(panel::busButton(0, 5)), panel::colour::Grey);

  EXPECT_TRUE(bench.view.followTick());
  EXPECT_EQ(bench.view.colourOf(panel::busButton(0, 5)), panel::colour::Green);
  EXPECT_EQ(bench.view.colourOf(panel::busButton(1, 9)), panel::colour::Green);
  EXPECT_TRUE(bench.state().BusA_State[5]);
  EXPECT_EQ(statusReads(), 1);

  // So a click on X5 now removes it, as the operator means, instead of adding it again.
  bench.view.click(panel::busButton(0, 5));
  EXPECT_EQ(bench.sim.statusWord(0, 0), 0u);
}

// A read that falls due inside an operation or while a box is open is dropped, not queued.
TEST_F(Following, NoReadInsideAnOperationOrWhileABoxIsOpen) {
  bool dropped = false;
  bench.sim.setCallHook([&](const std::string& member) {
    if (member == "SWITCHER_AddChannel") dropped = !bench.view.followTick();
  });
  bench.view.click(panel::busButton(0, 5));
  bench.sim.setCallHook({});
  EXPECT_TRUE(dropped);
  EXPECT_EQ(statusReads(), 1);  // the click's own poll

  // X3 alone carries DC: balance on bus A gets the warning box.
  bench.view.click(panel::busButton(0, 5));
  bench.view.click(panel::busButton(0, 3));
  bench.log->clear();
  bench.services.whileBoxOpen = [&] { dropped = !bench.view.followTick(); };
  dropped = false;
  bench.view.click({ControlName::BalA_Button});
  EXPECT_EQ(bench.services.boxes.size(), 1u);
  EXPECT_TRUE(dropped);
  EXPECT_EQ(statusReads(), 0);
}

// False, an error, or a word that is no number: skipped like a DC reading, with no box, no reset
// and no lost connection; the panel keeps what it showed.
TEST_F(Following, AFailedReadIsSkippedWithoutResetOrBox) {
  const std::vector<FaultSpec> failures = {
      {FaultKind::ReturnValue, 1, Variant(false), {Variant(16), Variant(16)}},
      {FaultKind::Raise, 1, {}, {}, "switcher 0 does not answer"},
      {FaultKind::ReturnValue, 1, Variant(true), {Variant("lots"), Variant(0)}},
  };
  bench.sim.switchAsAnotherClient(0, 0, 5, true);
  const int resets = bench.sim.resetCount(0);
  for (const auto& failure : failures) {
    bench.sim.injectFault(FullStatus, failure);
    EXPECT_TRUE(bench.view.followTick());
    EXPECT_EQ(bench.view.colourOf(panel::busButton(0, 5)), panel::colour::Grey);
  }
  EXPECT_EQ(bench.sim.resetCount(0), resets);
  EXPECT_TRUE(bench.services.boxes.empty());
  EXPECT_FALSE(bench.dispatcher.runEnded());

  EXPECT_TRUE(bench.view.followTick());  // the next read finds the switcher again
  EXPECT_EQ(bench.view.colourOf(panel::busButton(0, 5)), panel::colour::Green);
}

TEST(FollowingBeforeStartUp, AReadBeforeTheHostIsThereDoesNothing) {
  ControllerBench bench;
  bench.controller.followSwitcher();
  EXPECT_TRUE(bench.log->calls().empty());
}

}  // namespace
}  // namespace orvane::testing
