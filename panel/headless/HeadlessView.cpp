#include "panel/headless/HeadlessView.h"

#include <cstdio>
#include <stdexcept>

#include "panel/Controls.h"

namespace orvane::panel {

namespace {

std::pair<int, int> key(ControlId id) {
  return {static_cast<int>(id.name), id.index};
}

std::string hexColour(Colour colour) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%06X", static_cast<unsigned>(colour));
  return text;
}

}  // namespace

HeadlessView::HeadlessView() : windowCaption_(WindowCaptionAtLoad), caption_(WindowCaptionAtLoad) {
  for (const auto& tableRow : controlTable()) {
    controls_[key(tableRow.id)] =
        ControlState{tableRow.backColour.value_or(0), true, std::string(tableRow.caption)};
  }
}

HeadlessView::ControlState& HeadlessView::mutableControl(ControlId id) {
  const auto found = controls_.find(key(id));
  if (found == controls_.end()) throw std::out_of_range("no control " + controlText(id));
  return found->second;
}

const HeadlessView::ControlState& HeadlessView::control(ControlId id) const {
  const auto found = controls_.find(key(id));
  if (found == controls_.end()) throw std::out_of_range("no control " + controlText(id));
  return found->second;
}

void HeadlessView::setBackColor(ControlId control, Colour colour) {
  operations_.push_back("BackColor " + controlText(control) + " " + hexColour(colour));
  mutableControl(control).backColour = colour;
}

void HeadlessView::setEnabled(ControlId control, bool enabled) {
  operations_.push_back("Enabled " + controlText(control) + (enabled ? " True" : " False"));
  mutableControl(control).enabled = enabled;
}

void HeadlessView::setCaption(ControlId control, const std::string& text) {
  operations_.push_back("Caption " + controlText(control) + " \"" + text + "\"");
  mutableControl(control).caption = text;
}

void HeadlessView::setWindowCaption(const std::string& text) {
  operations_.push_back("Caption window \"" + text + "\"");
  caption_ = text;
  windowCaption_ = caption_ + captionSuffix_;
}

void HeadlessView::setCaptionSuffix(const std::string& suffix) {
  captionSuffix_ = suffix;
  windowCaption_ = caption_ + captionSuffix_;
}

void HeadlessView::addListEntry(const std::string& text, std::int16_t index) {
  operations_.push_back("AddItem \"" + text + "\" " + std::to_string(index));
  if (index < 0 || static_cast<std::size_t>(index) > listEntries_.size()) {
    throw std::out_of_range("list index " + std::to_string(index) + " out of range");
  }
  listEntries_.insert(listEntries_.begin() + index, text);
  if (listIndex_ >= index) ++listIndex_;  // the selection stays on its entry
}

void HeadlessView::setListIndex(std::int16_t index) {
  operations_.push_back("ListIndex " + std::to_string(index));
  if (index < -1 || index >= static_cast<int>(listEntries_.size())) {
    throw std::out_of_range("list index " + std::to_string(index) + " out of range");
  }
  if (index == listIndex_) return;  // the same entry again raises nothing
  listIndex_ = index;
  if (index >= 0 && raisedEvents()) raisedEvents()->listClickRaised();
}

void HeadlessView::setTimerInterval(int milliseconds) {
  operations_.push_back("Interval " + std::to_string(milliseconds));
  timerInterval_ = milliseconds;
}

void HeadlessView::close() {
  operations_.push_back("Close");
  if (closed_) return;
  closed_ = true;
  if (raisedEvents()) raisedEvents()->unloadRaised();
}

bool HeadlessView::send(ControlEvent event) {
  if (!dispatcher_) throw std::logic_error("the headless view is not attached to a dispatcher");
  return dispatcher_->handle(event);
}

bool HeadlessView::load() {
  return send({EventKind::Load});
}

bool HeadlessView::click(ControlId id) {
  const auto event = clickEventOf(id);
  if (!event || closed_ || !control(id).enabled) return false;
  return send(*event);
}

bool HeadlessView::chooseListEntry(std::int16_t index) {
  if (closed_ || index < 0 || index >= static_cast<int>(listEntries_.size())) return false;
  if (index == listIndex_) return false;  // picking the selected entry again changes nothing
  if (dispatcher_ && (dispatcher_->busy() || dispatcher_->runEnded())) return false;
  listIndex_ = index;
  return send({EventKind::ModeClick});
}

bool HeadlessView::tick() {
  if (closed_ || timerInterval_ <= 0) return false;
  return send({EventKind::TimerTick});
}

bool HeadlessView::followTick() {
  if (closed_) return false;
  return send({EventKind::FollowTick});
}

bool HeadlessView::closeBox() {
  if (closed_) return false;
  if (!send({EventKind::Unload})) return false;
  closed_ = true;
  return true;
}

}  // namespace orvane::panel
