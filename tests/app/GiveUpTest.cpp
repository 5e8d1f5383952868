// Giving up on the host, at every place the controller calls it: the operator's decision that the
// host is gone ends the run as a lost connection, whichever call hung.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "panel/Controls.h"
#include "tests/app/HeadlessProgram.h"

namespace orvane::app {
namespace {

using namespace std::chrono_literals;
using host::sim::FaultKind;
using host::sim::FaultSpec;
using panel::ControlName;

constexpr const char* LostConnectionBox =
    "box MsgBox(\"Connection with Qelvix and/or the switcher failed.\\r\\n\\r\\nThis program will "
    "now close.\", 48, \"Orvane I/O Switcher 0\") -> 1";
constexpr const char* ResetNotSent =
    "host N IOSwitcher.ORVANE_Reset(&0, True, &\"Switcher 0 reset\") -> not sent: the host is not "
    "responding";

std::string givenUp(const std::string& call, const std::string& member) {
  return "host N IOSwitcher." + call + " -> error \"" + member +
         ": the host is not responding\" (given up waiting for it)";
}

struct GiveUpRow {
  const char* place;
  const char* member;  // blocks from its next call on (from its fromCall-th, with the presets)
  std::function<void(TracedProgram&)> operatorDoes;
  bool lostConnectionBox;
  ExitStatus status;
  std::vector<std::string> lastLines;  // the trace's, in order, ending it
  int fromCall = 1;
};

void loadThenBlock(TracedProgram& p, const char* member, int fromCall) {
  p.view.load();
  if (fromCall > 1) p.sim().injectFault(member, FaultSpec(FaultKind::None, fromCall - 1));
  p.sim().injectFault(member, FaultSpec(FaultKind::Block, FaultSpec::Always));
}

// A recall that makes every kind of call: X5 is on (and goes), X1 comes, Load A, Bal B.
void recallAll(TracedProgram& p, const char* preset = "All") {
  p.view.click(panel::busButton(0, 5));
  p.program->recallPreset(preset);
}

GiveUpRow recallRow(const char* place, const char* member, const std::string& call,
                    int fromCall = 1) {
  return {place,
          member,
          [](TracedProgram& p) { recallAll(p); },
          true,
          ExitConnectionLost,
          {givenUp(call, member), LostConnectionBox, "event raised Form_Unload", ResetNotSent},
          fromCall};
}

TEST(GiveUp, EndsTheRunAsALostConnectionAtEveryPlaceTheControllerCallsTheHost) {
  const std::vector<GiveUpRow> rows = {
      {"start-up",
       "IsInitialised",
       [](TracedProgram& p) {
         p.sim().injectFault("IsInitialised", FaultSpec(FaultKind::Block, 1));
         p.waiter.operatorCancelsStartup = [](const std::string&) { return true; };
         p.view.load();
       },
       false,
       ExitEnded,
       {"box StartupWindow -> Cancel", "host N HostApp.IsInitialised -> cancelled by the operator",
        "end at once"}},
      {"initialisation",
       "ORVANE_Reset",
       [](TracedProgram& p) {
         p.sim().injectFault("ORVANE_Reset", FaultSpec(FaultKind::Block, 1));
         p.view.load();
       },
       true,
       ExitConnectionLost,
       {givenUp("ORVANE_Reset(&0, True, &Empty)", "ORVANE_Reset"),
        "box MsgBox(\"Connection with Qelvix and/or the switcher failed.\\r\\n\\r\\nThis "
        "program will now close.\", 48, \"Orvane I/O Switcher\") -> 1",
        "event raised Form_Unload",
        "host N IOSwitcher.ORVANE_Reset(&0, True, &Empty) -> not sent: the host is not "
        "responding"}},
      {"poll",
       "IOSWITCHER_GetFullStatus",
       [](TracedProgram& p) { p.view.click({ControlName::ResetButton}); },
       true,
       ExitConnectionLost,
       {givenUp("IOSWITCHER_GetFullStatus(&0, &0, &0)", "IOSWITCHER_GetFullStatus"),
        LostConnectionBox, "event raised Form_Unload", ResetNotSent}},
      {"click",
       "SWITCHER_AddChannel",
       [](TracedProgram& p) { p.view.click(panel::busButton(0, 5)); },
       true,
       ExitConnectionLost,
       {givenUp("SWITCHER_AddChannel(\"BusA0\", &5)", "SWITCHER_AddChannel"), LostConnectionBox,
        "event raised Form_Unload", ResetNotSent}},
      {"relays",
       "IOSWITCHER_BusLoad",
       [](TracedProgram& p) { p.view.click({ControlName::LoadA_Button}); },
       true,
       ExitConnectionLost,
       {givenUp("IOSWITCHER_BusLoad(&0, 65, True)", "IOSWITCHER_BusLoad"), LostConnectionBox,
        "event raised Form_Unload", ResetNotSent}},
      {"DC",
       "IOSWITCHER_GetBusDC",
       [](TracedProgram& p) {
         p.view.click({ControlName::DCButton});
         p.view.tick();
       },
       true,
       ExitConnectionLost,
       {givenUp("IOSWITCHER_GetBusDC(&0, 65, &Empty, &Empty)", "IOSWITCHER_GetBusDC"),
        LostConnectionBox, "event raised Form_Unload", ResetNotSent}},
      {"follow",
       "IOSWITCHER_GetFullStatus",
       [](TracedProgram& p) { p.view.followTick(); },
       true,
       ExitConnectionLost,
       {givenUp("IOSWITCHER_GetFullStatus(&0, &0, &0)", "IOSWITCHER_GetFullStatus"),
        LostConnectionBox, "event raised Form_Unload", ResetNotSent}},
      {"unload",
       "ORVANE_Reset",
       [](TracedProgram& p) { p.view.closeBox(); },
       false,
       ExitConnectionLost,
       {givenUp("ORVANE_Reset(&0, True, &\"Switcher 0 reset\")", "ORVANE_Reset"),
        "the switcher was not reset: its reset was given up on"}},
      {"a store's status read",
       "IOSWITCHER_GetFullStatus",
       [](TracedProgram& p) {
         p.services.addressAnswers = {"Kept"};
         p.program->storePreset();
       },
       true,
       ExitConnectionLost,
       {givenUp("IOSWITCHER_GetFullStatus(&0, &0, &0)", "IOSWITCHER_GetFullStatus"),
        LostConnectionBox, "event raised Form_Unload", ResetNotSent}},
      recallRow("a recall's first read", "IOSWITCHER_GetFullStatus",
                "IOSWITCHER_GetFullStatus(&0, &16, &0)", 2),
      recallRow("a recall's removal", "SWITCHER_RemoveChannel",
                "SWITCHER_RemoveChannel(\"BusA0\", &5)"),
      recallRow("a recall's addition", "SWITCHER_AddChannel", "SWITCHER_AddChannel(\"BusA0\", &1)",
                2),
      recallRow("a recall's Load", "IOSWITCHER_BusLoad", "IOSWITCHER_BusLoad(&0, 65, True)"),
      recallRow("a recall's DC reading", "IOSWITCHER_GetBusDC",
                "IOSWITCHER_GetBusDC(&0, 66, &Empty, &Empty)"),
      recallRow("a recall's Bal", "SWITCHER_Balance", "SWITCHER_Balance(\"BusB0\", True)"),
      recallRow("a recall's closing poll", "IOSWITCHER_GetFullStatus",
                "IOSWITCHER_GetFullStatus(&0, &16, &0)", 3),
      {"a recall's mode",
       "ORVANE_Reset",
       [](TracedProgram& p) { recallAll(p, "Mode"); },
       true,
       ExitConnectionLost,
       {givenUp("ORVANE_Reset(&0, True, &\"Switcher 0 reset\")", "ORVANE_Reset"), LostConnectionBox,
        "event raised Form_Unload", ResetNotSent}},
  };
  const auto presets = std::filesystem::temp_directory_path() / "orvane-give-up-presets.toml";
  std::ofstream(presets) << "[preset.All]\na_channels = [\"X1\"]\na_load = true\nb_balance = true\n"
                            "[preset.Mode]\nmode = \"Stereo Pairs\"\n";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.place);
    TracedProgram p({}, 1ms, presets);
    if (std::string(row.place) != "start-up" && std::string(row.place) != "initialisation") {
      loadThenBlock(p, row.member, row.fromCall);
    }
    row.operatorDoes(p);
    while (p.sim().blockedCalls() == 0) std::this_thread::yield();
    EXPECT_TRUE(p.program->givenUp());
    EXPECT_TRUE(p.program->dispatcher().runEnded());
    EXPECT_EQ(p.services.boxes.size(), row.lostConnectionBox ? 1u : 0u);
    EXPECT_EQ(p.program->exitStatus(), row.status);
    p.sim().releaseBlocked();  // the host answers at last, too late
    p.program->waitUntilHostIdle();
    p.program.reset();  // lets go of the host, as the end of the run does
    auto all = p.lines();
    std::erase_if(all, [](const std::string& line) { return line.starts_with("host N release "); });
    ASSERT_GE(all.size(), row.lastLines.size());
    EXPECT_EQ(
        std::vector<std::string>(all.end() - static_cast<long>(row.lastLines.size()), all.end()),
        row.lastLines);
  }
}

}  // namespace
}  // namespace orvane::app
