#include "panel/trace/EventTrace.h"

namespace orvane::panel::trace {

std::string handlerName(ControlEvent event) {
  switch (event.kind) {
    case EventKind::Load:
      return "Form_Load";
    case EventKind::Unload:
      return "Form_Unload";
    case EventKind::BusAClick:
      return "BusA_Click(" + std::to_string(event.index) + ")";
    case EventKind::BusBClick:
      return "BusB_Click(" + std::to_string(event.index) + ")";
    case EventKind::BalAClick:
      return "BalA_Button_Click";
    case EventKind::LoadAClick:
      return "LoadA_Button_Click";
    case EventKind::BalBClick:
      return "BalB_Button_Click";
    case EventKind::LoadBClick:
      return "LoadB_Button_Click";
    case EventKind::ResetClick:
      return "ResetButton_Click";
    case EventKind::PrevClick:
      return "PrevButton_Click";
    case EventKind::NextClick:
      return "NextButton_Click";
    case EventKind::DCClick:
      return "DCButton_Click";
    case EventKind::ModeClick:
      return "Mode_Droplist_Click";
    case EventKind::TimerTick:
      return "Timer1_Timer";
    case EventKind::FollowTick:
      return "FollowTimer_Timer";
  }
  return "event " + std::to_string(static_cast<int>(event.kind));
}

namespace {

// The timers' events: written only when they call the host.
bool isTick(ControlEvent event) {
  return event.kind == EventKind::TimerTick || event.kind == EventKind::FollowTick;
}

}  // namespace

void EventTrace::handling(ControlEvent event, bool raised) {
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
  if (isTick(event)) return;
  log_->write("event dropped " + handlerName(event) +
              (why == Drop::Busy ? ": busy" : ": run ended"));
}

}  // namespace orvane::panel::trace

namespace orvane::panel::trace {

void EventTrace::kept(ControlEvent event) {
  log_->write("event kept " + handlerName(event) + ": runs once the operation in progress ends");
}

}  // namespace orvane::panel::trace
