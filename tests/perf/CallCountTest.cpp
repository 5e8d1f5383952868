// How many host calls and view operations each operator action costs. Every host call blocks the
// window (about a millisecond each over out-of-process automation), and every view operation may
// repaint, so these counts are held exactly: an extra poll, a constant read that is cached or
// repeated, or a second repaint shows up here even when the behaviour tests still pass.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "tests/support/ControllerBench.h"

namespace orvane::testing {
namespace {

using host::recording::HostCall;
using panel::ControlName;
using Counts = std::map<std::string, int>;

// The member a log entry touched: creation and release by their kind, everything else by name.
std::string memberOf(const HostCall& call) {
  switch (call.kind) {
    case HostCall::Kind::Create:
      return "CreateObject";
    case HostCall::Kind::Release:
      return "Release " + call.object;
    default:
      return call.member;
  }
}

struct Tally {
  int hostCalls = 0;
  Counts byMember;
  std::size_t viewOperations = 0;
};

Tally tally(const ControllerBench& bench) {
  Tally t;
  for (const auto& call : bench.log->calls()) {
    ++t.hostCalls;
    ++t.byMember[memberOf(call)];
  }
  t.viewOperations = bench.view.operations().size();
  return t;
}

// Runs one action on a started program and tallies what it alone costs.
Tally costOf(ControllerBench& bench, const std::function<void()>& action) {
  bench.log->clear();
  bench.view.clearOperations();
  action();
  return tally(bench);
}

int total(const Counts& counts) {
  int sum = 0;
  for (const auto& [member, count] : counts) sum += count;
  return sum;
}

// One switcher initialisation: the error-message switch twice around the reset, both arrays
// removed and defined, four additions each after its bus and group constants, then its own poll.
Counts initialisation() {
  return {{"ORVANE_ShowErrorMessages", 2}, {"ORVANE_Reset", 1},       {"SWITCHER_RemoveArray", 2},
          {"SWITCHER_DefineArray", 2},     {"IOSWITCHER_BUS_A", 2},   {"IOSWITCHER_BUS_B", 2},
          {"IOSWITCHER_GROUP_X", 2},       {"IOSWITCHER_GROUP_Y", 2}, {"IOSWITCHER_AddToArray", 4},
          {"IOSWITCHER_GetFullStatus", 1}};
}

Counts times(Counts counts, int n) {
  for (auto& [member, count] : counts) count *= n;
  return counts;
}

Counts plus(Counts a, const Counts& b) {
  for (const auto& [member, count] : b) a[member] += count;
  return a;
}

constexpr std::size_t PollPaints = 36;  // 16 channels and 2 relays on each bus
constexpr std::size_t ModeEnables = 6;  // All Off and All On of both rows, "<" and ">"

// --- start-up and shutdown -----------------------------------------------------------------

TEST(CallCount, StartupResetsTwiceAndPollsThreeTimes) {
  ControllerBench bench;  // the host reports ready after three Sleep calls
  bench.services.addressAnswers.push_back("0");
  bench.view.load();
  const Tally t = tally(bench);

  const Counts waitForHost = {
      {"CreateObject", 1}, {"IOSwitcher", 1}, {"IsInitialised", 4}, {"Sleep", 3}};
  const Counts expected =
      plus(plus(waitForHost, times(initialisation(), 2)), {{"IOSWITCHER_GetFullStatus", 1}});
  EXPECT_EQ(t.byMember, expected);
  EXPECT_EQ(t.hostCalls, 50);
  // Six list entries, the selection, six enables, two captions, the timer, three full paints.
  EXPECT_EQ(t.viewOperations, 6 + 1 + ModeEnables + 2 + 1 + 3 * PollPaints);
}

TEST(CallCount, CloseResetsOnceAndReleasesBothObjects) {
  ControllerBench bench;
  bench.start();
  const Tally t = costOf(bench, [&] { bench.view.closeBox(); });
  EXPECT_EQ(t.byMember,
            (Counts{{"ORVANE_Reset", 1}, {"Release IOSwitcher", 1}, {"Release HostApp", 1}}));
}

// --- the reset button and the mode list -------------------------------------------------------

TEST(CallCount, ResetAndModeChangeEachCostOneInitialisationAndOneMorePoll) {
  ControllerBench bench;
  bench.start();
  const Counts expected = plus(initialisation(), {{"IOSWITCHER_GetFullStatus", 1}});

  const Tally reset = costOf(bench, [&] { bench.view.click({ControlName::ResetButton}); });
  EXPECT_EQ(reset.byMember, expected);
  EXPECT_EQ(reset.hostCalls, 21);
  EXPECT_EQ(reset.viewOperations, 1 + 2 * PollPaints);  // the caption, two full paints

  const Tally mode = costOf(bench, [&] { bench.view.chooseListEntry(3); });
  EXPECT_EQ(mode.byMember, expected);
  EXPECT_EQ(mode.viewOperations, ModeEnables + 1 + 2 * PollPaints);
}

// --- channel clicks, in every link mode ----------------------------------------------------------

struct ClickCase {
  std::int16_t mode;
  Counts switching;  // the calls before the closing poll
};

class ChannelClickCount : public ::testing::TestWithParam<ClickCase> {};

TEST_P(ChannelClickCount, SwitchingCallsThenExactlyOnePoll) {
  const ClickCase& c = GetParam();
  ControllerBench bench;
  bench.start();
  if (c.mode != 0) bench.view.chooseListEntry(c.mode);
  const Counts expected = plus(c.switching, {{"IOSWITCHER_GetFullStatus", 1}});

  // Twice on the same button (on, then off again in mode 0) and once on the other row: the
  // cost is the same every time, with nothing cached and nothing repeated.
  for (const auto button :
       {panel::busButton(0, 5), panel::busButton(0, 5), panel::busButton(1, 12)}) {
    const Tally t = costOf(bench, [&] { bench.view.click(button); });
    Counts got = t.byMember;
    if (c.mode == 0) {  // the toggle picks add or remove from the state
      got["SWITCHER_AddChannel"] += got["SWITCHER_RemoveChannel"];
      got.erase("SWITCHER_RemoveChannel");
    }
    EXPECT_EQ(got, expected) << "mode " << c.mode << ", " << panel::controlText(button);
    EXPECT_EQ(t.hostCalls, total(expected));
    EXPECT_EQ(t.viewOperations, PollPaints);
  }
  if (c.mode != 0) {  // the stepping buttons cost what a channel click costs
    for (const auto step : {ControlName::NextButton, ControlName::PrevButton}) {
      const Tally t = costOf(bench, [&] { bench.view.click({step}); });
      EXPECT_EQ(t.byMember, expected) << "mode " << c.mode << ", " << panel::controlText({step});
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    CallCount, ChannelClickCount,
    ::testing::Values(ClickCase{0, {{"SWITCHER_AddChannel", 1}}},
                      ClickCase{1, {{"SWITCHER_ExclusiveChannel", 2}}},
                      ClickCase{2, {{"SWITCHER_ExclusiveChannel", 2}}},
                      ClickCase{3, {{"SWITCHER_NotChannel", 1}, {"SWITCHER_ExclusiveChannel", 1}}},
                      ClickCase{4, {{"SWITCHER_ExclusiveChannel", 1}}},
                      ClickCase{5, {{"SWITCHER_NotChannel", 1}}}),
    [](const auto& info) { return "Mode" + std::to_string(info.param.mode); });

TEST(CallCount, AllOffAndAllOnThenOnePoll) {
  ControllerBench bench;
  bench.start();
  const Tally off = costOf(bench, [&] { bench.view.click(panel::busButton(1, 0)); });
  EXPECT_EQ(off.byMember, (Counts{{"SWITCHER_ClearChannels", 1}, {"IOSWITCHER_GetFullStatus", 1}}));
  const Tally on = costOf(bench, [&] { bench.view.click(panel::busButton(0, 17)); });
  EXPECT_EQ(on.byMember, (Counts{{"SWITCHER_NotChannel", 1},
                                 {"SWITCHER_AddChannel", 1},
                                 {"IOSWITCHER_GetFullStatus", 1}}));
  EXPECT_EQ(on.viewOperations, PollPaints);
}

// --- the relays: no poll, one paint ---------------------------------------------------------

struct RelayCase {
  ControlName button;
  Counts on;   // switching on
  Counts off;  // switching off again
};

class RelayCount : public ::testing::TestWithParam<RelayCase> {};

// Balance measures its bus before switching on, never before switching off; load reads its bus
// constant both ways. Neither polls: one paint, the relay's own button.
TEST_P(RelayCount, OnThenOffWithoutAPoll) {
  const RelayCase& c = GetParam();
  ControllerBench bench;
  bench.start();
  const Tally on = costOf(bench, [&] { bench.view.click({c.button}); });
  EXPECT_EQ(on.byMember, c.on);
  EXPECT_EQ(on.viewOperations, 1u);
  const Tally off = costOf(bench, [&] { bench.view.click({c.button}); });
  EXPECT_EQ(off.byMember, c.off);
  EXPECT_EQ(off.viewOperations, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    CallCount, RelayCount,
    ::testing::Values(
        RelayCase{ControlName::BalA_Button,
                  {{"IOSWITCHER_BUS_A", 1}, {"IOSWITCHER_GetBusDC", 1}, {"SWITCHER_Balance", 1}},
                  {{"SWITCHER_Balance", 1}}},
        RelayCase{ControlName::BalB_Button,
                  {{"IOSWITCHER_BUS_B", 1}, {"IOSWITCHER_GetBusDC", 1}, {"SWITCHER_Balance", 1}},
                  {{"SWITCHER_Balance", 1}}},
        RelayCase{ControlName::LoadA_Button,
                  {{"IOSWITCHER_BUS_A", 1}, {"IOSWITCHER_BusLoad", 1}},
                  {{"IOSWITCHER_BUS_A", 1}, {"IOSWITCHER_BusLoad", 1}}},
        RelayCase{ControlName::LoadB_Button,
                  {{"IOSWITCHER_BUS_B", 1}, {"IOSWITCHER_BusLoad", 1}},
                  {{"IOSWITCHER_BUS_B", 1}, {"IOSWITCHER_BusLoad", 1}}}),
    [](const auto& info) { return panel::controlText({info.param.button}); });

TEST(CallCount, RefusedBalanceMeasuresAndStops) {
  ControllerBench bench;  // the simulator's X3 carries about +9 V
  bench.start();
  bench.view.click(panel::busButton(0, 3));
  const Tally refused = costOf(bench, [&] { bench.view.click({ControlName::BalA_Button}); });
  EXPECT_EQ(refused.byMember, (Counts{{"IOSWITCHER_BUS_A", 1}, {"IOSWITCHER_GetBusDC", 1}}));
  EXPECT_EQ(refused.viewOperations, 0u);
  EXPECT_EQ(bench.services.boxes.size(), 1u);
}

// --- the DC monitor ----------------------------------------------------------------------------

TEST(CallCount, EachTickOfTheMonitorCostsFourCallsAndFourCaptions) {
  ControllerBench bench;
  bench.start();
  const Tally idle = costOf(bench, [&] { bench.view.tick(); });
  EXPECT_EQ(idle.hostCalls, 0);
  EXPECT_EQ(idle.viewOperations, 0u);

  const Tally button = costOf(bench, [&] { bench.view.click({ControlName::DCButton}); });
  EXPECT_EQ(button.hostCalls, 0);

  const Tally tick = costOf(bench, [&] { bench.view.tick(); });
  EXPECT_EQ(tick.byMember,
            (Counts{{"IOSWITCHER_BUS_A", 1}, {"IOSWITCHER_BUS_B", 1}, {"IOSWITCHER_GetBusDC", 2}}));
  EXPECT_EQ(tick.viewOperations, 4u);

  // One second of the 200 ms timer: twenty host calls, nothing cached between ticks.
  const Tally second = costOf(bench, [&] {
    for (int i = 0; i < 1000 / controller::TimerIntervalMs; ++i) bench.view.tick();
  });
  EXPECT_EQ(bench.view.timerInterval(), 200);
  EXPECT_EQ(second.hostCalls, 20);
  EXPECT_EQ(second.viewOperations, 20u);

  const Tally off = costOf(bench, [&] { bench.view.click({ControlName::DCButton}); });
  EXPECT_EQ(off.hostCalls, 0);
  EXPECT_EQ(off.viewOperations, 4u);  // "- - V " in all four readouts
}

}  // namespace
}  // namespace orvane::testing
