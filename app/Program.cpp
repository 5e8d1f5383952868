#include "app/Program.h"

#include <chrono>

#include "host/Variant.h"
#include "host/trace/TracingFactory.h"

namespace orvane::app {

namespace {

void armBlock(host::sim::SimulatedHost& host, const SimulatorOptions& sim) {
  using host::sim::FaultKind;
  using host::sim::FaultSpec;
  if (sim.blockMember.empty()) return;
  if (sim.blockFromCall > 1) {
    host.injectFault(sim.blockMember, FaultSpec(FaultKind::None, sim.blockFromCall - 1));
  }
  host.injectFault(sim.blockMember, FaultSpec(FaultKind::Block, FaultSpec::Always));
}

std::unique_ptr<host::ThreadHome> homeOf(const Options& options, const RealHost& real) {
  return !options.simulate && real.home ? real.home() : nullptr;
}

}  // namespace

Program::Program(PanelParts panel, const Options& options,
                 std::shared_ptr<host::trace::TraceLog> trace, RealHost real,
                 std::chrono::steady_clock::time_point started)
    : wait_(panel.wait),
      hostThread_(panel.wait, homeOf(options, real)),
      startupServices_(panel.wait),
      trace_(trace),
      presets_(presetsFileOf(options)) {
  host::ObjectFactory factory;
  if (options.simulate) {
    simulated_.emplace(options.sim.config);
    simulated_->setLatency(std::chrono::milliseconds(options.sim.latencyMs));
    armBlock(*simulated_, options.sim);
    factory = hostThread_.wrap(simulated_->factory());
    panel.view.setCaptionSuffix(SimulatedMark);
  } else {
    factory = hostThread_.wrap(std::move(real.factory));
    startupServices_.claimWith(std::move(real.claim));
  }
  if (options.address) startupServices_.giveAddress(*options.address);
  startupServices_.traceTo(trace);

  // Start-up's services come first, so that an address given on the command line is no box.
  controller::PlatformServices* services = &startupServices_;
  startupServices_.wrap(panel.services);
  if (trace) {
    tracedServices_.emplace(panel.services, trace);
    startupServices_.wrap(*tracedServices_);
    eventTrace_.emplace(trace);
    waitTrace_.emplace(trace);
    wait_.observer = &*waitTrace_;
    factory = host::trace::tracingFactory(std::move(factory), trace);
  }
  services_ = tracedServices_ ? &*tracedServices_ : &panel.services;  // not start-up's
  controller_.emplace(panel.view, *services, std::move(factory));
  controller_->observeDc(&dcRecorder_);
  dcRecorder_.onTick = [this](const auto& readings, const auto& sample) {
    logDcTick(readings, sample);
  };
  wait_.title = [this] { return controller_->state().Title_Text; };
  dispatcher_.emplace(*controller_, *services);
  if (eventTrace_) dispatcher_->setObserver(&*eventTrace_);
  panel.view.setRaisedEvents(&*dispatcher_);
  wait_.beginStartup(started);
}

void Program::letGoOfHost() {
  if (!controller_) return;
  if (trace_ && controller_->unloadResetGivenUp()) {
    trace_->write("the switcher was not reset: its reset was given up on");
  }
  dispatcher_.reset();
  controller_.reset();  // queues the releases of whatever host objects it still holds
  wait_.title = nullptr;
  releasing_ = true;
  hostThread_.finish();
  releasing_ = false;
}

ExitStatus Program::exitStatus() const {
  if (dispatcher_ && dispatcher_->failure()) return ExitStartFailed;
  if (controller_ && controller_->connectionLost()) return ExitConnectionLost;
  return ExitEnded;
}

void Program::traceSessionEnd(const std::string& what) {
  if (trace_) trace_->write("session ending: " + what);
}

void Program::traceReleases() {
  traceSessionEnd(hostThread_.givenUp() ? "releases not waited for: the host did not answer"
                                        : "releases done");
}

void Program::endSession(const std::string& why) {
  if (sessionEnding_) return;
  sessionEnding_ = true;
  if (trace_) {
    trace_->write("session ending: " + why);
    trace_->writeOpen("session ending: open: ");
  }
  wait_.endSession(SessionEndLimit);
  const ExitStatus status = exitStatus();
  if (releasing_) {
    traceSessionEnd("the run's releases are under way and are waited for");
    endAfterReleases_ = true;  // end() finishes the job once they are done
    return;
  }
  const bool busy = dispatcher_ && dispatcher_->busy();
  if (controller_ && !controller_->runEnded()) {
    if (!busy) {
      dispatcher_->handle({panel::EventKind::Unload});
    } else if (!startupServices_.addressChosen()) {
      traceSessionEnd("no reset sent: no address has been chosen");
    } else if (controller_->unloadResetSent()) {
      traceSessionEnd("no reset sent: the unload's reset was sent already");
    } else {
      traceSessionEnd("the operation in progress is left; sending the unload's reset");
      controller_->sendUnloadReset();  // queued behind the call in progress, which answers first
    }
  }
  if (busy) {
    // The operation in progress keeps its handles on the host objects; the objects behind them
    // are let go all the same.
    hostThread_.releaseAll();
    hostThread_.finish();
  } else {
    letGoOfHost();
  }
  traceReleases();
  endProcess(status);
}

int Program::end(int status) {
  letGoOfHost();
  if (endAfterReleases_) {
    traceReleases();
    endProcess(status);
  }
  if (hostThread_.givenUp()) {
    std::fflush(nullptr);
    std::_Exit(status);
  }
  return status;
}

std::optional<std::string> StartupServices::inputBox(const std::string& prompt,
                                                     const std::string& title,
                                                     const std::string& defaultText) {
  wait_.endStartup();
  auto answer = givenAddress_ ? addressGiven() : inner_->inputBox(prompt, title, defaultText);
  if (answer && !answer->empty() && !claimed(controller::addressFromText(*answer))) {
    answer = std::nullopt;  // as Cancel at the prompt
  }
  addressChosen_ = answer && !answer->empty();
  return answer;
}

std::string StartupServices::addressGiven() const {
  const std::string answer = host::decimalText(static_cast<std::int16_t>(*givenAddress_));
  if (trace_) trace_->write("address " + answer + " from the command line (--address): no prompt");
  return answer;
}

// Another panel controls that switcher and has come to the front: this one leaves it alone.
bool StartupServices::claimed(int address) const {
  if (!claim_ || claim_(address)) return true;
  if (trace_) trace_->write(anotherPanelLine(address));
  return false;
}

std::int16_t StartupServices::messageBox(const std::string& text, std::int16_t style,
                                         const std::string& title) {
  wait_.endStartup();
  return inner_->messageBox(text, style, title);
}

void StartupServices::endAtOnce() {
  wait_.endStartup();
  inner_->endAtOnce();
}

std::string anotherPanelLine(int address) {
  return "another panel controls switcher " + std::to_string(address) +
         ": it was brought to the front, and this panel ends";
}

bool openDcLog(const Options& options, std::unique_ptr<DcLogFile>& log, std::string& error) {
  if (!options.dcLogPath) return true;
  try {
    log = DcLogFile::open(pathOf(*options.dcLogPath), *options.dcLogPath);
    return true;
  } catch (const FileError& failure) {
    error = std::string("--dc-log: ") + failure.what();
    return false;
  }
}

bool openTrace(const Options& options, std::shared_ptr<host::trace::TraceLog>& trace,
               std::string& error, host::trace::TraceLog::Mode mode) {
  if (!options.tracePath) return true;
  try {
    trace = host::trace::TraceLog::open(pathOf(*options.tracePath), mode);
    return true;
  } catch (const host::trace::TraceFileError& failure) {
    error = std::string("--trace: ") + failure.what();
    return false;
  }
}

}  // namespace orvane::app
