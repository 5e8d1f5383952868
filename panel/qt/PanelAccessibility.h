#pragma once

namespace orvane::panel::qt {

// Makes the panel's own widgets known to Qt's accessibility: a painting button that shows an
// on/off state reports it as a checked state (its colour is all the screen shows of it), and a
// readout reports its exact reading as its value. Safe to call more than once.
void installPanelAccessibility();

}  // namespace orvane::panel::qt
