// Start-up and shutdown: the address prompt, the order of the first host calls, ending at once.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/ControllerBench.h"

namespace orvane::testing {
namespace {

using controller::box::AnswerCancel;

std::size_t countOf(const std::vector<std::string>& members, const std::string& name) {
  return static_cast<std::size_t>(std::count(members.begin(), members.end(), name));
}

TEST(Startup, WaitsForTheHostThenResetsTwiceAndPollsThreeTimes) {
  ControllerBench bench;
  bench.services.addressAnswers.push_back("0");
  ASSERT_TRUE(bench.view.load());

  const auto members = bench.log->members();
  ASSERT_GE(members.size(), 9u);
  EXPECT_EQ(bench.log->calls()[0].text(), "CreateObject(\"Qelvix.Application\")");
  EXPECT_EQ(members[1], "IOSwitcher");  // taken before the host reports it is ready
  // Three Sleep rounds until the simulated host is initialised.
  const std::vector<std::string> wait(members.begin() + 2, members.begin() + 9);
  EXPECT_EQ(wait, (std::vector<std::string>{"IsInitialised", "Sleep", "IsInitialised", "Sleep",
                                            "IsInitialised", "Sleep", "IsInitialised"}));
  EXPECT_EQ(bench.log->calls()[3].text(), "Sleep(10)");
  ASSERT_EQ(bench.services.pauses.size(), 3u);  // each round rests until its turn is over
  EXPECT_EQ(countOf(members, "ORVANE_Reset"), 2u);
  EXPECT_EQ(countOf(members, "IOSWITCHER_GetFullStatus"), 3u);

  // The prompt comes after the wait and before the first reset.
  ASSERT_EQ(bench.services.prompts.size(), 1u);
  EXPECT_EQ(bench.services.prompts[0].prompt,
            "Please enter the address of the switcher\r\n\r\n"
            "This should be a number between 0 and 64 corresponding to the DIP switch settings "
            "on\r\nthe back of the switcher to be controlled.");
  EXPECT_EQ(bench.services.prompts[0].title, "Orvane I/O Switcher");
  EXPECT_EQ(bench.services.prompts[0].defaultText, "0");

  // What the panel shows when start-up returns.
  EXPECT_EQ(bench.view.windowCaption(), "Orvane I/O Switcher 0");
  EXPECT_EQ(bench.view.listEntries(),
            (std::vector<std::string>{"None", "Input to Output", "Stereo Pairs", "Termination",
                                      "Exclusive On", "Exclusive Off"}));
  EXPECT_EQ(bench.view.listIndex(), 0);
  EXPECT_EQ(bench.view.timerInterval(), 200);
  EXPECT_TRUE(bench.view.enabledOf({panel::ControlName::BusA, 0}));
  EXPECT_FALSE(bench.view.enabledOf({panel::ControlName::PrevButton}));
  EXPECT_FALSE(bench.dispatcher.runEnded());
  EXPECT_TRUE(bench.services.boxes.empty());
}

TEST(Startup, ModeListSelectionRunsItsClickBeforeTheTimerIsSet) {
  ControllerBench bench;
  bench.services.addressAnswers.push_back("0");
  bench.view.load();
  const auto& ops = bench.view.operations();
  const auto select = std::find(ops.begin(), ops.end(), "ListIndex 0");
  const auto enable = std::find(ops.begin(), ops.end(), "Enabled BusA(0) True");
  const auto timer = std::find(ops.begin(), ops.end(), "Interval 200");
  ASSERT_NE(timer, ops.end());
  EXPECT_LT(select, enable);  // Mode_Droplist_Click ran inside the set
  EXPECT_LT(enable, timer);
}

struct AddressCase {
  const char* typed;
  std::int16_t address;
};

class AddressPrompt : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressPrompt, TypedTextBecomesAnAddressInRange) {
  host::sim::SimConfig config;
  config.addresses = {0, 2, 4, 64};
  ControllerBench bench(config);
  bench.services.addressAnswers.push_back(GetParam().typed);
  bench.view.load();
  EXPECT_EQ(bench.state().Switcher_Address, GetParam().address);
  EXPECT_EQ(bench.state().Address_Text, GetParam().typed);
  EXPECT_EQ(bench.view.windowCaption(),
            "Orvane I/O Switcher " + std::to_string(GetParam().address));
}

INSTANTIATE_TEST_SUITE_P(Startup, AddressPrompt,
                         ::testing::Values(AddressCase{"0", 0}, AddressCase{"70", 64},
                                           AddressCase{"-5", 0}, AddressCase{"abc", 0},
                                           AddressCase{"3.6", 4}, AddressCase{"2.5", 2},
                                           AddressCase{"64.5", 64}, AddressCase{" 4 ", 4},
                                           AddressCase{"1e400", 64}, AddressCase{"-1e400", 0},
                                           AddressCase{"40000", 64}, AddressCase{"0x10", 0},
                                           AddressCase{"1,5", 0}));

TEST(Startup, CancelAtThePromptEndsAtOnceWithoutResetOrUnload) {
  {
    ControllerBench bench;
    bench.services.addressAnswers.push_back("");  // Cancel, or OK on a cleared box
    bench.view.load();
    EXPECT_TRUE(bench.dispatcher.runEnded());
    EXPECT_FALSE(bench.controller.unloaded());
    EXPECT_EQ(bench.services.endsAtOnce, 1);
    EXPECT_EQ(bench.log->count("ORVANE_Reset"), 0u);
    EXPECT_TRUE(bench.view.listEntries().empty());  // start-up went no further
    EXPECT_FALSE(bench.dispatcher.failure().has_value());
    // Nothing reaches the controller any more.
    EXPECT_FALSE(bench.view.click({panel::ControlName::ResetButton}));
    EXPECT_FALSE(bench.view.closeBox());
  }
}

TEST(Startup, AHostThatCannotBeCreatedIsReportedAndFailsTheRun) {
  ControllerBench bench;
  panel::HeadlessView view;
  ScriptedServices services;
  controller::Controller controller(
      view, services, [](const std::string& progId) -> host::ObjectRef {
        throw host::HostError("CreateObject(" + progId + ")", "Class not registered");
      });
  panel::Dispatcher dispatcher(controller, services);
  view.setRaisedEvents(&dispatcher);
  view.attach(dispatcher);
  view.load();
  EXPECT_TRUE(dispatcher.runEnded());
  ASSERT_TRUE(dispatcher.failure().has_value());
  ASSERT_EQ(services.boxes.size(), 1u);
  EXPECT_NE(services.boxes[0].text.find("Class not registered"), std::string::npos);
  EXPECT_NE(services.boxes[0].text.find("Qelvix.Application"), std::string::npos);
  EXPECT_EQ(services.endsAtOnce, 1);
  EXPECT_TRUE(services.prompts.empty());
}

TEST(Startup, AHostThatDiesWhileStartingIsAFailureNotAHang) {
  ControllerBench bench;
  bench.sim.injectFault("IsInitialised", {host::sim::FaultKind::Raise, 1});
  bench.view.load();
  EXPECT_TRUE(bench.dispatcher.runEnded());
  EXPECT_TRUE(bench.dispatcher.failure().has_value());
  EXPECT_TRUE(bench.services.prompts.empty());
}

TEST(Shutdown, ClosingResetsTheSwitcherThenReleasesBothObjectsOnce) {
  ControllerBench bench;
  bench.start();
  bench.view.click({panel::ControlName::BusA, 5});
  ASSERT_NE(bench.sim.statusWord(0, 0), 0u);
  bench.log->clear();
  ASSERT_TRUE(bench.view.closeBox());
  ASSERT_FALSE(bench.log->calls().empty());
  const auto& reset = bench.log->calls().front();
  EXPECT_EQ(reset.member, "ORVANE_Reset");
  ASSERT_EQ(reset.args.size(), 3u);
  EXPECT_EQ(reset.args[0], "&0");
  EXPECT_EQ(reset.args[1], "True");
  EXPECT_EQ(reset.args[2].front(), '&');
  EXPECT_EQ(bench.sim.statusWord(0, 0), 0u);
  const auto texts = bench.log->texts();
  EXPECT_EQ(std::vector<std::string>(texts.end() - 2, texts.end()),
            (std::vector<std::string>{"Release IOSwitcher", "Release HostApp"}));
  EXPECT_EQ(bench.sim.liveObjects(), 0);
  EXPECT_TRUE(bench.dispatcher.runEnded());
  EXPECT_FALSE(bench.view.click({panel::ControlName::ResetButton}));
  EXPECT_FALSE(bench.view.tick());
}

TEST(Shutdown, ClosingStillResetsWhenTheLastInitialisationFailed) {
  ControllerBench bench;
  bench.start();
  bench.sim.injectFault("ORVANE_Reset", {host::sim::FaultKind::Raise, 1});
  bench.controller.Initialise_Switcher();  // the failed reset passes unnoticed after a good call
  bench.log->clear();
  bench.view.closeBox();
  EXPECT_EQ(bench.log->count("ORVANE_Reset"), 1u);
}

TEST(Shutdown, CancelAfterAFailedResetReleasesHostAppFirstAndSkipsTheUnload) {
  host::sim::SimConfig config;
  config.addresses = {0};
  ControllerBench bench(config);
  bench.services.addressAnswers.push_back("7");
  bench.services.boxAnswers.push_back(AnswerCancel);
  bench.view.load();
  EXPECT_TRUE(bench.dispatcher.runEnded());
  EXPECT_FALSE(bench.controller.unloaded());
  EXPECT_EQ(bench.log->count("ORVANE_Reset"), 1u);
  EXPECT_EQ(bench.log->count("SWITCHER_DefineArray"), 0u);
  const auto texts = bench.log->texts();
  EXPECT_EQ(std::vector<std::string>(texts.end() - 2, texts.end()),
            (std::vector<std::string>{"Release HostApp", "Release IOSwitcher"}));
  EXPECT_EQ(bench.view.windowCaption(), "Orvane I/O Switcher");
  EXPECT_EQ(bench.sim.liveObjects(), 0);
}

}  // namespace
}  // namespace orvane::testing
