#include "panel/trace/EventTrace.h"

namespace orvane::panel::trace {

namespace {

// The timers' events: written only when they call the host.
bool isTick(ControlEvent event) {
  return event.kind == EventKind::TimerTick || event.kind == EventKind::FollowTick;
}

}  // namespace

void EventTrace::handling(ControlEvent event, bool raised) {
  if (event.kind == EventKind::Operation) return;  // the program writes its own line for it
  std::string line = (raised ? "event raised " : "event handled ") + handlerName(event);
  if (isTick(event)) {
    log_->holdBack(host::trace::TraceLog::Held::Event, host::trace::TraceLog::Clock::now(),
                   std::move(line));
  } else {
    log_->write(line);
  }
}

void EventTrace::handled(ControlEvent event) {
  if (isTick(event)) log_->dropHeldBack(host::trace::TraceLog::Held::Event);
}

void EventTrace::dropped(ControlEvent event, Drop why) {
  if (isTick(event) || event.kind == EventKind::Operation) return;
  log_->write("event dropped " + handlerName(event) +
              (why == Drop::Busy ? ": busy" : ": run ended"));
}

void EventTrace::kept(ControlEvent event) {
  log_->write("event kept " + handlerName(event) + ": runs once the operation in progress ends");
}

}  // namespace orvane::panel::trace
