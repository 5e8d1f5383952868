#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "host/Object.h"
#include "host/sim/ChannelArrays.h"
#include "host/sim/SimulatedHost.h"
#include "host/sim/SwitcherBank.h"

namespace orvane::host::sim::detail {

// Everything the simulated application knows. The SimulatedHost and every object it hands out
// share one instance, so objects stay valid after the SimulatedHost itself is gone.
struct HostState {
  explicit HostState(SimConfig config);

  SimConfig config;
  SwitcherBank switchers;
  ChannelArrays arrays;
  std::map<std::string, std::deque<FaultSpec>, std::less<>> faults;  // in the order armed
  std::function<void(const std::string&)> hook;
  std::chrono::microseconds latency{0};
  bool killed = false;
  bool showErrorMessages = true;
  int sleeps = 0;
  std::chrono::steady_clock::time_point created;  // when the application was last created
  long calls = 0;
  int liveObjects = 0;
  std::mt19937_64 noise;

  // Where Block faults hold their calls: the only part that another thread touches during a call.
  struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    unsigned long releases = 0;  // how often releaseBlocked() has been called
    int held = 0;                // calls waiting now
  } gate;

  // Counts the access, waits out the latency, lets the other client catch up, runs the hook, and
  // raises when the host is gone.
  void beginAccess(std::string_view member);
  // The other client's switching that has fallen due since its last turn (config.otherClientEvery).
  // It runs on the thread that calls the host, before each access, so nothing else is shared.
  void otherClientCatchesUp();
  long otherClientSteps = 0;
  // Uses up one call of the fault armed on a member, if there is one.
  std::optional<FaultSpec> takeFault(std::string_view member);
  // Holds the calling thread until the next releaseBlocked().
  void block();
  void releaseBlocked();
  int blockedCalls();
  // One noise sample, uniform in [-noiseVolts, +noiseVolts), the same on every platform.
  double noiseSample();
};

// The "Qelvix.Application" object.
ObjectRef makeApplication(std::shared_ptr<HostState> state);
// Whether the simulated host has a member of this name (spelled exactly).
bool hasMember(std::string_view member);

}  // namespace orvane::host::sim::detail
