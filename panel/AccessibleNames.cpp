#include "panel/AccessibleNames.h"

#include "panel/Controls.h"

namespace orvane::panel {

std::string accessibleName(ControlId id) {
  using enum ControlName;
  switch (id.name) {
    case BusA:
    case BusB: {
      std::string name = id.name == BusA ? "Bus A " : "Bus B ";
      name += controlSpec(id).caption;
      return name;
    }
    case BalA_Button:
      return "Bus A Bal";
    case LoadA_Button:
      return "Bus A Load";
    case BalB_Button:
      return "Bus B Bal";
    case LoadB_Button:
      return "Bus B Load";
    case Label1:
      return "Bus A";
    case Label2:
      return "Bus B";
    case ResetButton:
      return "Disconnect All (reset)";
    case Label3:
      return "Link/Mode";
    case PrevButton:
      return "Previous channel";
    case NextButton:
      return "Next channel";
    case DCButton:
      return "DC readings on/off";
    case Label4:
      return "Bus A +ve DC";
    case Label5:
      return "Bus A -ve DC";
    case Label6:
      return "Bus B +ve DC";
    case Label7:
      return "Bus B -ve DC";
    case Label8:
      return "Bus A DC readings";
    case Label10:
      return "Bus B DC readings";
    case Mode_Droplist:
      return "Link/Mode";
    case Timer1:
      break;
  }
  return {};
}

bool showsOnOffState(ControlId id) {
  using enum ControlName;
  switch (id.name) {
    case BusA:
    case BusB:
      return id.index >= 1 && id.index <= 16;
    case BalA_Button:
    case LoadA_Button:
    case BalB_Button:
    case LoadB_Button:
      return true;
    default:
      return false;
  }
}

bool isOnColour(Colour colour) {
  return colour == colour::Green || colour == colour::Orange;
}

}  // namespace orvane::panel
