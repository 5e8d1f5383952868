#include "host/sim/SimulatedHost.h"

#include <stdexcept>
#include <thread>

#include "host/sim/Arguments.h"
#include "host/sim/HostState.h"

namespace orvane::host::sim {

namespace {
constexpr const char* ProgId = "Qelvix.Application";
}  // namespace

struct SimulatedHost::State : detail::HostState {
  using HostState::HostState;
};

SimulatedHost::SimulatedHost(SimConfig config)
    : state_(std::make_shared<State>(std::move(config))) {}

SimulatedHost::~SimulatedHost() = default;

ObjectFactory SimulatedHost::factory() {
  // The factory shares the state too: it may outlive this SimulatedHost like the objects do.
  return [state = std::shared_ptr<detail::HostState>(state_)](const std::string& progId) {
    const std::string member = "CreateObject(" + progId + ")";
    if (state->killed) detail::raise(member, "Server execution failed");
    if (progId != ProgId) detail::raise(member, "Invalid class string");
    if (const auto fault = state->takeFault(member); fault && fault->kind == FaultKind::Block) {
      state->block();
    }
    std::this_thread::sleep_for(state->config.createDelay);
    state->created = std::chrono::steady_clock::now();
    return detail::makeApplication(state);
  };
}

void SimulatedHost::switchAsAnotherClient(int address, int bus, int channel, bool on) {
  if (detail::Switcher* switcher = state_->switchers.present(address)) {
    switcher->buses.at(static_cast<std::size_t>(bus)).connect(channel, on);
  }
}

void SimulatedHost::removeSwitcher(int address) {
  state_->switchers.unplug(address);
}

void SimulatedHost::restoreSwitcher(int address) {
  state_->switchers.plugIn(address);
}

void SimulatedHost::injectFault(const std::string& member, FaultSpec fault) {
  if (fault.count == 0 || fault.count < FaultSpec::Always) return;  // affects no call at all
  state_->faults[member].push_back(std::move(fault));
}

void SimulatedHost::clearFaults() {
  state_->faults.clear();
}

void SimulatedHost::releaseBlocked() {
  state_->releaseBlocked();
}

int SimulatedHost::blockedCalls() const {
  return state_->blockedCalls();
}

void SimulatedHost::kill() {
  state_->killed = true;
}

bool SimulatedHost::killed() const {
  return state_->killed;
}

void SimulatedHost::setChannelDc(int address, int channel, double plusVolts, double minusVolts) {
  auto& dc = state_->switchers.dc(address, channel);
  dc.plus = plusVolts;
  dc.minus = minusVolts;
}

void SimulatedHost::setCallHook(std::function<void(const std::string& member)> hook) {
  state_->hook = std::move(hook);
}

void SimulatedHost::setLatency(std::chrono::microseconds perCall) {
  state_->latency = perCall;
}

std::uint32_t SimulatedHost::statusWord(int address, int bus) const {
  if (bus < 0 || bus >= detail::BusCount) throw std::out_of_range("no bus " + std::to_string(bus));
  const auto* switcher = state_->switchers.present(address);
  return switcher == nullptr ? 0u : switcher->buses[static_cast<std::size_t>(bus)].statusWord();
}

bool SimulatedHost::switcherPresent(int address) const {
  return state_->switchers.present(address) != nullptr;
}

int SimulatedHost::resetCount(int address) const {
  const auto* switcher = state_->switchers.present(address);
  return switcher == nullptr ? 0 : switcher->resets;
}

long SimulatedHost::callCount() const {
  return state_->calls;
}

int SimulatedHost::liveObjects() const {
  return state_->liveObjects;
}

bool hasMember(std::string_view member) {
  return detail::hasMember(member);
}

}  // namespace orvane::host::sim
