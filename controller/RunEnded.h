#pragma once

namespace orvane::controller {

// Thrown once the run is over (ended at once, or the main window has been unloaded) to unwind
// whatever operation was in progress back to the dispatcher. Deliberately not a std::exception, so
// that no handler for ordinary errors can swallow it.
struct RunEnded {};

}  // namespace orvane::controller
