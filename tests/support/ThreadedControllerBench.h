#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "controller/Controller.h"
#include "host/HostThread.h"
#include "host/recording/RecordingObject.h"
#include "host/sim/SimulatedHost.h"
#include "panel/Dispatcher.h"
#include "panel/headless/HeadlessCallWaiter.h"
#include "panel/headless/HeadlessView.h"
#include "tests/support/ScriptedServices.h"

namespace orvane::testing {

// The whole program without a window, as the programs wire it: the simulated host runs on the
// host thread, the controller's thread waits through the headless waiter with a short limit, and
// the recording decorator logs each access as the controller makes it.
struct ThreadedControllerBench {
  explicit ThreadedControllerBench(host::sim::SimConfig config = {},
                                   std::chrono::milliseconds limit = std::chrono::milliseconds(20))
      : sim(config),
        waiter(limit),
        hostThread(waiter),
        log(std::make_shared<host::recording::CallLog>()),
        controller(view, services,
                   host::recording::recordingFactory(hostThread.wrap(sim.factory()), log)),
        dispatcher(controller, services) {
    view.setRaisedEvents(&dispatcher);
    view.attach(dispatcher);
    waiter.title = [this] { return controller.state().Title_Text; };
    // The operator keeps waiting unless a test says otherwise: on a busy machine any call may
    // outlast the short limit.
    waiter.operatorAnswer = [](const panel::HeadlessCallWaiter::Box&) {
      return controller::box::AnswerRetry;
    };
  }
  // A call still held by a Block fault stays held: the abandoned thread is left stuck, as the
  // program leaves it, and never runs again while the process ends.
  ThreadedControllerBench(const ThreadedControllerBench&) = delete;
  ThreadedControllerBench& operator=(const ThreadedControllerBench&) = delete;

  void start(const std::string& address = "0") {
    services.addressAnswers.push_back(address);
    view.load();
    log->clear();
    view.clearOperations();
    waiter.boxes.clear();
  }

  const controller::ControllerState& state() const { return controller.state(); }
  std::vector<std::string> calls() const { return log->texts(); }

  host::sim::SimulatedHost sim;
  panel::HeadlessCallWaiter waiter;
  host::HostThread hostThread;
  std::shared_ptr<host::recording::CallLog> log;
  panel::HeadlessView view;
  ScriptedServices services;
  controller::Controller controller;
  panel::Dispatcher dispatcher;
};

}  // namespace orvane::testing
