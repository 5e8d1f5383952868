#pragma once

#include <memory>

#include "host/Object.h"
#include "host/trace/TraceLog.h"

namespace orvane::host::trace {

// Wraps any factory so that every member access of the objects it creates (and of the objects
// those return) writes one line when it ends, stamped with the time it began:
//
//   12ms host 41us IOSwitcher.SWITCHER_AddChannel("BusA0", &5) -> True
//   12ms host 38us IOSwitcher.IOSWITCHER_GetFullStatus(&0, &Empty => 16, &Empty => 0) -> True
//   13ms host 2us IOSwitcher.ORVANE_ShowErrorMessages = False
//   20ms host 9us IOSwitcher.ORVANE_Reset(&0, True, &Empty) -> error "ORVANE_Reset: busy"
//
// The object is named after the member that returned it (HostApp for the created one). An argument
// by reference shows "&" and its value before the call, and "=> value" after it when the call
// changed it. Creating the object and releasing each object write a line as well.
ObjectFactory tracingFactory(ObjectFactory inner, std::shared_ptr<TraceLog> log);

}  // namespace orvane::host::trace
