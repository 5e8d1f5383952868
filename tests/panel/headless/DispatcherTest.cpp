// The event table and the view semantics the controller relies on.
#include <gtest/gtest.h>

#include "tests/support/ControllerBench.h"

namespace orvane::testing {
namespace {

using panel::ControlName;

TEST(Dispatcher, EachRowReachesItsOperation) {
  ControllerBench bench;
  bench.start();
  bench.view.click({ControlName::BusB, 9});
  EXPECT_EQ(bench.log->calls()[0].text(), "SWITCHER_AddChannel(\"BusB0\", &9)");
  bench.log->clear();
  bench.view.click({ControlName::BusA, 17});
  EXPECT_EQ(bench.log->calls()[0].text(), "SWITCHER_NotChannel(\"BusA0\", 1)");
  bench.log->clear();
  bench.view.click({ControlName::BusA, 0});
  EXPECT_EQ(bench.log->calls()[0].text(), "SWITCHER_ClearChannels(\"BusA0\")");
  bench.log->clear();
  bench.view.click({ControlName::DCButton});
  EXPECT_TRUE(bench.state().DC_On);
  bench.view.tick();
  EXPECT_EQ(bench.log->count("IOSWITCHER_GetBusDC"), 2u);
  // Labels raise nothing.
  EXPECT_FALSE(bench.view.click({ControlName::Label1}));
  EXPECT_FALSE(bench.view.click({ControlName::Label4}));
}

// The operator's close is the one event that is kept: it closes the window once the click is done.
TEST(Dispatcher, AClickPumpedInDuringAHostCallIsDroppedNotNestedButACloseIsKept) {
  ControllerBench bench;
  bench.start();
  std::vector<bool> delivered;
  bench.sim.setCallHook([&](const std::string& member) {
    if (member == "SWITCHER_AddChannel") {
      delivered.push_back(bench.view.click({ControlName::BusA, 6}));
      delivered.push_back(bench.view.tick());
      delivered.push_back(bench.view.closeBox());
    }
  });
  EXPECT_TRUE(bench.view.click({ControlName::BusA, 5}));
  EXPECT_EQ(delivered, (std::vector<bool>{false, false, false}));
  EXPECT_EQ(bench.sim.statusWord(0, 0), 0u);  // X5 went on, then the close reset the switcher
  EXPECT_EQ(bench.log->count("SWITCHER_AddChannel"), 1u);
  EXPECT_TRUE(bench.view.closed());
  EXPECT_TRUE(bench.controller.unloaded());
  EXPECT_EQ(bench.log->count("ORVANE_Reset"), 1u);  // the close's
}

TEST(Dispatcher, UnloadRunsOnceWhicheverWayTheWindowCloses) {
  ControllerBench bench;
  bench.start();
  EXPECT_TRUE(bench.view.closeBox());
  EXPECT_EQ(bench.log->count("ORVANE_Reset"), 1u);
  bench.view.close();  // a second close from anywhere does nothing more
  EXPECT_FALSE(bench.view.closeBox());
  EXPECT_EQ(bench.log->count("ORVANE_Reset"), 1u);
}

TEST(HeadlessView, OnlySelectingAnotherEntryRaisesTheListClick) {
  ControllerBench bench;
  bench.start();
  bench.view.setListIndex(0);  // already selected
  EXPECT_TRUE(bench.log->calls().empty());
  bench.view.chooseListEntry(0);
  EXPECT_TRUE(bench.log->calls().empty());
  bench.view.setListIndex(4);  // as the controller would: runs the click inside the set
  EXPECT_EQ(bench.state().Link_Mode, 4);
  EXPECT_EQ(bench.log->count("ORVANE_Reset"), 1u);
}

TEST(HeadlessView, StartsWithTheTableCaptionsAndColours) {
  panel::HeadlessView view;
  EXPECT_EQ(view.windowCaption(), "Orvane I/O Switcher");
  EXPECT_EQ(view.captionOf({ControlName::Label4}), "- - V ");
  EXPECT_EQ(view.colourOf({ControlName::ResetButton}), panel::colour::Red);
  EXPECT_EQ(view.colourOf({ControlName::BusB, 17}), panel::colour::White);
  EXPECT_EQ(view.colourOf({ControlName::BusB, 16}), panel::colour::Grey);
  EXPECT_TRUE(view.listEntries().empty());
  EXPECT_EQ(view.listIndex(), -1);
}

}  // namespace
}  // namespace orvane::testing
