#include "panel/qt/QtView.h"

namespace orvane::panel::qt {

void QtView::setBackColor(ControlId control, Colour colour) {
  window_.setControlColour(control, colour);
}

void QtView::setEnabled(ControlId control, bool enabled) {
  window_.setControlEnabled(control, enabled);
}

void QtView::setCaption(ControlId control, const std::string& text) {
  window_.setControlCaption(control, text);
}

void QtView::setWindowCaption(const std::string& text) {
  window_.setCaption(text);
}

void QtView::setCaptionSuffix(const std::string& suffix) {
  window_.setCaptionSuffix(suffix);
}

void QtView::addListEntry(const std::string& text, std::int16_t index) {
  window_.insertModeEntry(text, index);
}

void QtView::setListIndex(std::int16_t index) {
  if (window_.selectMode(index) && index >= 0 && raisedEvents()) {
    raisedEvents()->listClickRaised();
  }
}

std::int16_t QtView::listIndex() const {
  return window_.modeIndex();
}

void QtView::setTimerInterval(int milliseconds) {
  window_.setTickInterval(milliseconds);
}

void QtView::close() {
  if (closed_) return;
  closed_ = true;
  if (raisedEvents()) raisedEvents()->unloadRaised();
  window_.finishRun();
}

}  // namespace orvane::panel::qt
