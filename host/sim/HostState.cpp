#include "host/sim/HostState.h"

#include <thread>

#include "host/sim/Arguments.h"

namespace orvane::host::sim::detail {

HostState::HostState(SimConfig c)
    : config(std::move(c)), switchers(config.addresses, config.x3CarriesDc), noise(config.seed) {}

void HostState::beginAccess(std::string_view member) {
  ++calls;
  if (latency.count() > 0) std::this_thread::sleep_for(latency);
  if (config.otherClientEvery.count() > 0) otherClientCatchesUp();
  if (hook) {
    // A copy, so that a hook may replace or clear itself while it runs.
    const auto current = hook;
    current(std::string(member));
  }
  if (killed) raise(member, CallFailed);
}

std::optional<FaultSpec> HostState::takeFault(std::string_view member) {
  const auto it = faults.find(member);
  if (it == faults.end()) return std::nullopt;
  auto& queue = it->second;
  FaultSpec fault = queue.front();
  if (queue.front().count != FaultSpec::Always && --queue.front().count <= 0) queue.pop_front();
  if (queue.empty()) faults.erase(it);
  return fault;
}

void HostState::block() {
  std::unique_lock lock(gate.mutex);
  const auto blockedAt = gate.releases;
  ++gate.held;
  gate.opened.wait(lock, [&] { return gate.releases != blockedAt; });
  --gate.held;
}

void HostState::releaseBlocked() {
  const std::lock_guard lock(gate.mutex);
  ++gate.releases;
  gate.opened.notify_all();
}

int HostState::blockedCalls() {
  const std::lock_guard lock(gate.mutex);
  return gate.held;
}

double HostState::noiseSample() {
  // 53 random bits as a fraction in [0, 1): unlike the standard distributions, this gives the
  // same readings from the same seed with every standard library.
  const double unit = static_cast<double>(noise() >> 11) * 0x1.0p-53;
  return (2.0 * unit - 1.0) * config.noiseVolts;
}

void HostState::otherClientCatchesUp() {
  if (config.addresses.empty() || created == std::chrono::steady_clock::time_point{}) return;
  const auto due = (std::chrono::steady_clock::now() - created) / config.otherClientEvery;
  for (; otherClientSteps < due; ++otherClientSteps) {
    const int channel = static_cast<int>(otherClientSteps % ChannelCount) + 1;
    for (const int address : config.addresses) {
      if (Switcher* switcher = switchers.present(address)) {
        BusState& bus = switcher->buses[1];
        bus.connect(channel, !bus.connected(channel));
      }
    }
  }
}

}  // namespace orvane::host::sim::detail
