// What a fault report carries: the trace of the whole program, as --trace wires it, through a slow
// start, a host that stops answering, the operator's Cancel and the end of the session.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <regex>

#include "panel/Controls.h"
#include "tests/app/HeadlessProgram.h"

namespace orvane::app {
namespace {

using namespace std::chrono_literals;
using host::sim::FaultKind;
using host::sim::FaultSpec;

TEST(ProgramTrace, AStartOfFiftyRoundsIsWrittenAsItsFirstRoundAndOneLineForTheRest) {
  host::sim::SimConfig config;
  config.sleepsUntilInitialised = 50;
  config.sleepTakes = 0ms;
  TracedProgram p(config, 1h);  // paced rounds take half a second: no start-up window between
  p.view.load();
  const auto all = p.lines();
  const auto first = std::find(all.begin(), all.end(), "host N HostApp.IsInitialised -> False");
  ASSERT_NE(first, all.end());
  EXPECT_EQ(std::vector<std::string>(first, first + 4),
            (std::vector<std::string>{
                "host N HostApp.IsInitialised -> False",
                "host N HostApp.Sleep(10) -> Empty",
                "host N HostApp.IsInitialised -> False, HostApp.Sleep(10) -> Empty: 49 more rounds",
                "host N HostApp.IsInitialised -> True",
            }));
  EXPECT_LT(all.size(), 80u);
}

// Other lines may come between the rounds (the start-up window's): each brings out the count so
// far, and the counts add up to the rounds there were.
TEST(ProgramTrace, RoundsInterruptedByOtherLinesAreEachCountedOnce) {
  host::sim::SimConfig config;
  config.sleepsUntilInitialised = 100;
  config.sleepTakes = 0ms;
  TracedProgram p(config, 1ms);
  p.view.load();
  static const std::regex folded(R"(-> Empty: (\d+) more rounds?$)");
  long rounds = 0;
  for (const auto& line : p.lines()) {
    std::smatch found;
    if (std::regex_search(line, found, folded)) rounds += std::stol(found[1].str());
  }
  EXPECT_EQ(rounds, 99);
}

TEST(ProgramTrace, CancelAtThePromptAndOkOnAnEmptyFieldReadDifferently) {
  for (const auto& [answer, told] : std::vector<std::pair<std::optional<std::string>, std::string>>{
           {std::nullopt, " -> Cancel"}, {"", " -> \"\""}}) {
    TracedProgram p;
    p.services.addressAnswers.push_back(answer);
    p.view.load();
    const auto all = p.lines();
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&told](const std::string& line) {
      return line.starts_with("box InputBox(") && line.ends_with(told);
    })) << told;
    EXPECT_EQ(p.program->exitStatus(), ExitEnded);
  }
}

// The operator gives up on a click's call: the box with its answer, the call named with its
// arguments and marked as given up, then the lost connection.
TEST(ProgramTrace, TheNotAnsweringBoxAndTheCallGivenUpOnAreWritten) {
  TracedProgram p;
  p.view.load();
  p.sim().injectFault("SWITCHER_AddChannel", FaultSpec(FaultKind::Block, 1));
  int boxes = 0;
  p.waiter.operatorAnswer = [&boxes](const panel::HostWait::Box&) -> std::int16_t {
    return ++boxes == 1 ? controller::box::AnswerRetry : controller::box::AnswerCancel;
  };
  p.view.click(panel::busButton(0, 5));

  const std::string box =
      "box MsgBox(\"Qelvix has not answered for 0.02 seconds.\\r\\nRetry keeps waiting; Cancel "
      "closes this program.\", 5, \"Orvane I/O Switcher 0\")";
  const std::string box2 = std::regex_replace(box, std::regex("0\\.02"), "0.04");
  EXPECT_TRUE(p.has(box + " -> 4"));
  EXPECT_TRUE(p.has(box2 + " -> 2"));
  EXPECT_TRUE(
      p.has("host N IOSwitcher.SWITCHER_AddChannel(\"BusA0\", &5) -> error "
            "\"SWITCHER_AddChannel: the host is not responding\" (given up waiting "
            "for it)"));
}

// A timer's read that hangs: its event is in the trace while the box is open, before the call ends.
TEST(ProgramTrace, ATimersEventIsWrittenWhenItsFirstCallBegins) {
  for (const bool follow : {false, true}) {
    TracedProgram p;
    p.view.load();
    p.view.click({panel::ControlName::DCButton});
    p.sim().injectFault(follow ? "IOSWITCHER_GetFullStatus" : "IOSWITCHER_GetBusDC",
                        FaultSpec(FaultKind::Block, 1));
    bool written = false;
    p.waiter.operatorAnswer = [&](const panel::HostWait::Box&) -> std::int16_t {
      written = p.has(follow ? "event handled FollowTimer_Timer" : "event handled Timer1_Timer");
      p.sim().releaseBlocked();
      return controller::box::AnswerRetry;
    };
    follow ? p.view.followTick() : p.view.tick();
    EXPECT_TRUE(written) << follow;
  }
}

