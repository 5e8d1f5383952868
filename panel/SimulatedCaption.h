#pragma once

#include <string>
#include <string_view>

#include "panel/View.h"

namespace orvane::panel {

// What the window caption carries after the controller's title while the panel runs on the
// simulated host, so that a simulated switcher is never taken for a real one.
inline constexpr std::string_view SimulatedMark = " (simulated)";

// A view that passes every operation on to the panel's own, marking the window caption: the
// controller keeps setting its exact title ("Orvane I/O Switcher 0"), the window shows
// "Orvane I/O Switcher 0 (simulated)". The caption the window has before the controller sets one
// is marked at once. Events raised inside operations still come from the panel's own view.
class SimulatedCaption final : public View {
 public:
  explicit SimulatedCaption(View& inner);

  void setBackColor(ControlId control, Colour colour) override;
  void setEnabled(ControlId control, bool enabled) override;
  void setCaption(ControlId control, const std::string& text) override;
  void setWindowCaption(const std::string& text) override;
  void addListEntry(const std::string& text, std::int16_t index) override;
  void setListIndex(std::int16_t index) override;
  std::int16_t listIndex() const override;
  void setTimerInterval(int milliseconds) override;
  void close() override;

 private:
  View& inner_;
};

}  // namespace orvane::panel
