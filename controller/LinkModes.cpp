// Mode_Droplist_Click: store the mode, swap "All Off"/"All On" for "<"/">", and reset.
#include "controller/Controller.h"

namespace orvane::controller {

void Controller::Mode_Droplist_Click() {
  using enum panel::ControlName;
  throwIfEnded();
  s_.Link_Mode = view_.listIndex();
  const bool freeToggling = s_.Link_Mode == 0;
  view_.setEnabled({BusA, 0}, freeToggling);
  view_.setEnabled({BusA, 17}, freeToggling);
  view_.setEnabled({BusB, 0}, freeToggling);
  view_.setEnabled({BusB, 17}, freeToggling);
  view_.setEnabled({PrevButton}, !freeToggling);
  view_.setEnabled({NextButton}, !freeToggling);
  ResetButton_Click();
}

}  // namespace orvane::controller
