// Fault scenarios: the host missing or dying at the awkward moments, the switcher unplugged and
// plugged back in, a status read that never recovers, a slow host with the DC monitor running,
// and a host that writes through references it should only read.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/support/BoxTexts.h"
#include "tests/support/ControllerBench.h"

namespace orvane::testing {
namespace {

using host::Variant;
using host::recording::HostCall;
using host::sim::FaultKind;
using host::sim::FaultSpec;
using panel::ControlName;
namespace colour = panel::colour;
namespace box = controller::box;

// A host with switcher 5 on its bus, the one every scenario here controls.
host::sim::SimConfig withSwitcher5() {
  host::sim::SimConfig config;
  config.addresses = {5};
  return config;
}

std::size_t countOf(const std::vector<std::string>& texts, const std::string& text) {
  return static_cast<std::size_t>(std::count(texts.begin(), texts.end(), text));
}

// What every ending must leave behind: each host object released once, and once the run is over
// no further host call and no view operation, whatever the operator still does.
void expectEndedForGood(ControllerBench& b) {
  ASSERT_TRUE(b.dispatcher.runEnded());
  const auto calls = b.log->calls().size();
  const auto ops = b.view.operations().size();
  EXPECT_FALSE(b.view.click({ControlName::ResetButton}));
  EXPECT_FALSE(b.view.click(panel::busButton(0, 5)));
  EXPECT_FALSE(b.view.tick());
  EXPECT_FALSE(b.view.chooseListEntry(3));
  b.view.closeBox();
  EXPECT_EQ(b.log->calls().size(), calls);
  EXPECT_EQ(b.view.operations().size(), ops);
}

// The lost-connection ending: one exclamation box with the three lines, one unload (its reset),
// both objects let go.
void expectLostConnectionEnding(ControllerBench& b) {
  ASSERT_FALSE(b.services.boxes.empty());
  const auto& last = b.services.boxes.back();
  EXPECT_EQ(last.text, LostConnectionText);
  EXPECT_EQ(last.style, box::ExclamationOk);
  EXPECT_TRUE(b.controller.unloaded());
  EXPECT_EQ(b.sim.liveObjects(), 0);
  const auto texts = b.calls();
  EXPECT_EQ(countOf(texts, "Release IOSwitcher"), 1u);
  EXPECT_EQ(countOf(texts, "Release HostApp"), 1u);
  expectEndedForGood(b);
}

// ---------------------------------------------------------------------------------------------
// The host missing or dying during start-up

TEST(HostAtStartUp, MissingHostIsReportedClearlyAndFailsTheRunWithNoWindow) {
  ControllerBench b{withSwitcher5()};
  b.sim.kill();  // no host application can be started
  b.services.addressAnswers.push_back("5");
  b.view.load();

  ASSERT_TRUE(b.dispatcher.failure().has_value());  // the program exits with a failure status
  EXPECT_NE(b.dispatcher.failure()->find("Server execution failed"), std::string::npos);
  ASSERT_EQ(b.services.boxes.size(), 1u);
  EXPECT_EQ(b.services.boxes[0].text.rfind("The program could not start.", 0), 0u);
  EXPECT_NE(b.services.boxes[0].text.find("Server execution failed"), std::string::npos);
  EXPECT_EQ(b.services.endsAtOnce, 1);
  // No window: no prompt, no list, no timer, no caption, and no unload.
  EXPECT_TRUE(b.services.prompts.empty());
  EXPECT_TRUE(b.view.listEntries().empty());
  EXPECT_EQ(b.view.timerInterval(), 0);
  EXPECT_TRUE(b.view.operations().empty());
  EXPECT_FALSE(b.controller.unloaded());
  EXPECT_EQ(b.log->count("ORVANE_Reset"), 0u);
  expectEndedForGood(b);
}

TEST(HostAtStartUp, DyingWhileTheHostLoadsFailsTheRunAndTheObjectIsReleasedOnce) {
  auto b = std::make_unique<ControllerBench>(withSwitcher5());
  auto log = b->log;
  b->sim.setCallHook([&sim = b->sim](const std::string& member) {
    if (member == "Sleep") sim.kill();
  });
  b->services.addressAnswers.push_back("5");
  b->view.load();

  ASSERT_TRUE(b->dispatcher.failure().has_value());
  EXPECT_TRUE(b->services.prompts.empty());  // it died before the address was asked
  EXPECT_EQ(b->view.timerInterval(), 0);
  expectEndedForGood(*b);
  b.reset();  // the program's exit lets go of what start-up took
  const auto texts = log->texts();
  EXPECT_EQ(countOf(texts, "Release IOSwitcher"), 1u);
  EXPECT_EQ(countOf(texts, "Release HostApp"), 1u);
}

TEST(HostAtStartUp, DyingBeforeTheFirstResetOffersRetryThenCancelEndsAtOnce) {
  ControllerBench b{withSwitcher5()};
  b.sim.setCallHook([&sim = b.sim](const std::string& member) {
    if (member == "ORVANE_Reset") sim.kill();
  });
  b.services.boxAnswers = {box::AnswerRetry, box::AnswerCancel};
  b.services.addressAnswers.push_back("5");
  b.view.load();

  // The first reset of a run that raises is a failed reset: Retry tries once more, Cancel ends.
  ASSERT_EQ(b.services.boxes.size(), 2u);
  EXPECT_EQ(b.services.boxes[0].style, box::RetryCancel);
  EXPECT_EQ(b.services.boxes[0].title, "Orvane I/O Switcher");
  EXPECT_EQ(b.log->count("ORVANE_Reset"), 2u);
  EXPECT_EQ(b.services.endsAtOnce, 1);
  EXPECT_FALSE(b.controller.unloaded());
  EXPECT_FALSE(b.dispatcher.failure().has_value());
  EXPECT_EQ(b.sim.liveObjects(), 0);
  const auto texts = b.calls();
  const auto app = std::find(texts.begin(), texts.end(), "Release HostApp");
  const auto sw = std::find(texts.begin(), texts.end(), "Release IOSwitcher");
  ASSERT_NE(app, texts.end());
  ASSERT_NE(sw, texts.end());
  EXPECT_LT(app, sw);  // HostApp first on this path
  EXPECT_EQ(b.log->count("SWITCHER_DefineArray"), 0u);
  EXPECT_EQ(b.view.timerInterval(), 0);
  expectEndedForGood(b);
}

TEST(HostAtStartUp, DyingAfterAGoodResetLosesTheConnectionAndStopsStartUp) {
  ControllerBench b{withSwitcher5()};
  b.sim.setCallHook([&sim = b.sim](const std::string& member) {
    if (member == "SWITCHER_RemoveArray") sim.kill();
  });
  b.services.addressAnswers.push_back("5");
  b.view.load();

  EXPECT_FALSE(b.dispatcher.failure().has_value());  // an orderly close, not a failed start
  EXPECT_EQ(b.services.boxes.size(), 1u);
  EXPECT_EQ(b.view.timerInterval(), 0);         // the rest of start-up did not run
  EXPECT_EQ(b.log->count("ORVANE_Reset"), 2u);  // the initialisation's and the unload's
  expectLostConnectionEnding(b);
}

// ---------------------------------------------------------------------------------------------
// The host dying while the panel is up

class HostDying : public ::testing::Test {
 protected:
  void SetUp() override { b.start("5"); }
  void killOnFirst(const std::string& target) {
    b.sim.setCallHook([this, target](const std::string& member) {
      if (member == target) b.sim.kill();
    });
  }
  ControllerBench b{withSwitcher5()};
};

TEST_F(HostDying, DuringAChannelClickTheSwitchIsSkippedAndThePollClosesTheProgram) {
  killOnFirst("SWITCHER_AddChannel");
  b.view.click(panel::busButton(0, 5));
  EXPECT_TRUE(b.state().BusA_State[5]);  // the flip stands: no poll ever read it back
  EXPECT_EQ(b.services.boxes.size(), 1u);
  EXPECT_EQ(b.services.boxes[0].title, "Orvane I/O Switcher 5");
  // Nothing of the poll was painted: the connection was lost before the decode.
  for (const auto& op : b.view.operations()) EXPECT_EQ(op.rfind("BackColor", 0), std::string::npos);
  expectLostConnectionEnding(b);
}

TEST_F(HostDying, DuringADcTickTheReadoutsKeepTheirLastValuesAndTheRunGoesOn) {
  b.view.click({ControlName::DCButton});
  b.sim.setChannelDc(5, 1, 0.25, -0.5);
  b.view.click(panel::busButton(0, 1));
  b.view.tick();
  const std::string plus = b.view.captionOf({ControlName::Label4});
  ASSERT_NE(plus, "- - V ");
  killOnFirst("IOSWITCHER_GetBusDC");
  EXPECT_TRUE(b.view.tick());
  EXPECT_FALSE(b.dispatcher.runEnded());  // the DC monitor reports nothing
  EXPECT_TRUE(b.services.boxes.empty());
  EXPECT_EQ(b.view.captionOf({ControlName::Label4}), plus);
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(b.view.tick());
  // The next poll is where the lost host shows.
  b.view.click(panel::busButton(1, 2));
  expectLostConnectionEnding(b);
}

TEST_F(HostDying, WhileTheExcessiveDcWarningIsOpenBalanceStaysOffAndTheNextPollCloses) {
  b.sim.setChannelDc(5, 2, 9.0, 0.0);
  b.view.click(panel::busButton(0, 2));
  b.services.whileBoxOpen = [this] {
    b.sim.kill();
    EXPECT_FALSE(b.view.tick());  // events while the box is open are dropped
    EXPECT_FALSE(b.view.click({ControlName::BalA_Button}));
  };
  b.view.click({ControlName::BalA_Button});
  b.services.whileBoxOpen = nullptr;
  EXPECT_FALSE(b.state().BalA_On);
  EXPECT_EQ(b.view.colourOf({ControlName::BalA_Button}), colour::Grey);
  EXPECT_FALSE(b.dispatcher.runEnded());
  b.view.click({ControlName::ResetButton});
  expectLostConnectionEnding(b);
}

TEST_F(HostDying, WhileTheRetryBoxIsOpenRetryFailsAgainAndCancelEnds) {
  b.sim.removeSwitcher(5);
  int shown = 0;
  b.services.whileBoxOpen = [this, &shown] {
    if (++shown == 1) b.sim.kill();
    EXPECT_FALSE(b.view.tick());
  };
  b.services.boxAnswers = {box::AnswerRetry, box::AnswerCancel};
  b.view.click({ControlName::ResetButton});
  // Retry against a dead host: the reset raises, is skipped, Call_OK is still False from the
  // failed reset, so the box comes again; Cancel then ends at once without an unload.
  EXPECT_EQ(shown, 2);
  EXPECT_EQ(b.services.endsAtOnce, 1);
  EXPECT_FALSE(b.controller.unloaded());
  EXPECT_EQ(b.sim.liveObjects(), 0);
  expectEndedForGood(b);
}

TEST_F(HostDying, WhileTheLostConnectionBoxIsOpenNothingElseRuns) {
  b.sim.injectFault("IOSWITCHER_GetFullStatus", FaultSpec(FaultKind::Raise, 1));
  std::size_t callsWhenShown = 0;
  b.services.whileBoxOpen = [this, &callsWhenShown] {
    callsWhenShown = b.log->calls().size();
    EXPECT_FALSE(b.view.tick());
    EXPECT_FALSE(b.view.closeBox());
    EXPECT_FALSE(b.view.click(panel::busButton(1, 1)));
    EXPECT_EQ(b.log->calls().size(), callsWhenShown);
  };
  b.view.click(panel::busButton(0, 3));
  EXPECT_EQ(b.services.boxes.size(), 1u);
  expectLostConnectionEnding(b);
}

// ---------------------------------------------------------------------------------------------
// The switcher unplugged and plugged back in

TEST(Unplugged, PluggingBackInAndPressingRetryRecovers) {
  ControllerBench b{withSwitcher5()};
  b.start("5");
  b.view.click(panel::busButton(0, 4));
  ASSERT_EQ(b.view.colourOf(panel::busButton(0, 4)), colour::Green);
  const int resets = b.sim.resetCount(5);

  b.sim.removeSwitcher(5);
  b.services.whileBoxOpen = [&b] { b.sim.restoreSwitcher(5); };  // the operator plugs it in
  b.services.boxAnswers = {box::AnswerRetry};
  // A channel click reads False, re-initialises, the reset fails: the box; Retry succeeds.
  b.view.click(panel::busButton(1, 7));
  b.services.whileBoxOpen = nullptr;

  ASSERT_EQ(b.services.boxes.size(), 1u);
  EXPECT_EQ(b.services.boxes[0].style, box::RetryCancel);
  EXPECT_EQ(b.services.boxes[0].title, "Orvane I/O Switcher 5");
  EXPECT_EQ(b.services.boxes[0].text.rfind("Connection to Switcher 5 failed\r\n", 0), 0u);
  EXPECT_EQ(b.state().Retry_Answer, box::AnswerRetry);
  EXPECT_FALSE(b.dispatcher.runEnded());
  EXPECT_EQ(b.sim.resetCount(5), resets + 1);  // the one good reset after Retry
  // The switcher came back with everything off, and the panel shows it.
  for (int i = 1; i <= 16; ++i) {
    EXPECT_EQ(b.view.colourOf(panel::busButton(0, i)), colour::Grey);
    EXPECT_EQ(b.view.colourOf(panel::busButton(1, i)), colour::Grey);
  }
  // The arrays were defined again, so switching works once more.
  b.view.click(panel::busButton(1, 7));
  EXPECT_EQ(b.view.colourOf(panel::busButton(1, 7)), colour::Green);
  EXPECT_EQ(b.sim.statusWord(5, 1), 1u << 6);
}

TEST(Unplugged, CancelWhileUnpluggedEndsAtOnceWithoutTheUnloadReset) {
  ControllerBench b{withSwitcher5()};
  b.start("5");
  b.sim.removeSwitcher(5);
  b.view.click({ControlName::ResetButton});  // the default answer is Cancel
  EXPECT_EQ(b.services.endsAtOnce, 1);
  EXPECT_EQ(b.log->count("ORVANE_Reset"), 1u);
  EXPECT_FALSE(b.controller.unloaded());
  expectEndedForGood(b);
}

// ---------------------------------------------------------------------------------------------
// The status read failing for ever while the reset succeeds

TEST(StatusNeverRecovers, ARunOfFailedReadsIsBoundedAndEndsOnTheLostConnectionPath) {
  for (const bool fromReset : {true, false}) {
    SCOPED_TRACE(fromReset ? "reset button" : "channel click");
    ControllerBench b{withSwitcher5()};
    b.start("5");
    b.sim.injectFault("IOSWITCHER_GetFullStatus",
                      FaultSpec(FaultKind::ReturnFalse, FaultSpec::Always));
    if (fromReset) {
      b.view.click({ControlName::ResetButton});
    } else {
      b.view.click(panel::busButton(0, 9));
    }
    // A top-level poll plus the re-initialisations it may nest, and no more.
    const auto polls = b.log->count("IOSWITCHER_GetFullStatus");
    EXPECT_LE(polls, static_cast<std::size_t>(controller::MaxReinitialisationDepth + 1));
    EXPECT_GE(polls, 2u);
    // Every reset succeeded (the unload's included), so no Retry box was shown.
    EXPECT_EQ(b.services.boxes.size(), 1u);
    expectLostConnectionEnding(b);
  }
}

// ---------------------------------------------------------------------------------------------
// A slow host with the DC monitor on: simulated time advances with every host call, and the
// timer fires whenever it is due, also in the middle of a call, as a pumping message loop would.

class SlowHost : public ::testing::Test {
 protected:
  static constexpr long MillisecondsPerCall = 35;

