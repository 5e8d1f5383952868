#include "panel/Dispatcher.h"

#include <algorithm>
#include <string>
#include <utility>

#include "controller/RunEnded.h"
#include "host/AutomationError.h"
#include "host/CallWaiter.h"

namespace orvane::panel {

namespace {

// Counts the handlers on the stack, also when one unwinds.
class Running {
 public:
  explicit Running(int& depth) : depth_(depth) { ++depth_; }
  ~Running() { --depth_; }
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;

 private:
  int& depth_;
};

// The event table: every handled event, the control whose click raises it (if any), the handler
// it runs, named as the trace names it.
struct EventRow {
  EventKind kind;
  std::optional<ControlName> clicked;
  const char* handler;
  void (controller::Controller::*run)();  // null for those the dispatcher runs itself
};

using C = controller::Controller;
using enum ControlName;
constexpr EventRow EventTable[] = {
    {EventKind::Load, {}, "Form_Load", &C::Form_Load},
    {EventKind::Unload, {}, "Form_Unload", nullptr},
    {EventKind::BusAClick, BusA, "BusA_Click", nullptr},
    {EventKind::BusBClick, BusB, "BusB_Click", nullptr},
    {EventKind::BalAClick, BalA_Button, "BalA_Button_Click", &C::BalA_Button_Click},
    {EventKind::LoadAClick, LoadA_Button, "LoadA_Button_Click", &C::LoadA_Button_Click},
    {EventKind::BalBClick, BalB_Button, "BalB_Button_Click", &C::BalB_Button_Click},
    {EventKind::LoadBClick, LoadB_Button, "LoadB_Button_Click", &C::LoadB_Button_Click},
    {EventKind::ResetClick, ResetButton, "ResetButton_Click", &C::ResetButton_Click},
    {EventKind::PrevClick, PrevButton, "PrevButton_Click", &C::PrevButton_Click},
    {EventKind::NextClick, NextButton, "NextButton_Click", &C::NextButton_Click},
    {EventKind::DCClick, DCButton, "DCButton_Click", &C::DCButton_Click},
    {EventKind::ModeClick, {}, "Mode_Droplist_Click", &C::Mode_Droplist_Click},
    {EventKind::TimerTick, {}, "Timer1_Timer", &C::Timer1_Timer},
    {EventKind::FollowTick, {}, "FollowTimer_Timer", &C::followSwitcher},
    {EventKind::Operation, {}, "Operation", nullptr},
};

static_assert(std::ranges::all_of(EventTable, [](const EventRow& row) {
  return &row - EventTable == static_cast<std::ptrdiff_t>(row.kind);
}));

const EventRow& rowOf(EventKind kind) {
  return EventTable[static_cast<std::size_t>(kind)];  // in the order of EventKind
}

}  // namespace

std::optional<ControlEvent> clickEventOf(ControlId id) {
  for (const auto& row : EventTable) {
    if (row.clicked == id.name) return ControlEvent{row.kind, id.index};
  }
  return std::nullopt;
}

std::string handlerName(ControlEvent event) {
  std::string name = rowOf(event.kind).handler;
  if (event.kind == EventKind::BusAClick || event.kind == EventKind::BusBClick) {
    name.append(1, '(').append(std::to_string(event.index)).append(1, ')');
  }
  return name;
}

Dispatcher::Dispatcher(controller::Controller& controller, controller::PlatformServices& services)
    : controller_(controller), services_(services) {}

bool Dispatcher::handle(ControlEvent event) {
  if (event.kind == EventKind::Unload && busy() && !runEnded()) {
    closeKept_ = true;
    if (observer_) observer_->kept(event);
    return false;
  }
  if (busy() || runEnded()) {
    if (observer_) {
      observer_->dropped(event,
                         busy() ? DispatchObserver::Drop::Busy : DispatchObserver::Drop::RunEnded);
    }
    return false;
  }
  if (observer_) observer_->handling(event, false);
  runGuarded(event);
  if (observer_) observer_->handled(event);
  // A close kept meanwhile; after a give-up the run has ended and the window is closed already.
  if (std::exchange(closeKept_, false)) controller_.closeWindow();
  return true;
}

bool Dispatcher::runOperation(std::function<void()> operation) {
  if (busy() || runEnded()) return false;
  operation_ = std::move(operation);
  const bool ran = handle({EventKind::Operation});
  operation_ = nullptr;
  return ran;
}

void Dispatcher::listClickRaised() {
  const ControlEvent event{EventKind::ModeClick};
  if (runEnded()) {
    if (observer_) observer_->dropped(event, DispatchObserver::Drop::RunEnded);
    return;
  }
  if (observer_) observer_->handling(event, true);
  runGuarded(event);
}

void Dispatcher::unloadRaised() {
  if (observer_) observer_->handling({EventKind::Unload}, true);
  Running running(depth_);
  unload();
}

void Dispatcher::unload() {
  if (unloadRan_) return;
  unloadRan_ = true;
  std::int16_t cancel = 0;
  controller_.Form_Unload(cancel);
}

void Dispatcher::runGuarded(ControlEvent event) {
  Running running(depth_);
  try {
    run(event);
  } catch (const controller::RunEnded&) {
    // The run is over; the operation that was in progress has been abandoned.
  } catch (const host::CallGivenUp&) {
    try {
      controller_.lostConnection();
    } catch (const controller::RunEnded&) {
    }
  } catch (const host::WaitCancelled&) {
    // The operator ended the program while it waited for the host: at once, as after Cancel at
    // the address prompt.
    endRunAtOnce();
  } catch (const host::AutomationError& error) {
    // Only start-up has no error handling of its own: the host could not be created or reached.
    // The failure is noted before the box: a session end while it is open still reports it.
    const bool startingUp = event.kind == EventKind::Load;
    if (startingUp) failure_ = error.what();
    const std::string text = std::string(startingUp ? "The program could not start."
                                                    : "The program met an unexpected error.") +
                             "\r\n\r\n" + error.what();
    services_.messageBox(text, 16, "Orvane I/O Switcher");
    if (startingUp) endRunAtOnce();
  }
}

void Dispatcher::endRunAtOnce() {
  controller_.markEndedAtOnce();
  services_.endAtOnce();
}

void Dispatcher::run(ControlEvent event) {
  switch (event.kind) {
    case EventKind::Unload:
      return unload();
    case EventKind::BusAClick:
      return controller_.BusA_Click(event.index);
    case EventKind::BusBClick:
      return controller_.BusB_Click(event.index);
    case EventKind::Operation:
      return operation_();
    default:
      return (controller_.*rowOf(event.kind).run)();
  }
}

}  // namespace orvane::panel