TEST(ProgramTrace, TheStartupWindowAndItsCancelAreWrittenAsTheOperatorsCancel) {
  TracedProgram p({}, 1ms);
  p.sim().injectFault("IsInitialised", FaultSpec(FaultKind::Block, 1));
  p.waiter.operatorCancelsStartup = [](const std::string&) { return true; };
  p.view.load();
  const auto all = p.lines();
  EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](const std::string& line) {
    return line.starts_with("box StartupWindow(\"Orvane I/O Switcher\", \"Waiting for Qelvix") &&
           line.ends_with(" shown");
  }));
  EXPECT_TRUE(p.has("box StartupWindow -> Cancel"));
  EXPECT_TRUE(p.has("host N HostApp.IsInitialised -> cancelled by the operator"));
  EXPECT_EQ(all.back(), "end at once");
}

// The session ends in the middle of an operation that is no hung call: the call in progress
// answers, and what has to be sent is sent; the host objects are let go however far start-up got.
TEST(ProgramTrace, ASessionEndDuringAShortCallOrAtStartupStillReleasesTheHost) {
  struct Row {
    const char* when;
    std::function<void(TracedProgram&)> endTheSessionThere;
    std::vector<std::string> inOrder;  // prefixes of lines the trace has, in this order
  };
  const std::vector<Row> rows = {
      {"a short follow read",
       [](TracedProgram& p) {
         p.view.load();
         p.sim().setLatency(150ms);
         p.waiter.whileWaiting = [&p] { p.endSessionHere(); };
         p.view.followTick();
       },
       {"session ending: SIGTERM",
        "session ending: open: host call IOSwitcher.IOSWITCHER_GetFullStatus(&0, &0, &0)",
        "session ending: the operation in progress is left; sending the unload's reset",
        "host N IOSwitcher.ORVANE_Reset(&0, True, &\"Switcher 0 reset\") -> True",
        "session ending: releases done"}},
      {"the address prompt",
       [](TracedProgram& p) {
         p.services.whilePromptOpen = [&p] { p.endSessionHere(); };
         p.view.load();
       },
       {"session ending: SIGTERM", "session ending: open: box InputBox(",
        "session ending: no reset sent: no address has been chosen",
        "session ending: releases done"}},
      {"the start-up window",
       [](TracedProgram& p) {
         p.waiter.operatorCancelsStartup = [&p](const std::string&) {
           p.endSessionHere();
           return false;
         };
         p.view.load();
       },
       {"box StartupWindow(", "session ending: SIGTERM", "session ending: open: host call HostApp.",
        "session ending: open: box StartupWindow(",
        "box StartupWindow -> closed: the session is ending",
        "session ending: no reset sent: no address has been chosen",
        "session ending: releases done"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.when);
    host::sim::SimConfig config;
    config.readyAfter = 300ms;  // only the start-up window's row gets that far before the end
    TracedProgram p(config, 1ms);
    try {
      row.endTheSessionThere(p);
    } catch (const controller::RunEnded&) {  // where the process would have ended
    }
    EXPECT_EQ(p.endedWith, ExitEnded);
    EXPECT_EQ(p.sim().liveObjects(), 0);
    const auto all = p.lines();
    auto at = all.begin();
    for (const auto& expected : row.inOrder) {
      at = std::find_if(at, all.end(),
                        [&](const std::string& l) { return l.starts_with(expected); });
      EXPECT_NE(at, all.end()) << expected << "\n" << ::testing::PrintToString(all);
      if (at == all.end()) break;
    }
  }
}

// The session ends while a click's call waits and its box is open: both are listed, the reset goes
// alone, and the releases are not waited for.
TEST(ProgramTrace, TheEndOfTheSessionTellsWhatWasOpenWhatWasSentAndTheReleases) {
  TracedProgram p;
  p.view.load();
  p.sim().injectFault("SWITCHER_AddChannel", FaultSpec(FaultKind::Block, 1));
  p.waiter.operatorAnswer = [&p](const panel::HostWait::Box&) -> std::int16_t {
    p.program->endSession("SIGTERM");
    return controller::box::AnswerCancel;
  };
  p.view.click(panel::busButton(0, 5));

  const auto all = p.lines();
  const auto ending = std::find(all.begin(), all.end(), "session ending: SIGTERM");
  ASSERT_GE(all.end() - ending, 6) << ::testing::PrintToString(all);
  const std::vector<std::string> after(ending, ending + 6);
  EXPECT_EQ(
      after[1].rfind("session ending: open: host call IOSwitcher.SWITCHER_AddChannel(\"BusA0\", "
                     "&5), open for ",
                     0),
      0u);
  EXPECT_EQ(after[2].rfind("session ending: open: box MsgBox(\"Qelvix has not answered", 0), 0u);
  EXPECT_EQ(after[3],
            "session ending: the operation in progress is left; sending the unload's reset");
  // The host thread is still stuck in the click's call: the reset waits its turn until the
  // session's deadline, and never reaches the host.
  EXPECT_EQ(
      after[4],
      "host N IOSwitcher.ORVANE_Reset(&0, True, &\"Switcher 0 reset\") -> error "
      "\"ORVANE_Reset: the host is not responding\" (given up waiting for it: queued behind a "
      "call the host has not answered)");
  EXPECT_EQ(after[5], "session ending: releases not waited for: the host did not answer");
  EXPECT_EQ(p.endedWith, ExitEnded);
}

}  // namespace
}  // namespace orvane::app