  void SetUp() override {
    b.start("5");
    b.view.click({ControlName::DCButton});
    b.sim.setCallHook([this](const std::string& member) {
      now += MillisecondsPerCall;
      if (member == "IOSWITCHER_GetBusDC" && inTick) ++readingsInTicks;
      if (member == "IOSWITCHER_GetBusDC" && !inTick && !balanceCheck) ++readingsOutsideTicks;
      while (now >= nextTick) {
        nextTick += 200;
        // Delivered while a call is still running: whatever runs, the tick must not.
        if (b.view.tick())
          ++nestedTicks;
        else
          ++droppedTicks;
      }
    });
  }

  // The operator's action, then the ticks that fell due while the window was idle.
  void act(const std::function<void()>& action) {
    action();
    while (now >= nextTick && !b.dispatcher.runEnded()) {
      nextTick += 200;
      inTick = true;
      if (b.view.tick()) ++idleTicks;
      inTick = false;
    }
    now += 200;  // the operator's own pace
  }

  ControllerBench b{withSwitcher5()};
  long now = 0;
  long nextTick = 200;
  bool inTick = false;
  bool balanceCheck = false;  // a balance click measures its own bus
  int nestedTicks = 0, droppedTicks = 0, idleTicks = 0;
  int readingsInTicks = 0, readingsOutsideTicks = 0;
};

TEST_F(SlowHost, NoTickEverRunsInsideAnotherOperation) {
  std::mt19937 random(11);
  for (int i = 0; i < 300; ++i) {
    switch (random() % 5) {
      case 0:
        act([&] {
          b.view.click(
              panel::busButton(static_cast<int>(random() % 2), static_cast<int>(random() % 18)));
        });
        break;
      case 1:
        act([&] { b.view.chooseListEntry(static_cast<std::int16_t>(random() % 6)); });
        break;
      case 2:
        act([&] { b.view.click({ControlName::ResetButton}); });
        break;
      case 3:
        act([&] {
          balanceCheck = true;
          b.view.click({random() % 2 ? ControlName::BalB_Button : ControlName::LoadA_Button});
          balanceCheck = false;
        });
        break;
      default:
        act([&] {
          b.view.click({random() % 2 ? ControlName::PrevButton : ControlName::NextButton});
        });
        break;
    }
  }
  EXPECT_EQ(nestedTicks, 0);
  EXPECT_EQ(readingsOutsideTicks, 0);  // every DC reading belongs to a tick of its own
  EXPECT_GT(droppedTicks, 0);          // the slow calls did make ticks fall due mid-call
  EXPECT_GT(idleTicks, 0);
  EXPECT_GT(readingsInTicks, 0);
  EXPECT_FALSE(b.dispatcher.runEnded());
  EXPECT_TRUE(b.services.boxes.size() < 300u);  // only excessive-DC warnings, if any
  for (const auto& shown : b.services.boxes) EXPECT_EQ(shown.style, box::ExclamationOk);
}

// ---------------------------------------------------------------------------------------------
// A host that writes through references the controller passes only for reading

TEST(HostWritingReferences, TheAddressStaysTheOperatorsChoice) {
  ControllerBench b{withSwitcher5()};
  b.start("5");
  // Three outs reach the address as well as both status words; one out on BusLoad, the address.
  b.sim.injectFault("IOSWITCHER_GetFullStatus",
                    FaultSpec(FaultKind::ReturnValue, 1, Variant(true),
                              {Variant(std::int16_t{7}), Variant(std::int32_t{1}), Variant()}));
  b.view.click(panel::busButton(0, 1));
  EXPECT_EQ(b.state().Switcher_Address, 5);
  b.sim.injectFault("IOSWITCHER_BusLoad", FaultSpec(FaultKind::ReturnValue, 1, Variant(true),
                                                    {Variant(std::int16_t{-6})}));
  b.view.click({ControlName::LoadA_Button});
  EXPECT_EQ(b.state().Switcher_Address, 5);
  b.sim.injectFault("ORVANE_Reset", FaultSpec(FaultKind::ReturnValue, 1, Variant(true),
                                              {Variant(std::int16_t{64}), Variant()}));
  b.log->clear();
  b.view.click({ControlName::ResetButton});
  EXPECT_EQ(b.state().Switcher_Address, 5);
  EXPECT_EQ(b.view.windowCaption(), "Orvane I/O Switcher 5");
  for (const auto& call : b.log->calls()) {
    if (call.kind != HostCall::Kind::Call || call.args.empty()) continue;
    const auto& first = call.args.front();
    EXPECT_TRUE(first == "&5" || first == "\"BusA5\"" || first == "\"BusB5\"") << call.text();
  }
}

}  // namespace
}  // namespace orvane::testing

