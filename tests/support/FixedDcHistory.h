#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "panel/DcHistoryActions.h"
#include "panel/PresetActions.h"

namespace orvane::testing {

// What the history windows are checked against: bus A's +ve terminal reads a fixed 9 V and the
// others 0 V, five times a second over the last minute, except from `offFrom` to `offUntil` seconds
// ago, when DC was switched off (a gap). It stands in for the presets too, so that the context
// menu opens; it lists none.
struct FixedDcHistory final : panel::DcHistoryActions, panel::PresetActions {
  explicit FixedDcHistory(int offFrom = 0, int offUntil = 0) {
    using std::chrono::milliseconds;
    using std::chrono::seconds;
    const auto now = std::chrono::steady_clock::now();
    for (int k = 0; k < 300; ++k) {
      const auto at = now - seconds(60) + milliseconds(200 * k);
      if (at > now - seconds(offFrom) && at < now - seconds(offUntil)) continue;
      history.add({at, {}, {9.0, 0.0, 0.0, 0.0}});
      if (at <= now - seconds(offFrom) && at + milliseconds(200) > now - seconds(offFrom)) {
        history.addGap(at + milliseconds(100), {});
      }
    }
  }
  const controller::DcHistory& dcHistory() const override { return history; }
  void saveDcHistory(const std::string&) override {}
  std::vector<panel::MenuPreset> menuPresets() override { return {}; }
  void storePreset() override {}
  void recallPreset(const std::string&) override {}
  void renamePreset(const std::string&) override {}
  void deletePreset(const std::string&) override {}
  controller::DcHistory history;
};

}  // namespace orvane::testing
