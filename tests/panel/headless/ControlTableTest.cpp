// The control table that every panel builds its window from.
#include <gtest/gtest.h>

#include <set>

#include "panel/Controls.h"

namespace orvane::panel {
namespace {

TEST(ControlTable, TabIndexesAreEachUsedOnce) {
  std::set<int> tabs;
  for (const auto& tableRow : controlTable()) {
    if (tableRow.kind == ControlKind::Timer) continue;
    EXPECT_TRUE(tabs.insert(tableRow.tabIndex).second) << controlText(tableRow.id);
  }
  EXPECT_EQ(tabs.size(), 54u);
  EXPECT_EQ(*tabs.begin(), 0);
  EXPECT_EQ(*tabs.rbegin(), 53);
}

TEST(ControlTable, EverythingIsOnFifteenTwipsAndInsideTheClientArea) {
  for (const auto& tableRow : controlTable()) {
    if (tableRow.kind == ControlKind::Timer) continue;
    const auto name = controlText(tableRow.id);
    for (int v : {tableRow.left, tableRow.top, tableRow.width, tableRow.height})
      EXPECT_EQ(v % 15, 0) << name;
    EXPECT_LE(tableRow.left + tableRow.width, ClientWidthTwips) << name;
    // Buttons fit; the list's closed box and the lowered labels of the bottom row hang below the
    // client area and are clipped there.
    if (tableRow.kind == ControlKind::PaintingButton || tableRow.kind == ControlKind::PlainButton) {
      EXPECT_LE(tableRow.top + tableRow.height, ClientHeightTwips) << name;
    }
  }
  EXPECT_EQ(controlSpec({ControlName::LoadA_Button}).left + 495, ClientWidthTwips);
  EXPECT_EQ(controlSpec({ControlName::ResetButton}).left + 1695, ClientWidthTwips);
}

TEST(ControlTable, TheRowsHaveTheirChannelPitchAndCaptions) {
  for (int bus = 0; bus < 2; ++bus) {
    for (int i = 1; i <= 16; ++i) {
      const auto& tableRow = controlSpec(busButton(bus, i));
      const int expectedLeft = i <= 8 ? 720 + 360 * (i - 1) : 4080 + 360 * (i - 9);
      EXPECT_EQ(tableRow.left, expectedLeft);
      EXPECT_EQ(tableRow.top, bus == 0 ? 0 : 240);
      EXPECT_EQ(tableRow.width, 375);
      EXPECT_EQ(std::string(tableRow.caption),
                std::string(i <= 8 ? "X" : "Y") + std::to_string(i <= 8 ? i : i - 8));
      EXPECT_TRUE(tableRow.tooltip.empty());
    }
  }
  EXPECT_EQ(controlSpec({ControlName::BusA, 0}).tabIndex, 17);
  EXPECT_EQ(controlSpec({ControlName::BusA, 1}).tabIndex, 19);
  EXPECT_EQ(controlSpec({ControlName::BusA, 17}).tabIndex, 35);
  EXPECT_EQ(controlSpec({ControlName::BusB, 0}).tabIndex, 36);
  EXPECT_EQ(controlSpec({ControlName::BusB, 17}).tabIndex, 53);
  EXPECT_EQ(controlSpec({ControlName::BusB, 0}).tooltip, "Turn all channels on this bus off");
  EXPECT_THROW(controlSpec({ControlName::BusA, 18}), std::out_of_range);
}

}  // namespace
}  // namespace orvane::panel
