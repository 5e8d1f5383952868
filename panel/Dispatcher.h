#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "controller/Controller.h"
#include "controller/PlatformServices.h"
#include "panel/View.h"

namespace orvane::panel {

// The events that the program handles; every other event of every control is ignored.
// In the order of the event table (Dispatcher.cpp).
enum class EventKind {
  Load,
  Unload,
  BusAClick,
  BusBClick,
  BalAClick,
  LoadAClick,
  BalBClick,
  LoadBClick,
  ResetClick,
  PrevClick,
  NextClick,
  DCClick,
  ModeClick,
  TimerTick,
  // The follow timer (--follow-ms): reads the switcher's status between operations.
  FollowTick,
  // An operation of the program's own (a preset's read or recall): see runOperation.
  Operation,
};

struct ControlEvent {
  EventKind kind;
  std::int16_t index = 0;  // the member of BusA or BusB that was clicked
};

// The click event of a control; nothing for the labels, the list and the timer, which raise none.
std::optional<ControlEvent> clickEventOf(ControlId id);
// The handler an event runs, as the trace names it: "BusA_Click(5)", "Timer1_Timer", "Form_Load".
std::string handlerName(ControlEvent event);

// Watches what the dispatcher does with each event; the call trace is one. Without an observer the
// dispatcher does no work for it beyond one pointer test.
class DispatchObserver {
 public:
  enum class Drop { Busy, RunEnded };
  virtual ~DispatchObserver() = default;
  // The event's handler is about to run: sent by the window system, or raised by a view operation
  // inside a running handler.
  virtual void handling(ControlEvent event, bool raised) = 0;
  // The handler of an event from the window system has returned (or unwound).
  virtual void handled(ControlEvent /*event*/) {}
  virtual void dropped(ControlEvent event, Drop why) = 0;
  // The operator's close came during an operation: it runs once the operation has ended.
  virtual void kept(ControlEvent /*event*/) {}
};

// The event table: each control event runs one controller operation, one handler at a time. An
// event that arrives while a handler is still running (a tick while a modal box is open, a click
// pumped in during a host call) is dropped, never run nested; only the events that view operations
// raise run inside the handler that caused them. The operator's close is the exception: it is
// kept, and closes the window once the operation has ended. Giving up on the host, in whatever
// operation, ends the run as a lost connection. Nothing thrown by the controller escapes to the
// window system.
class Dispatcher : public RaisedEvents {
 public:
  Dispatcher(controller::Controller& controller, controller::PlatformServices& services);

  // An event from the window system or the operator. Returns false when it was dropped, or kept
  // for later (a close during an operation).
  bool handle(ControlEvent event);

  // An operation of the program's own, run as an operator's event is: dropped while another runs,
  // never nested, and guarded the same way. Returns false when it was dropped.
  bool runOperation(std::function<void()> operation);

  void listClickRaised() override;
  void unloadRaised() override;

  void setObserver(DispatchObserver* observer) { observer_ = observer; }

  bool busy() const { return depth_ > 0; }
  bool runEnded() const { return controller_.runEnded(); }
  // Set when the run ended because an error escaped a handler (start-up could not reach the host);
  // the program then exits with a failure status.
  const std::optional<std::string>& failure() const { return failure_; }

 private:
  void run(ControlEvent event);
  void runGuarded(ControlEvent event);
  void unload();
  // Ends the run at once, as the controller does after Cancel at the address prompt.
  void endRunAtOnce();

  controller::Controller& controller_;
  controller::PlatformServices& services_;
  int depth_ = 0;
  bool unloadRan_ = false;
  bool closeKept_ = false;
  std::function<void()> operation_;
  std::optional<std::string> failure_;
  DispatchObserver* observer_ = nullptr;
};

}  // namespace orvane::panel
