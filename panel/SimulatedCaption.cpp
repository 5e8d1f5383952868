#include "panel/SimulatedCaption.h"

#include "panel/Controls.h"

namespace orvane::panel {

SimulatedCaption::SimulatedCaption(View& inner) : inner_(inner) {
  setWindowCaption(std::string(WindowCaptionAtLoad));
}

void SimulatedCaption::setWindowCaption(const std::string& text) {
  std::string marked = text;
  marked += SimulatedMark;
  inner_.setWindowCaption(marked);
}

void SimulatedCaption::setBackColor(ControlId control, Colour colour) {
  inner_.setBackColor(control, colour);
}

void SimulatedCaption::setEnabled(ControlId control, bool enabled) {
  inner_.setEnabled(control, enabled);
}

void SimulatedCaption::setCaption(ControlId control, const std::string& text) {
  inner_.setCaption(control, text);
}

void SimulatedCaption::addListEntry(const std::string& text, std::int16_t index) {
  inner_.addListEntry(text, index);
}

void SimulatedCaption::setListIndex(std::int16_t index) {
  inner_.setListIndex(index);
}

std::int16_t SimulatedCaption::listIndex() const {
  return inner_.listIndex();
}

void SimulatedCaption::setTimerInterval(int milliseconds) {
  inner_.setTimerInterval(milliseconds);
}

void SimulatedCaption::close() {
  inner_.close();
}

}  // namespace orvane::panel
