// The status poll: decoding both words into flags and colours, recovery and the lost connection.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/support/BoxTexts.h"
#include "tests/support/ControllerBench.h"
#include "tests/support/TestForeignValue.h"

namespace orvane::testing {
namespace {

using host::Variant;
using host::sim::FaultKind;
using host::sim::FaultSpec;
using panel::ControlName;
namespace colour = panel::colour;

class StatusPoll : public ::testing::Test {
 protected:
  void SetUp() override { bench.start(); }

  // One poll that reads the given words.
  void pollReading(Variant a, Variant b = Variant(std::int32_t{0})) {
    bench.sim.injectFault("IOSWITCHER_GetFullStatus",
                          {FaultKind::ReturnValue, 1, Variant(true), {std::move(a), std::move(b)}});
    bench.controller.Get_Status();
  }

  // Which channel buttons of a bus are green, as "1 3" etc.; also checks no other colour is used.
  std::string greenChannels(int bus) {
    std::string on;
    for (int i = 1; i <= 16; ++i) {
      const auto shown = bench.view.colourOf(panel::busButton(bus, i));
      const bool state = bus == 0 ? bench.state().BusA_State[i] : bench.state().BusB_State[i];
      EXPECT_EQ(shown, state ? colour::Green : colour::Grey) << "channel " << i;
      if (state) on += (on.empty() ? "" : " ") + std::to_string(i);
    }
    return on;
  }

  panel::Colour shown(ControlName name) { return bench.view.colourOf({name}); }

