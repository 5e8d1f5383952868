#include "panel/Dispatcher.h"

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

}  // namespace

std::optional<ControlEvent> clickEventOf(ControlId id) {
  using enum ControlName;
  switch (id.name) {
    case BusA:
      return ControlEvent{EventKind::BusAClick, id.index};
    case BusB:
      return ControlEvent{EventKind::BusBClick, id.index};
    case BalA_Button:
      return ControlEvent{EventKind::BalAClick};
    case LoadA_Button:
      return ControlEvent{EventKind::LoadAClick};
    case BalB_Button:
      return ControlEvent{EventKind::BalBClick};
    case LoadB_Button:
      return ControlEvent{EventKind::LoadBClick};
    case ResetButton:
      return ControlEvent{EventKind::ResetClick};
    case PrevButton:
      return ControlEvent{EventKind::PrevClick};
    case NextButton:
      return ControlEvent{EventKind::NextClick};
    case DCButton:
      return ControlEvent{EventKind::DCClick};
    default:
      return std::nullopt;
  }
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
  runKeptClose();
  return true;
}

// The close is kept only while the run goes on: after a give-up the run has ended as a lost
// connection, and the window is closed already.
void Dispatcher::runKeptClose() {
  if (!closeKept_ || busy()) return;
  closeKept_ = false;
  controller_.closeWindow();
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
      controller_.hostGivenUp();
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
  auto& c = controller_;
  switch (event.kind) {
    case EventKind::Load:
      return c.Form_Load();
    case EventKind::Unload:
      return unload();
    case EventKind::BusAClick:
      return c.BusA_Click(event.index);
    case EventKind::BusBClick:
      return c.BusB_Click(event.index);
    case EventKind::BalAClick:
      return c.BalA_Button_Click();
    case EventKind::LoadAClick:
      return c.LoadA_Button_Click();
    case EventKind::BalBClick:
      return c.BalB_Button_Click();
    case EventKind::LoadBClick:
      return c.LoadB_Button_Click();
    case EventKind::ResetClick:
      return c.ResetButton_Click();
    case EventKind::PrevClick:
      return c.PrevButton_Click();
    case EventKind::NextClick:
      return c.NextButton_Click();
    case EventKind::DCClick:
      return c.DCButton_Click();
    case EventKind::ModeClick:
      return c.Mode_Droplist_Click();
    case EventKind::TimerTick:
      return c.Timer1_Timer();
    case EventKind::FollowTick:
      return c.followSwitcher();
  }
}

}  // namespace orvane::panel
