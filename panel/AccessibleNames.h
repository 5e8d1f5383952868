#pragma once

#include <string>

#include "panel/ControlId.h"

namespace orvane::panel {

// What assistive technology says for a control: the bus it belongs to and what it does ("Bus A X5",
// "Bus B Load", "Bus A All Off"), the terminal a readout shows ("Bus A +ve DC"). Captions alone
// ("X5", "<") repeat on both rows or say nothing when read aloud.
std::string accessibleName(ControlId id);

// The channel and relay buttons: their colour is their on/off state.
bool showsOnOffState(ControlId id);

// Green (a channel on the bus) and orange (a relay on) are on; grey, and anything else, is off.
bool isOnColour(Colour colour);

}  // namespace orvane::panel
