#pragma once

#include <cstdint>
#include <string>

#include "panel/ControlId.h"

namespace orvane::panel {

// The events that a view raises from inside its own operations; the dispatcher implements this
// and runs the handler nested, before the view operation returns.
class RaisedEvents {
 public:
  virtual ~RaisedEvents() = default;
  // setListIndex moved the selection to another entry: Mode_Droplist_Click runs now.
  virtual void listClickRaised() = 0;
  // close() is unloading the window: Form_Unload runs now.
  virtual void unloadRaised() = 0;
};

// The only way the controller changes the panel. Each operation takes effect at once. Only
// setListIndex (to another entry) and close raise events, through RaisedEvents; adding list entries
// raises none.
class View {
 public:
  virtual ~View() = default;

  virtual void setBackColor(ControlId control, Colour colour) = 0;
  virtual void setEnabled(ControlId control, bool enabled) = 0;
  // A label's caption (the four DC readouts).
  virtual void setCaption(ControlId control, const std::string& text) = 0;
  virtual void setWindowCaption(const std::string& text) = 0;
  virtual void addListEntry(const std::string& text, std::int16_t index) = 0;
  virtual void setListIndex(std::int16_t index) = 0;
  virtual std::int16_t listIndex() const = 0;
  virtual void setTimerInterval(int milliseconds) = 0;
  // Closes the main window; Form_Unload runs inside this call.
  virtual void close() = 0;

  // Not an operation of the controller's: what the window caption carries after every caption set
  // (" (simulated)" on the simulated host), the caption at load included.
  virtual void setCaptionSuffix(const std::string& suffix) = 0;

  void setRaisedEvents(RaisedEvents* sink) { raised_ = sink; }

 protected:
  RaisedEvents* raisedEvents() const { return raised_; }

 private:
  RaisedEvents* raised_ = nullptr;
};

}  // namespace orvane::panel