  ControllerBench bench;
};

TEST_F(StatusPoll, DecodesChannelAndRelayBitsOfBothBuses) {
  pollReading(Variant(std::int32_t{0}), Variant(std::int32_t{0}));
  EXPECT_EQ(greenChannels(0), "");
  EXPECT_EQ(shown(ControlName::BalA_Button), colour::Grey);

  pollReading(Variant(std::int32_t{1}), Variant(std::int32_t{0x8000}));
  EXPECT_EQ(greenChannels(0), "1");
  EXPECT_EQ(greenChannels(1), "16");

  pollReading(Variant(std::int32_t{0x10000}), Variant(std::int32_t{0x20000}));
  EXPECT_EQ(greenChannels(0), "");
  EXPECT_TRUE(bench.state().BalA_On);
  EXPECT_FALSE(bench.state().LoadA_On);
  EXPECT_EQ(shown(ControlName::BalA_Button), colour::Orange);
  EXPECT_EQ(shown(ControlName::LoadA_Button), colour::Grey);
  EXPECT_FALSE(bench.state().BalB_On);
  EXPECT_TRUE(bench.state().LoadB_On);
  EXPECT_EQ(shown(ControlName::LoadB_Button), colour::Orange);

  pollReading(Variant(std::int32_t{0x3FFFF}));
  EXPECT_EQ(greenChannels(0), "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16");
  EXPECT_EQ(shown(ControlName::BalA_Button), colour::Orange);
  EXPECT_EQ(shown(ControlName::LoadA_Button), colour::Orange);
  EXPECT_EQ(bench.state().Status_Width, 18);

  // "All Off" and "All On" are never painted.
  EXPECT_EQ(bench.view.colourOf({ControlName::BusA, 0}), colour::White);
  EXPECT_EQ(bench.view.colourOf({ControlName::BusB, 17}), colour::White);
}

TEST_F(StatusPoll, PaintsInTheDocumentedOrder) {
  bench.view.clearOperations();
  pollReading(Variant(std::int32_t{4}));
  const auto& ops = bench.view.operations();
  ASSERT_EQ(ops.size(), 36u);
  EXPECT_EQ(ops[0], "BackColor BusA(1) 0x808080");
  EXPECT_EQ(ops[2], "BackColor BusA(3) 0x00FF00");
  EXPECT_EQ(ops[16], "BackColor BalA_Button 0x808080");
  EXPECT_EQ(ops[17], "BackColor LoadA_Button 0x808080");
  EXPECT_EQ(ops[18], "BackColor BusB(1) 0x808080");
  EXPECT_EQ(ops[35], "BackColor LoadB_Button 0x808080");
}

TEST_F(StatusPoll, AWordWiderThanEighteenBitsWidensTheDecodeForTheRestOfTheRun) {
  pollReading(Variant(std::int32_t{0x40000}), Variant(std::int32_t{5}));
  EXPECT_EQ(bench.state().Status_Width, 19);
  EXPECT_EQ(greenChannels(0), "");
  EXPECT_FALSE(bench.state().BalA_On);
  EXPECT_FALSE(bench.state().LoadA_On);
  EXPECT_EQ(greenChannels(1), "1 3");
  EXPECT_EQ(bench.state().Status_Bits.size(), 19u);

  pollReading(Variant(std::int32_t{2}));
  EXPECT_EQ(bench.state().Status_Width, 19);
  EXPECT_EQ(bench.state().Status_Bits.size(), 19u);
  EXPECT_EQ(greenChannels(0), "2");
}

TEST_F(StatusPoll, OddButNumericWordsDecodeWithoutFailing) {
  pollReading(Variant(5.5));
  EXPECT_EQ(greenChannels(0), "1 3");
  pollReading(Variant(std::int32_t{-1}), Variant(std::int32_t{3}));
  EXPECT_EQ(greenChannels(0), "");
  EXPECT_EQ(bench.state().Status_Width, 18);
  pollReading(Variant(), Variant(std::int32_t{1}));  // the host left bus A's word unset
  EXPECT_EQ(greenChannels(0), "");
  EXPECT_EQ(greenChannels(1), "1");
  pollReading(Variant("6"));  // text holding a number is that number
  EXPECT_EQ(greenChannels(0), "2 3");
  pollReading(Variant(true));  // True is -1: nothing on
  EXPECT_EQ(greenChannels(0), "");
  pollReading(TestForeignValue::number(5.0));  // a host type of its own, read as its number
  EXPECT_EQ(greenChannels(0), "1 3");
  pollReading(Variant(true));
  EXPECT_EQ(greenChannels(0), "");
  pollReading(Variant(1e300));  // absurdly wide, but finite: the decode stays bounded
  EXPECT_GT(bench.state().Status_Width, 990);
  EXPECT_FALSE(bench.dispatcher.runEnded());
}

TEST_F(StatusPoll, AWordThatIsNoFiniteNumberLosesTheConnection) {
  // The second word is bus B's: a null there fails the decode after bus A's has been painted.
  const std::vector<std::pair<Variant, Variant>> words{
      {Variant("abc"), Variant()},
      {Variant(std::nan("")), Variant()},
      {Variant(std::numeric_limits<double>::infinity()), Variant()},
      {TestForeignValue::unconvertible(), Variant()},
      {Variant(std::int32_t{1}), TestForeignValue::unconvertible()}};
  for (const auto& [word, other] : words) {
    ControllerBench fresh;
    fresh.start();
    fresh.sim.injectFault("IOSWITCHER_GetFullStatus",
                          {FaultKind::ReturnValue, 1, Variant(true), {word, other}});
    fresh.view.click({ControlName::ResetButton});
    ASSERT_EQ(fresh.services.boxes.size(), 1u) << host::describe(word);
    EXPECT_EQ(fresh.services.boxes[0].text, LostConnectionText);
    EXPECT_TRUE(fresh.controller.unloaded());
  }
}

TEST_F(StatusPoll, AFailedReadReinitialisesThenPaintsTheSameWordsAgain) {
  bench.sim.injectFault("IOSWITCHER_GetFullStatus",
                        {FaultKind::ReturnValue,
                         1,
                         Variant(false),
                         {Variant(std::int32_t{4}), Variant(std::int32_t{8})}});
  bench.view.clearOperations();
  bench.controller.Get_Status();
  const auto members = bench.log->members();
  EXPECT_EQ(bench.log->count("ORVANE_Reset"), 1u);
  EXPECT_EQ(bench.log->count("SWITCHER_DefineArray"), 2u);
  EXPECT_EQ(bench.log->count("IOSWITCHER_GetFullStatus"), 2u);
  EXPECT_EQ(members.front(), "IOSWITCHER_GetFullStatus");
  // Inner poll paints the real (empty) switcher; the outer poll then paints from the words that
  // the inner read left behind, which are the real ones.
  EXPECT_EQ(bench.view.operations().size(), 1u + 36u + 36u);  // caption, inner, outer
  EXPECT_EQ(greenChannels(0), "");
  EXPECT_FALSE(bench.dispatcher.runEnded());
}

TEST_F(StatusPoll, AStatusCallThatRaisesClosesTheProgramOnce) {
  bench.sim.kill();
  bench.view.click({ControlName::BusA, 5});
  ASSERT_EQ(bench.services.boxes.size(), 1u);
  EXPECT_EQ(bench.services.boxes[0].text, LostConnectionText);
  EXPECT_EQ(bench.services.boxes[0].style, 48);
  EXPECT_EQ(bench.services.boxes[0].title, "Orvane I/O Switcher 0");
  EXPECT_TRUE(bench.view.closed());
  EXPECT_TRUE(bench.controller.unloaded());
  EXPECT_EQ(bench.log->count("ORVANE_Reset"), 1u);  // Form_Unload's, failing on the dead host
  EXPECT_EQ(bench.sim.liveObjects(), 0);
  // The run is over: nothing more reaches the host or the panel.
  bench.log->clear();
  bench.view.clearOperations();
  EXPECT_FALSE(bench.view.tick());
  EXPECT_FALSE(bench.view.click({ControlName::BusA, 6}));
  EXPECT_FALSE(bench.view.closeBox());
  EXPECT_TRUE(bench.log->calls().empty());
  EXPECT_TRUE(bench.view.operations().empty());
}

TEST_F(StatusPoll, ALostConnectionUnloadsEvenThroughAViewThatRaisesNothing) {
  bench.view.setRaisedEvents(nullptr);
  bench.sim.injectFault("IOSWITCHER_GetFullStatus", {FaultKind::Raise, 1});
  bench.view.click({ControlName::ResetButton});
  EXPECT_TRUE(bench.controller.unloaded());
  EXPECT_EQ(bench.log->count("ORVANE_Reset"), 2u);  // the click's and the unload's
  EXPECT_EQ(bench.sim.statusWord(0, 0), 0u);
  EXPECT_EQ(bench.sim.liveObjects(), 0);
}

TEST_F(StatusPoll, AReadThatKeepsFailingWhileResetsSucceedEndsOnTheLostConnectionPath) {
  bench.sim.injectFault("IOSWITCHER_GetFullStatus", {FaultKind::ReturnFalse, FaultSpec::Always});
  bench.view.click({ControlName::ResetButton});
  EXPECT_EQ(bench.log->count("ORVANE_Reset"), 1u + 3u + 1u);  // the click, 3 nested, the unload
  ASSERT_EQ(bench.services.boxes.size(), 1u);
  EXPECT_EQ(bench.services.boxes[0].text, LostConnectionText);
  EXPECT_TRUE(bench.controller.unloaded());
}

TEST_F(StatusPoll, ALostConnectionDuringStartupStopsStartup) {
  ControllerBench fresh;
  fresh.sim.injectFault("IOSWITCHER_GetFullStatus", {FaultKind::Raise, FaultSpec::Always});
  fresh.services.addressAnswers.push_back("0");
  fresh.view.load();
  EXPECT_TRUE(fresh.controller.unloaded());
  EXPECT_EQ(fresh.services.boxes.size(), 1u);
  EXPECT_EQ(fresh.view.timerInterval(), 0);         // the steps after the mode selection never ran
  EXPECT_EQ(fresh.log->count("ORVANE_Reset"), 2u);  // the first initialisation and the unload
  EXPECT_FALSE(fresh.dispatcher.failure().has_value());
}

}  // namespace
}  // namespace orvane::testing
