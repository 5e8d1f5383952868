#pragma once

#include <memory>
#include <string>
#include <vector>

#include "controller/Controller.h"
#include "host/recording/RecordingObject.h"
#include "host/sim/SimulatedHost.h"
#include "panel/Dispatcher.h"
#include "panel/headless/HeadlessView.h"
#include "tests/support/ScriptedServices.h"

namespace orvane::testing {

// The whole program without a window: the simulated host behind the recording decorator, the
// headless view, the scripted operator, the controller and the dispatcher, wired as the real
// program wires them.
struct ControllerBench {
  explicit ControllerBench(host::sim::SimConfig config = {})
      : sim(config),
        log(std::make_shared<host::recording::CallLog>()),
        controller(view, services, host::recording::recordingFactory(sim.factory(), log)),
        dispatcher(controller, services) {
    view.setRaisedEvents(&dispatcher);
    view.attach(dispatcher);
  }

  // Starts the program with the given answer at the address prompt and forgets the start-up's
  // host calls and view operations, so that a test sees only what it does itself.
  void start(const std::string& address = "0") {
    services.addressAnswers.push_back(address);
    view.load();
    log->clear();
    view.clearOperations();
  }

  const controller::ControllerState& state() const { return controller.state(); }
  std::vector<std::string> calls() const { return log->texts(); }
  // The host calls that switch or read something, without the constant reads before them.
  std::vector<std::string> switchingCalls() const {
    std::vector<std::string> result;
    for (const auto& call : log->calls()) {
      if (call.kind == host::recording::HostCall::Kind::Call) result.push_back(call.text());
    }
    return result;
  }

  host::sim::SimulatedHost sim;
  std::shared_ptr<host::recording::CallLog> log;
  panel::HeadlessView view;
  ScriptedServices services;
  controller::Controller controller;
  panel::Dispatcher dispatcher;
};

}  // namespace orvane::testing