namespace orvane::testing {
namespace {

// The channel field, unlike the address, is the engine's working value: a host write through its
// reference stands. The stepping buttons still bring any value back into 1..16 before they send.
TEST(HostWritingReferences, SteppingFromAChannelTheHostWroteStaysWithinTheSixteen) {
  for (const std::int16_t written : {std::int16_t{1000}, std::int16_t{17}, std::int16_t{-3},
                                     std::int16_t{32767}, std::int16_t{-32768}}) {
    for (const bool forward : {false, true}) {
      SCOPED_TRACE(std::to_string(written) + (forward ? " >" : " <"));
      ControllerBench b{withSwitcher5()};
      b.start("5");
      b.view.chooseListEntry(4);  // "Exclusive On": one call, with the field by reference
      b.sim.injectFault("SWITCHER_ExclusiveChannel",
                        FaultSpec(FaultKind::ReturnValue, 1, Variant(true), {Variant(written)}));
      b.view.click(panel::busButton(0, 3));
      ASSERT_EQ(b.state().Sel_Channel, written);
      b.log->clear();
      b.view.click({forward ? ControlName::NextButton : ControlName::PrevButton});
      EXPECT_EQ(b.state().Sel_Channel, forward ? 1 : 16);
      const auto sent = b.log->texts({"SWITCHER_ExclusiveChannel"});
      ASSERT_EQ(sent.size(), 1u);
      EXPECT_EQ(sent[0], std::string("SWITCHER_ExclusiveChannel(\"BusA5\", &") +
                             (forward ? "1" : "16") + ")");
    }
  }
}

}  // namespace
}  // namespace orvane::testing
