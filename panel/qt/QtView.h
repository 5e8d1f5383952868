#pragma once

#include "panel/View.h"
#include "panel/qt/PanelWindow.h"

namespace orvane::panel::qt {

// The view operations on the Qt main window. Setting the mode list to another entry raises
// Mode_Droplist_Click inside the set; closing raises Form_Unload once, then the run is over.
class QtView : public View {
 public:
  explicit QtView(PanelWindow& window) : window_(window) {}

  void setBackColor(ControlId control, Colour colour) override;
  void setEnabled(ControlId control, bool enabled) override;
  void setCaption(ControlId control, const std::string& text) override;
  void setWindowCaption(const std::string& text) override;
  void setCaptionSuffix(const std::string& suffix) override;
  void addListEntry(const std::string& text, std::int16_t index) override;
  void setListIndex(std::int16_t index) override;
  std::int16_t listIndex() const override;
  void setTimerInterval(int milliseconds) override;
  void close() override;

 private:
  PanelWindow& window_;
  bool closed_ = false;
};

}  // namespace orvane::panel::qt
