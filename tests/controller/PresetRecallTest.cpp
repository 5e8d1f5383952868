// Recalling a preset: the exact host calls, in order, and the boxes, from several starting points.
#include <gtest/gtest.h>

#include <functional>

#include "panel/Controls.h"
#include "tests/support/ControllerBench.h"

namespace orvane::controller {
namespace {

using host::sim::FaultKind;
using host::sim::FaultSpec;
using panel::busButton;
using testing::ControllerBench;

constexpr const char* ReadStatus = "IOSWITCHER_GetFullStatus(&0, &0, &0)";

Preset presetOf(std::optional<std::int16_t> mode, std::initializer_list<int> a,
                std::initializer_list<int> b, bool balanceA = false, bool loadA = false) {
  Preset preset{"Bench 1", mode, {}, {balanceA, false}, {loadA, false}};
  for (const int channel : a) preset.on[0][channel - 1] = true;
  for (const int channel : b) preset.on[1][channel - 1] = true;
  return preset;
}

// The calls that switch or read the switcher, the constant reads and the arrays' set-up left out.
std::vector<std::string> switching(const ControllerBench& bench) {
  std::vector<std::string> kept;
  for (const auto& call : bench.switchingCalls()) {
    if (!call.starts_with("SWITCHER_RemoveArray") && !call.starts_with("SWITCHER_DefineArray") &&
        !call.starts_with("IOSWITCHER_AddToArray")) {
      kept.push_back(call);
    }
  }
  return kept;
}

struct RecallRow {
  const char* from;
  std::function<void(ControllerBench&)> before;
  Preset preset;
  std::vector<std::string> calls;
  std::vector<std::string> boxes;
};

TEST(PresetRecall, SwitchesOnlyWhatDiffersRemovalsFirstAndTellsWhatTheSwitcherDidNotTake) {
  const std::vector<RecallRow> rows = {
      {"a reset switcher",
       [](ControllerBench&) {},
       presetOf(0, {1, 2}, {9}, false, true),
       {ReadStatus, "SWITCHER_AddChannel(\"BusA0\", &1)", "SWITCHER_AddChannel(\"BusA0\", &2)",
        "SWITCHER_AddChannel(\"BusB0\", &9)", "IOSWITCHER_BusLoad(&0, 65, True)", ReadStatus},
       {}},
      {"an overlapping routing",
       [](ControllerBench& b) {
         b.view.click(busButton(0, 1));
         b.view.click(busButton(0, 4));
         b.view.click(busButton(1, 10));
       },
       presetOf(std::nullopt, {1, 2}, {9}),
       {"IOSWITCHER_GetFullStatus(&0, &9, &512)", "SWITCHER_RemoveChannel(\"BusA0\", &4)",
        "SWITCHER_RemoveChannel(\"BusB0\", &10)", "SWITCHER_AddChannel(\"BusA0\", &2)",
        "SWITCHER_AddChannel(\"BusB0\", &9)", "IOSWITCHER_GetFullStatus(&0, &9, &512)"},
       {}},
      {"another mode",
       [](ControllerBench& b) { b.view.click(busButton(0, 5)); },
       presetOf(2, {1}, {}),
       {"ORVANE_Reset(&0, True, &\"Switcher 0 reset\")", "IOSWITCHER_GetFullStatus(&0, &16, &0)",
        "IOSWITCHER_GetFullStatus(&0, &0, &0)", "SWITCHER_AddChannel(\"BusA0\", &1)",
        "IOSWITCHER_GetFullStatus(&0, &0, &0)"},
       {}},
      {"a preset whose Bal the DC guard refuses",
       [](ControllerBench&) {},
       presetOf(std::nullopt, {3}, {}, true),
       {ReadStatus, "SWITCHER_AddChannel(\"BusA0\", &3)",
        "IOSWITCHER_GetBusDC(&0, 65, &Empty, &Empty)", "IOSWITCHER_GetFullStatus(&0, &0, &0)"},
       {"There is excessive DC on this bus for balance mode.",
        "The switcher did not take the whole preset \"Bench 1\":\r\n\r\nBus A: Bal is off"}},
      {"a host that refuses a channel",
       [](ControllerBench& b) {
         b.sim.injectFault("SWITCHER_AddChannel", FaultSpec(FaultKind::ReturnFalse, 1));
       },
       presetOf(std::nullopt, {1, 2}, {}),
       {ReadStatus, "SWITCHER_AddChannel(\"BusA0\", &1)", "SWITCHER_AddChannel(\"BusA0\", &2)",
        "IOSWITCHER_GetFullStatus(&0, &0, &0)"},
       {"The switcher did not take the whole preset \"Bench 1\":\r\n\r\nBus A: X1 is off"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.from);
    ControllerBench bench;
    bench.start();
    row.before(bench);
    bench.log->clear();
    EXPECT_TRUE(bench.dispatcher.runOperation([&] { bench.controller.recallPreset(row.preset); }));
    EXPECT_EQ(switching(bench), row.calls);
    std::vector<std::string> boxes;
    for (const auto& box : bench.services.boxes) boxes.push_back(box.text);
    EXPECT_EQ(boxes, row.boxes);
  }
}

// Storing reads the switcher as a follow read does: what it reports, not what the panel painted.
TEST(PresetRecall, AStoreReadsTheSwitcherWithNoResetAndNoBox) {
  ControllerBench bench;
  bench.start();
  bench.view.click(busButton(1, 9));
  bench.sim.injectFault("IOSWITCHER_GetFullStatus", FaultSpec(FaultKind::ReturnFalse, 1));
  std::optional<Preset> read;
  bench.dispatcher.runOperation([&] { read = bench.controller.readPreset("Bench 2"); });
  EXPECT_FALSE(read);  // nothing to store, and no re-initialisation
  bench.dispatcher.runOperation([&] { read = bench.controller.readPreset("Bench 2"); });
  ASSERT_TRUE(read);
  Preset expected = presetOf(0, {}, {9});
  expected.name = "Bench 2";
  EXPECT_EQ(*read, expected);
  EXPECT_EQ(bench.log->count("ORVANE_Reset"), 0u);
  EXPECT_TRUE(bench.services.boxes.empty());
}

// The check mark: a preset is in force when the panel shows what it sets.
TEST(PresetRecall, APresetIsInForceWhenThePanelShowsWhatItSets) {
  Preset shown = presetOf(2, {1, 5}, {9}, true, false);
  struct Row {
    const char* what;
    Preset preset;
    bool inForce;
  };
  Preset noMode = shown;
  noMode.mode.reset();
  Preset otherMode = shown;
  otherMode.mode = 0;
  Preset relayOff = shown;
  relayOff.load[0] = !relayOff.load[0];
  Preset channelOff = shown;
  channelOff.on[1][8] = false;
  Preset unknownKeys = shown;
  unknownKeys.unknownKeys = {"b_chanels"};
  const std::vector<Row> rows = {
      {"the same routing", shown, true},      {"no mode: any mode", noMode, true},
      {"another mode", otherMode, false},     {"one relay off", relayOff, false},
      {"one channel off", channelOff, false}, {"unknown keys do not count", unknownKeys, true},
  };
  for (const auto& row : rows)
    EXPECT_EQ(routingMatches(row.preset, shown), row.inForce) << row.what;
}

}  // namespace
}  // namespace orvane::controller
