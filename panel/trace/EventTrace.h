#pragma once

#include <memory>
#include <string>

#include "host/trace/TraceLog.h"
#include "panel/Dispatcher.h"

namespace orvane::panel::trace {

// One trace line for every event the dispatcher runs or drops, named as its handler:
//
//   15ms event handled BusA_Click(5)
//   16ms event raised Mode_Droplist_Click
//   900ms event dropped BusB_Click(9): run ended
//
// A timer tick is written only when its handler writes something after it (a DC reading): an idle
// panel ticks five times a second and would otherwise fill the trace with nothing. A dropped tick
// makes no host call and is not written either. The follow timer's reads (--follow-ms) come as
// "event handled FollowTimer_Timer" and the status read after it.
class EventTrace final : public DispatchObserver {
 public:
  explicit EventTrace(std::shared_ptr<host::trace::TraceLog> log) : log_(std::move(log)) {}

  void handling(ControlEvent event, bool raised) override;
  void handled(ControlEvent event) override;
  void dropped(ControlEvent event, Drop why) override;
  void kept(ControlEvent event) override;

 private:
  std::shared_ptr<host::trace::TraceLog> log_;
};

}  // namespace orvane::panel::trace
