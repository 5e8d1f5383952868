#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>

#include "app/CommandLine.h"
#include "app/DcLog.h"
#include "controller/Controller.h"
#include "host/HostThread.h"
#include "host/sim/SimulatedHost.h"
#include "host/trace/TraceLog.h"
#include "panel/DcHistoryActions.h"
#include "panel/Dispatcher.h"
#include "panel/HostWait.h"
#include "panel/PresetActions.h"
#include "panel/trace/EventTrace.h"
#include "panel/trace/TracingServices.h"
#include "panel/trace/WaitTrace.h"

namespace orvane::app {

// What the caption carries after the controller's title while the program runs on the simulated
// host, so that a simulated switcher is never taken for a real one.
inline constexpr const char* SimulatedMark = " (simulated)";
// How long the end of a desktop session may wait for the host, all host calls together.
inline constexpr std::chrono::milliseconds SessionEndLimit{2000};

// What a panel brings to the program.
struct PanelParts {
  panel::View& view;
  controller::PlatformServices& services;
  panel::HostWait& wait;
};

// The real host application: how to create its objects and where the host thread must live for
// that (a COM apartment on Windows); and, where panels could share a switcher, the claim on one:
// true when this panel may control the switcher at that address, false when another panel of the
// desktop session does (and has been brought to the front).
struct RealHost {
  host::ObjectFactory factory;
  std::function<std::unique_ptr<host::ThreadHome>()> home;
  std::function<bool(int address)> claim;
};

// The panel's platform services as start-up sees them: the first box or prompt ends start-up's
// wait for the host (the start-up window goes first); the address comes from the command line when
// it gave one, else from the prompt; an address that another panel controls ends the run as Cancel
// at the prompt does, before anything reaches the switcher.
class StartupServices final : public controller::PlatformServices {
 public:
  explicit StartupServices(panel::HostWait& wait) : wait_(wait) {}

  void wrap(controller::PlatformServices& inner) { inner_ = &inner; }
  // --address: the prompt is answered with it, and the trace (if any) says so.
  void giveAddress(int address) { givenAddress_ = address; }
  void traceTo(std::shared_ptr<host::trace::TraceLog> trace) { trace_ = std::move(trace); }
  void claimWith(std::function<bool(int address)> claim) { claim_ = std::move(claim); }

  std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) override;
  std::int16_t messageBox(const std::string& text, std::int16_t style,
                          const std::string& title) override;
  void endAtOnce() override;
  void pauseUntil(std::chrono::steady_clock::time_point until) override {
    wait_.pauseStartup(until);
  }

  // True once the operator has answered the address prompt with an address.
  bool addressChosen() const { return addressChosen_; }

 private:
  std::string addressGiven() const;
  bool claimed(int address) const;

  controller::PlatformServices* inner_ = nullptr;
  panel::HostWait& wait_;
  std::optional<int> givenAddress_;
  std::shared_ptr<host::trace::TraceLog> trace_;
  std::function<bool(int address)> claim_;
  bool addressChosen_ = false;
};

// A running program, assembled the same way by both entry points:
// host factory -> host thread -> trace -> controller -> dispatcher -> panel. The host (the
// simulated one, or the real one) lives on the host thread; with --trace, the host calls, the
// boxes and the events are traced, and nothing is put in between without it. The trace sits
// outside the host thread, so a call's duration includes the wait for it and a call given up on
// shows as an error. The panel attaches the dispatcher to its window and runs its event loop.
// Start-up's wait for the host begins with the program.
class Program final : public panel::PresetActions, public panel::DcHistoryActions {
 public:
  // started: when the process started; start-up's window is timed from then.
  Program(PanelParts panel, const Options& options, std::shared_ptr<host::trace::TraceLog> trace,
          RealHost real = {},
          std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now());
  ~Program() override { letGoOfHost(); }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  panel::Dispatcher& dispatcher() { return *dispatcher_; }
  const controller::Controller& controller() const { return *controller_; }
  host::sim::SimulatedHost* simulatedHost() { return simulated_ ? &*simulated_ : nullptr; }
  bool givenUp() const { return hostThread_.givenUp(); }
  // Blocks until the host thread has nothing left to do; for tests, once they let the host answer.
  void waitUntilHostIdle() { hostThread_.waitUntilIdle(); }

  // How the run has gone so far, as the process's exit status: start-up failed, the connection
  // was lost, or the operator ended it.
  ExitStatus exitStatus() const;

