// The channel switching engine in every link mode, with folding and stepping.
#include <gtest/gtest.h>

#include "tests/support/ControllerBench.h"

namespace orvane::testing {
namespace {

using host::sim::FaultKind;
using panel::ControlName;
using Calls = std::vector<std::string>;

class Switching : public ::testing::Test {
 protected:
  void SetUp() override { bench.start(); }

  void chooseMode(std::int16_t mode) {
    bench.view.chooseListEntry(mode);
    bench.log->clear();
  }
  // The switching calls one action makes, without the status poll that always ends it.
  Calls callsOf(ControlName name, std::int16_t index = 0) {
    bench.log->clear();
    EXPECT_TRUE(bench.view.click({name, index})) << panel::controlText({name, index});
    Calls calls = bench.switchingCalls();
    EXPECT_FALSE(calls.empty());
    if (!calls.empty()) {
      EXPECT_EQ(calls.back().rfind("IOSWITCHER_GetFullStatus(", 0), 0u) << calls.back();
      calls.pop_back();
    }
    return calls;
  }
  std::int16_t channel() const { return bench.state().Sel_Channel; }

  ControllerBench bench;
};

TEST_F(Switching, ModeNoneTogglesOneChannelOnItsOwnBus) {
  EXPECT_EQ(callsOf(ControlName::BusA, 5), (Calls{"SWITCHER_AddChannel(\"BusA0\", &5)"}));
  EXPECT_TRUE(bench.state().BusA_State[5]);
  EXPECT_TRUE(bench.state().Sel_State);
  EXPECT_EQ(bench.state().Sel_Bus, 0);
  EXPECT_EQ(channel(), 5);
  EXPECT_EQ(bench.view.colourOf({ControlName::BusA, 5}), panel::colour::Green);

  EXPECT_EQ(callsOf(ControlName::BusA, 5), (Calls{"SWITCHER_RemoveChannel(\"BusA0\", &5)"}));
  EXPECT_EQ(bench.view.colourOf({ControlName::BusA, 5}), panel::colour::Grey);

  EXPECT_EQ(callsOf(ControlName::BusB, 12), (Calls{"SWITCHER_AddChannel(\"BusB0\", &12)"}));
  EXPECT_EQ(bench.state().Sel_Bus, 1);
  EXPECT_EQ(bench.sim.statusWord(0, 1), 1u << 11);
}

TEST_F(Switching, AllOffAndAllOnLeaveTheSelectionAlone) {
  callsOf(ControlName::BusA, 3);
  const bool callOk = bench.state().Call_OK;
  EXPECT_EQ(callsOf(ControlName::BusB, 0), (Calls{"SWITCHER_ClearChannels(\"BusB0\")"}));
  EXPECT_EQ(bench.state().Call_OK, callOk);
  EXPECT_EQ(callsOf(ControlName::BusA, 17),
            (Calls{"SWITCHER_NotChannel(\"BusA0\", 1)", "SWITCHER_AddChannel(\"BusA0\", 1)"}));
  EXPECT_EQ(bench.sim.statusWord(0, 0), 0xFFFFu);
  EXPECT_EQ(channel(), 3);
  EXPECT_EQ(bench.state().Sel_Bus, 0);
  for (int i = 1; i <= 16; ++i) {
    EXPECT_EQ(bench.view.colourOf({ControlName::BusA, static_cast<std::int16_t>(i)}),
              panel::colour::Green);
  }
}

TEST_F(Switching, InputToOutputPutsXnOnBusAAndYnOnBusB) {
  chooseMode(1);
  EXPECT_EQ(callsOf(ControlName::BusB, 11), (Calls{"SWITCHER_ExclusiveChannel(\"BusA0\", &3)",
                                                   "SWITCHER_ExclusiveChannel(\"BusB0\", 11)"}));
  EXPECT_EQ(channel(), 3);
  EXPECT_EQ(callsOf(ControlName::BusA, 3), (Calls{"SWITCHER_ExclusiveChannel(\"BusA0\", &3)",
                                                  "SWITCHER_ExclusiveChannel(\"BusB0\", 11)"}));
  EXPECT_EQ(bench.sim.statusWord(0, 0), 1u << 2);
  EXPECT_EQ(bench.sim.statusWord(0, 1), 1u << 10);
}

TEST_F(Switching, StereoPairsPutTheOddChannelOnBusAAndTheEvenOneOnBusB) {
  chooseMode(2);
  EXPECT_EQ(callsOf(ControlName::BusB, 8), (Calls{"SWITCHER_ExclusiveChannel(\"BusA0\", &7)",
                                                  "SWITCHER_ExclusiveChannel(\"BusB0\", 8)"}));
  EXPECT_EQ(callsOf(ControlName::BusA, 9), (Calls{"SWITCHER_ExclusiveChannel(\"BusA0\", &9)",
                                                  "SWITCHER_ExclusiveChannel(\"BusB0\", 10)"}));
}

TEST_F(Switching, TerminationAndTheExclusiveModes) {
  chooseMode(3);
  EXPECT_EQ(callsOf(ControlName::BusA, 4), (Calls{"SWITCHER_NotChannel(\"BusB0\", &4)",
                                                  "SWITCHER_ExclusiveChannel(\"BusA0\", &4)"}));
  EXPECT_EQ(callsOf(ControlName::BusB, 4), (Calls{"SWITCHER_NotChannel(\"BusB0\", &4)",
                                                  "SWITCHER_ExclusiveChannel(\"BusA0\", &4)"}));
  EXPECT_EQ(bench.sim.statusWord(0, 1), 0xFFFFu & ~(1u << 3));
  chooseMode(4);
  EXPECT_EQ(callsOf(ControlName::BusB, 2), (Calls{"SWITCHER_ExclusiveChannel(\"BusB0\", &2)"}));
  chooseMode(5);
  EXPECT_EQ(callsOf(ControlName::BusA, 2), (Calls{"SWITCHER_NotChannel(\"BusA0\", &2)"}));
}

TEST_F(Switching, StepsCycleAndFoldPerMode) {
  struct Step {
    std::int16_t mode;
    std::int16_t from;
    ControlName button;
    std::int16_t expected;
  };
  const Step steps[] = {
      {1, 8, ControlName::NextButton, 1},   // 9 folds to 1
      {1, 1, ControlName::PrevButton, 8},   // 16 folds to 8
      {2, 15, ControlName::NextButton, 1},  //
      {2, 16, ControlName::NextButton, 1},  //
      {2, 1, ControlName::PrevButton, 15},  // 16 made odd
      {2, 5, ControlName::NextButton, 7},   //
      {3, 16, ControlName::NextButton, 1},  //
      {3, 1, ControlName::PrevButton, 16},  //
      {4, 9, ControlName::NextButton, 10},  //
      {5, 9, ControlName::PrevButton, 8},   //
  };
  for (const auto& step : steps) {
    chooseMode(step.mode);
    bench.controller.state().Sel_Channel = step.from;
    bench.view.click({step.button});
    EXPECT_EQ(channel(), step.expected) << "mode " << step.mode << " from " << step.from;
  }
}

TEST_F(Switching, StepBeforeAnyChannelWasChosenStaysInRange) {
  chooseMode(1);
  ASSERT_EQ(channel(), 0);
  EXPECT_EQ(callsOf(ControlName::PrevButton), (Calls{"SWITCHER_ExclusiveChannel(\"BusA0\", &8)",
                                                     "SWITCHER_ExclusiveChannel(\"BusB0\", 16)"}));
  ControllerBench other;
  other.start();
  other.view.chooseListEntry(2);
  other.log->clear();
  other.view.click({ControlName::NextButton});
  EXPECT_EQ(other.state().Sel_Channel, 1);
  EXPECT_EQ(other.log->calls()[0].text(), "SWITCHER_ExclusiveChannel(\"BusA0\", &1)");
}

TEST_F(Switching, AModeChangeKeepsTheLastChannelForTheNextStep) {
  chooseMode(4);
  callsOf(ControlName::BusA, 12);
  chooseMode(1);
  EXPECT_EQ(callsOf(ControlName::NextButton), (Calls{"SWITCHER_ExclusiveChannel(\"BusA0\", &5)",
                                                     "SWITCHER_ExclusiveChannel(\"BusB0\", 13)"}));
}

TEST_F(Switching, AFailedCallIsSkippedSilentlyAndTheRestStillRuns) {
  chooseMode(1);
  bench.sim.injectFault("SWITCHER_ExclusiveChannel", {FaultKind::Raise, 1});
  const auto calls = callsOf(ControlName::BusA, 2);
  EXPECT_EQ(calls.size(), 2u);
  EXPECT_TRUE(bench.services.boxes.empty());
  EXPECT_EQ(bench.sim.statusWord(0, 0), 0u);       // the first call failed
  EXPECT_EQ(bench.sim.statusWord(0, 1), 1u << 9);  // the second went through
}

TEST_F(Switching, ASecondChannelBeyondSixteenBitsIsSkippedNotWrapped) {
  // The host writes `written` into Sel_Channel through the first call's reference; bus B's channel
  // is then computed from it. {mode, written, the second call or "" when it is skipped}.
  struct Case {
    std::int16_t mode;
    std::int16_t written;
    std::string second;
  };
  const Case cases[] = {{1, 32767, ""},
                        {1, 32760, ""},
                        {1, 32759, "SWITCHER_ExclusiveChannel(\"BusB0\", 32767)"},
                        {2, 32767, ""},
                        {2, 32760, "SWITCHER_ExclusiveChannel(\"BusB0\", 32761)"},
                        {2, -32768, "SWITCHER_ExclusiveChannel(\"BusB0\", -32767)"}};
  for (const auto& c : cases) {
    chooseMode(c.mode);
    bench.sim.injectFault(
        "SWITCHER_ExclusiveChannel",
        {FaultKind::ReturnValue, 1, host::Variant(true), {host::Variant(c.written)}});
    Calls expected{"SWITCHER_ExclusiveChannel(\"BusA0\", &3)"};
    if (!c.second.empty()) expected.push_back(c.second);
    EXPECT_EQ(callsOf(ControlName::BusA, 3), expected) << c.mode << " " << c.written;
    EXPECT_EQ(channel(), c.written);
    EXPECT_TRUE(bench.services.boxes.empty());
    EXPECT_FALSE(bench.controller.runEnded());
  }
}

TEST_F(Switching, TheFlipOfAChannelIsUndoneByThePollWhenTheSwitchFails) {
  bench.sim.injectFault("SWITCHER_AddChannel", {FaultKind::ReturnFalse, 1});
  callsOf(ControlName::BusA, 6);
  EXPECT_FALSE(bench.state().BusA_State[6]);
  EXPECT_TRUE(bench.state().Sel_State);
  EXPECT_EQ(bench.view.colourOf({ControlName::BusA, 6}), panel::colour::Grey);
}

TEST_F(Switching, DisabledButtonsRaiseNothing) {
  EXPECT_FALSE(bench.view.click({ControlName::PrevButton}));
  EXPECT_FALSE(bench.view.click({ControlName::NextButton}));
  chooseMode(3);
  EXPECT_FALSE(bench.view.enabledOf({ControlName::BusA, 0}));
  EXPECT_FALSE(bench.view.click({ControlName::BusA, 0}));
  EXPECT_FALSE(bench.view.click({ControlName::BusB, 17}));
  EXPECT_TRUE(bench.log->calls().empty());
  chooseMode(0);
  EXPECT_TRUE(bench.view.enabledOf({ControlName::BusB, 17}));
  EXPECT_FALSE(bench.view.enabledOf({ControlName::NextButton}));
}

}  // namespace
}  // namespace orvane::testing
