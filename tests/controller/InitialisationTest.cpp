// Switcher initialisation: the exact host calls, the Retry/Cancel loop and its texts.
#include <gtest/gtest.h>

#include "tests/support/ControllerBench.h"

namespace orvane::testing {
namespace {

using controller::box::AnswerCancel;
using controller::box::AnswerRetry;
using host::sim::FaultKind;
using host::sim::FaultSpec;

std::string failedBoxText(int address) {
  const std::string a = std::to_string(address);
  return "Connection to Switcher " + a + " failed\r\n\r\n" +
         "Please check it is connected, switched on and that it's \r\n" + "address is set to " + a +
         " on the DIP switches on the back.\r\n\r\n" +
         "Press Retry to attempt to connect again, or\r\n" + "Press Cancel to leave the program";
}

host::sim::SimConfig switchersAt0And5() {
  host::sim::SimConfig config;
  config.addresses = {0, 5};
  return config;
}

TEST(Initialisation, AGoodResetMakesExactlyTheseCallsInThisOrder) {
  ControllerBench bench(switchersAt0And5());
  bench.start("5");
  const auto answerBefore = bench.state().Retry_Answer;
  bench.controller.Initialise_Switcher();

  const auto& calls = bench.log->calls();
  std::vector<std::string> members;
  for (const auto& call : calls) members.push_back(call.text());
  ASSERT_EQ(calls.size(), 20u);
  EXPECT_EQ(members[0], "ORVANE_ShowErrorMessages = False");
  EXPECT_EQ(calls[1].member, "ORVANE_Reset");
  EXPECT_EQ(calls[1].args[0], "&5");
  EXPECT_EQ(calls[1].args[1], "True");
  EXPECT_EQ(members[2], "ORVANE_ShowErrorMessages = False");
  EXPECT_EQ(members[3], "SWITCHER_RemoveArray(\"BusA5\")");
  EXPECT_EQ(members[4], "SWITCHER_RemoveArray(\"BusB5\")");
  EXPECT_EQ(members[5], "SWITCHER_DefineArray(\"BusA5\")");
  EXPECT_EQ(members[6], "SWITCHER_DefineArray(\"BusB5\")");
  // Each array call reads its bus and group constants just before, and passes them on unchanged.
  const std::pair<const char*, const char*> groups[] = {{"IOSWITCHER_BUS_A", "IOSWITCHER_GROUP_X"},
                                                        {"IOSWITCHER_BUS_A", "IOSWITCHER_GROUP_Y"},
                                                        {"IOSWITCHER_BUS_B", "IOSWITCHER_GROUP_X"},
                                                        {"IOSWITCHER_BUS_B", "IOSWITCHER_GROUP_Y"}};
  for (int i = 0; i < 4; ++i) {
    const auto& bus = calls[7 + 3 * i];
    const auto& group = calls[8 + 3 * i];
    const auto& add = calls[9 + 3 * i];
    EXPECT_EQ(bus.member, groups[i].first);
    EXPECT_EQ(group.member, groups[i].second);
    ASSERT_EQ(add.member, "IOSWITCHER_AddToArray");
    EXPECT_EQ(add.args, (std::vector<std::string>{"&5", bus.result, group.result,
                                                  i < 2 ? "\"BusA5\"" : "\"BusB5\""}));
  }
  EXPECT_EQ(calls[19].member, "IOSWITCHER_GetFullStatus");
  EXPECT_EQ(calls[19].args[0], "&5");
  EXPECT_TRUE(bench.services.boxes.empty());
  EXPECT_EQ(bench.state().Retry_Answer, answerBefore);
  EXPECT_EQ(bench.view.windowCaption(), "Orvane I/O Switcher 5");
  EXPECT_EQ(bench.state().Title_Text, "Orvane I/O Switcher 5");
}

TEST(Initialisation, RetryAfterAFailedResetShowsTheBoxOnceThenDefinesTheArrays) {
  ControllerBench bench(switchersAt0And5());
  bench.start("5");
  bench.sim.injectFault("ORVANE_Reset", {FaultKind::ReturnFalse, 1});
  bench.services.boxAnswers = {AnswerRetry};
  bench.controller.Initialise_Switcher();

  ASSERT_EQ(bench.services.boxes.size(), 1u);
  EXPECT_EQ(bench.services.boxes[0].text, failedBoxText(5));
  EXPECT_EQ(bench.services.boxes[0].style, 5);
  EXPECT_EQ(bench.services.boxes[0].title, "Orvane I/O Switcher 5");
  EXPECT_EQ(bench.log->count("ORVANE_Reset"), 2u);
  EXPECT_EQ(bench.log->count("SWITCHER_DefineArray"), 2u);
  EXPECT_EQ(bench.state().Retry_Answer, AnswerRetry);
  EXPECT_FALSE(bench.dispatcher.runEnded());

  // A later good reset keeps the old answer and leaves the message as it was.
  const std::string message = bench.state().Msg_Text;
  bench.controller.Initialise_Switcher();
  EXPECT_EQ(bench.state().Retry_Answer, AnswerRetry);
  EXPECT_EQ(bench.state().Msg_Text, message);
}

TEST(Initialisation, EachFailedAttemptResetsOnceAndShowsTheSameBox) {
  ControllerBench bench(switchersAt0And5());
  bench.start("5");
  bench.sim.injectFault("ORVANE_Reset", {FaultKind::ReturnFalse, 2});
  bench.services.boxAnswers = {AnswerRetry, AnswerRetry};
  bench.controller.Initialise_Switcher();
  ASSERT_EQ(bench.services.boxes.size(), 2u);
  EXPECT_EQ(bench.services.boxes[0].text, bench.services.boxes[1].text);
  EXPECT_EQ(bench.log->count("ORVANE_Reset"), 3u);
}

TEST(Initialisation, TheFirstBoxOfARunHasTheTitleWithoutAddress) {
  ControllerBench bench(switchersAt0And5());
  bench.sim.removeSwitcher(5);
  bench.services.addressAnswers.push_back("5");
  bench.services.whileBoxOpen = [&] { bench.sim.restoreSwitcher(5); };
  bench.services.boxAnswers = {AnswerRetry};
  bench.view.load();
  ASSERT_EQ(bench.services.boxes.size(), 1u);
  EXPECT_EQ(bench.services.boxes[0].title, "Orvane I/O Switcher");
  EXPECT_EQ(bench.services.boxes[0].text, failedBoxText(5));
  EXPECT_EQ(bench.view.windowCaption(), "Orvane I/O Switcher 5");
  EXPECT_FALSE(bench.dispatcher.runEnded());
}

TEST(Initialisation, CancelEndsAtOnceWithNoArraysCaptionOrPoll) {
  ControllerBench bench;
  bench.start();
  bench.sim.removeSwitcher(0);
  bench.services.boxAnswers = {AnswerCancel};
  EXPECT_TRUE(bench.view.click({panel::ControlName::ResetButton}));
  EXPECT_EQ(bench.switchingCalls().size(), 1u);  // the one reset
  EXPECT_EQ(bench.log->count("IOSWITCHER_GetFullStatus"), 0u);
  EXPECT_TRUE(bench.dispatcher.runEnded());
  EXPECT_FALSE(bench.controller.unloaded());
  EXPECT_EQ(bench.services.endsAtOnce, 1);
  EXPECT_EQ(bench.view.operations(), std::vector<std::string>{});
}

TEST(Initialisation, AnyAnswerButRetryCountsAsCancel) {
  ControllerBench bench;
  bench.start();
  bench.sim.removeSwitcher(0);
  bench.services.boxAnswers = {controller::box::AnswerOk};
  bench.view.click({panel::ControlName::ResetButton});
  EXPECT_TRUE(bench.dispatcher.runEnded());
  EXPECT_FALSE(bench.state().Keep_Running);
}

TEST(Initialisation, AResetThatRaisesIsSkippedOnceAGoodCallHasBeenMade) {
  ControllerBench bench;
  bench.start();
  ASSERT_TRUE(bench.state().Call_OK);
  bench.sim.injectFault("ORVANE_Reset", {FaultKind::Raise, 1});
  bench.controller.Initialise_Switcher();
  EXPECT_TRUE(bench.services.boxes.empty());
  EXPECT_EQ(bench.log->count("SWITCHER_DefineArray"), 2u);
}

TEST(Initialisation, AResetThatRaisesAtTheFirstStartOffersRetry) {
  ControllerBench bench;
  bench.sim.injectFault("ORVANE_Reset", {FaultKind::Raise, 1});
  bench.services.addressAnswers.push_back("0");
  bench.services.boxAnswers = {AnswerRetry};
  bench.view.load();
  ASSERT_EQ(bench.services.boxes.size(), 1u);
  EXPECT_EQ(bench.services.boxes[0].style, 5);
  EXPECT_FALSE(bench.dispatcher.runEnded());
}

TEST(Initialisation, FailingArrayCallsAreSkippedSilentlyAndThePollStillRuns) {
  ControllerBench bench;
  bench.start();
  for (const char* member :
       {"ORVANE_ShowErrorMessages", "SWITCHER_RemoveArray", "SWITCHER_DefineArray",
        "IOSWITCHER_GROUP_Y", "IOSWITCHER_AddToArray"}) {
    bench.sim.injectFault(member, {FaultKind::Raise, FaultSpec::Always});
  }
  bench.controller.Initialise_Switcher();
  EXPECT_TRUE(bench.services.boxes.empty());
  EXPECT_EQ(bench.log->count("IOSWITCHER_AddToArray"), 2u);  // the Y-group statements fail early
  EXPECT_EQ(bench.log->count("IOSWITCHER_GetFullStatus"), 1u);
  EXPECT_EQ(bench.view.windowCaption(), "Orvane I/O Switcher 0");
}

TEST(Initialisation, ResetButtonAndModeChangePollTwice) {
  ControllerBench bench;
  bench.start();
  bench.view.click({panel::ControlName::ResetButton});
  EXPECT_EQ(bench.log->count("ORVANE_Reset"), 1u);
  EXPECT_EQ(bench.log->count("IOSWITCHER_GetFullStatus"), 2u);
  bench.log->clear();
  bench.view.chooseListEntry(3);
  EXPECT_EQ(bench.log->count("ORVANE_Reset"), 1u);
  EXPECT_EQ(bench.log->count("IOSWITCHER_GetFullStatus"), 2u);
}

}  // namespace
}  // namespace orvane::testing