  // The end of the run: lets go of the host and returns `status`. Once the operator has given up
  // on the host, its thread may still be inside the host and may yet wake up, so the process ends
  // here with `status`, without running destructors under its feet.
  int end(int status);
  int end() { return end(exitStatus()); }

  // The desktop session is ending with the window open (log-off, shut-down, a signal); `why` names
  // it for the trace. Between operations the unload runs as the close box runs it; in the middle of
  // one, that operation is left where it is: once an address is chosen the unload's reset is sent
  // (behind the call in progress), then the host objects are let go. All host calls together get
  // SessionEndLimit. Then the process ends through endProcess, with exitStatus(). Runs once; during
  // the run's own release wait it lets that wait finish under the same limit.
  void endSession(const std::string& why);
  // Presets (the context menu, --preset): each a box where it goes wrong, and a trace line.
  std::vector<panel::MenuPreset> menuPresets() override;
  void storePreset() override;
  void recallPreset(const std::string& name) override;
  void renamePreset(const std::string& name) override;
  void deletePreset(const std::string& name) override;

  // The DC history, kept from the first tick; --dc-log's file, written from then on.
  const controller::DcHistory& dcHistory() const override { return dcRecorder_.history(); }
  void saveDcHistory(const std::string& file) override;
  void logDcTo(std::unique_ptr<DcLogFile> log) { dcLog_ = std::move(log); }
  bool loggingDc() const { return dcLog_ != nullptr; }

  // How long a store waits for another program's lock on the presets file; tests shorten it.
  std::chrono::milliseconds presetLockLimit{5000};

  // Ends the process at once with a status; tests put something else here.
  std::function<void(int status)> endProcess = [](int status) {
    std::fflush(nullptr);
    std::_Exit(status);
  };

 private:
  // The controller lets go of the host objects first; then the queued releases are waited for
  // (through the wait, with the box should the host not answer them), unless the operator has
  // already given up on the host.
  void letGoOfHost();
  void traceSessionEnd(const std::string& what);
  void traceReleases();
  void presetProblem(const std::string& text);
  void logDcTick(const controller::DcReadings& readings, const controller::DcSample& sample);
  void tracePreset(const std::string& name, const std::string& rest);
  // False when a preset of that name exists and the operator does not want it replaced by
  // `replacement`; throws PresetFileError when the file cannot be read.
  bool mayReplace(const std::string& name, const std::string& replacement);
  StoreWait storeWait();
  std::optional<std::string> askPresetName(const std::string& prompt, std::string typed,
                                           const std::string& refused);
  bool confirmed(const std::string& question);

  panel::HostWait& wait_;
  std::optional<host::sim::SimulatedHost> simulated_;
  host::HostThread hostThread_;
  StartupServices startupServices_;
  std::shared_ptr<host::trace::TraceLog> trace_;
  std::optional<panel::trace::TracingServices> tracedServices_;
  std::optional<panel::trace::EventTrace> eventTrace_;
  std::optional<panel::trace::WaitTrace> waitTrace_;
  std::optional<controller::Controller> controller_;
  std::optional<panel::Dispatcher> dispatcher_;
  controller::PlatformServices* services_ = nullptr;  // the panel's, traced where the run is
  PresetFile presets_;
  controller::DcRecorder dcRecorder_;
  std::unique_ptr<DcLogFile> dcLog_;
  bool sessionEnding_ = false;
  bool releasing_ = false;         // the run is over and its releases are waited for
  bool endAfterReleases_ = false;  // a session end came meanwhile: end the process after them
};

// Opens the trace file the command line names, if any. A file that cannot be written is a mistake
// of the command line: returns false with the reason in `error`.
bool openTrace(const Options& options, std::shared_ptr<host::trace::TraceLog>& trace,
               std::string& error,
               host::trace::TraceLog::Mode mode = host::trace::TraceLog::Mode::Replace);

// Opens the DC log the command line names, if any. A file that cannot be opened for appending is a
// mistake of the command line: returns false with the reason in `error`.
bool openDcLog(const Options& options, std::unique_ptr<DcLogFile>& log, std::string& error);

// One panel per switcher: the line a trace gets when another panel of the desktop session
// controls the switcher at `address` (and has been brought to the front).
std::string anotherPanelLine(int address);

}  // namespace orvane::app
