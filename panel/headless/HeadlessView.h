#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "panel/Dispatcher.h"
#include "panel/View.h"

namespace orvane::panel {

// A window-less panel: it keeps what a real panel would show, so the controller runs and is tested
// without a window system, and it plays the operator's part (clicks that respect the enabled
// state, choosing a mode, the close box, timer ticks).
class HeadlessView : public View {
 public:
  struct ControlState {
    Colour backColour = 0;
    bool enabled = true;
    std::string caption;
  };

  HeadlessView();

  // View operations
  void setBackColor(ControlId control, Colour colour) override;
  void setEnabled(ControlId control, bool enabled) override;
  void setCaption(ControlId control, const std::string& text) override;
  void setWindowCaption(const std::string& text) override;
  void addListEntry(const std::string& text, std::int16_t index) override;
  void setListIndex(std::int16_t index) override;
  std::int16_t listIndex() const override { return listIndex_; }
  void setTimerInterval(int milliseconds) override;
  void close() override;
  void setCaptionSuffix(const std::string& suffix) override;

  // What the panel shows
  const ControlState& control(ControlId id) const;
  Colour colourOf(ControlId id) const { return control(id).backColour; }
  bool enabledOf(ControlId id) const { return control(id).enabled; }
  const std::string& captionOf(ControlId id) const { return control(id).caption; }
  const std::string& windowCaption() const { return windowCaption_; }
  const std::vector<std::string>& listEntries() const { return listEntries_; }
  int timerInterval() const { return timerInterval_; }
  bool closed() const { return closed_; }
  // Every view operation made, in order, e.g. "BackColor BusA(5) 0x00FF00".
  const std::vector<std::string>& operations() const { return operations_; }
  void clearOperations() { operations_.clear(); }

  // The operator's side, through the dispatcher. Each returns whether the event was handled.
  void attach(Dispatcher& dispatcher) { dispatcher_ = &dispatcher; }
  bool load();
  bool click(ControlId id);  // a disabled button raises nothing
  bool chooseListEntry(std::int16_t index);
  bool tick();
  bool followTick();  // the follow timer (--follow-ms)
  bool closeBox();

 private:
  ControlState& mutableControl(ControlId id);
  bool send(ControlEvent event);

  std::map<std::pair<int, int>, ControlState> controls_;
  std::string windowCaption_;  // as shown: the controller's caption and the suffix
  std::string caption_;
  std::string captionSuffix_;
  std::vector<std::string> listEntries_;
  std::int16_t listIndex_ = -1;
  int timerInterval_ = 0;
  bool closed_ = false;
  std::vector<std::string> operations_;
  Dispatcher* dispatcher_ = nullptr;
};

}  // namespace orvane::panel
