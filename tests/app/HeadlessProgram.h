#pragma once

#include <chrono>
#include <memory>
#include <optional>

#include "app/Program.h"
#include "controller/RunEnded.h"
#include "panel/headless/HeadlessCallWaiter.h"
#include "panel/headless/HeadlessView.h"
#include "tests/support/ScriptedServices.h"

namespace orvane::app {

// The program as both entry points assemble it, with the headless panel, a scripted operator and a
// 20 ms limit for the not-answering box. The end of the process is recorded instead of made.
struct HeadlessProgram {
  explicit HeadlessProgram(const Options& options, RealHost real = {},
                           std::chrono::milliseconds startupWindowAfter = panel::StartupWindowAfter,
                           std::shared_ptr<host::trace::TraceLog> trace = nullptr)
      : waiter(std::chrono::milliseconds(20), startupWindowAfter),
        program(std::in_place, PanelParts{view, services, waiter}, options, trace,
                std::move(real)) {
    view.attach(program->dispatcher());
    program->endProcess = [this](int status) { endedWith = status; };
  }
  host::sim::SimulatedHost& sim() { return *program->simulatedHost(); }
  // The session ends from inside whatever is open; the process would end there, so the test
  // unwinds instead.
  void endSessionHere() {
    program->endProcess = [this](int status) {
      endedWith = status;
      throw controller::RunEnded{};
    };
    program->endSession();
  }
  panel::HeadlessView view;
  testing::ScriptedServices services;
  panel::HeadlessCallWaiter waiter;
  std::optional<Program> program;
  std::optional<int> endedWith;
};

inline Options simulated() {
  Options options;
  options.simulate = true;
  return options;
}

}  // namespace orvane::app
