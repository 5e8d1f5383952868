#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "host/Object.h"

namespace orvane::host::sim {

// What the simulated host looks like when it starts.
struct SimConfig {
  std::set<int> addresses{0};      // the switchers that answer
  int sleepsUntilInitialised = 3;  // Sleep calls before IsInitialised turns True
  std::uint64_t seed = 1;          // the DC noise generator's seed: same seed, same readings
  double noiseVolts = 0.003;       // amplitude of the DC noise on every terminal reading
  bool x3CarriesDc = true;         // channel X3 of every switcher carries about +9 V on +ve
  // A host that starts slowly, as a real one does from cold: creating the application takes
  // createDelay, and IsInitialised stays False until readyAfter has passed since then (Sleep then
  // really sleeps its argument in milliseconds).
  std::chrono::milliseconds createDelay{0};
  std::chrono::milliseconds readyAfter{0};
  // How long Sleep takes whatever its argument, where set: zero is a Sleep that returns at once,
  // so that a slow start is a tight loop of quick calls. The unit of Sleep is the host's business.
  std::optional<std::chrono::milliseconds> sleepTakes;
  // Another client of the host (a measurement sequence of its own) that switches by itself: every
  // period it toggles the next channel of bus B, X1 to Y8 and round again, on every switcher.
  // Zero: no other client.
  std::chrono::milliseconds otherClientEvery{0};
};

// How a member misbehaves when a fault is armed on it.
enum class FaultKind {
  Raise,        // the call raises a HostError with a host-like message
  ReturnFalse,  // the call returns False and writes no outs
  ReturnValue,  // the call returns FaultSpec::result and writes FaultSpec::outs into its outs
  Block,        // the call waits until releaseBlocked(), then does its ordinary work
  None,         // the call does its ordinary work: queued before another fault, delays it
};

struct FaultSpec {
  // Written out so that the short forms {kind, count} and {kind, count, result, {outs}} stay free
  // of missing-initializer warnings.
  FaultSpec(FaultKind kind = FaultKind::Raise, int count = 1, Variant result = {},  // NOLINT
            std::vector<Variant> outs = {}, std::string message = {})
      : kind(kind),
        count(count),
        result(std::move(result)),
        outs(std::move(outs)),
        message(std::move(message)) {}

  FaultKind kind = FaultKind::Raise;
  int count = 1;  // how many calls it affects; Always for every call from now on
  Variant result;
  // For ReturnValue: written into the LAST outs.size() by-reference arguments, in order, so that
  // {a, b} lands in GetFullStatus's two status words and GetBusDC's two readings, not the address.
  std::vector<Variant> outs;
  // For Raise: the host's message; empty gives a generic one.
  std::string message;
  static constexpr int Always = -1;
};

// Whether the simulated host has a member of this name, spelled exactly as the host spells it;
// "CreateObject(Qelvix.Application)" stands for creating the application.
bool hasMember(std::string_view member);

// The built-in simulated measurement host: the "Qelvix.Application" object, its IOSwitcher and the
// switchers behind it, with the fault injection that tests and the fuzzer use. One instance is the
// whole simulated application; the objects it hands out share its state. One thread at a time uses
// it: the program's host thread makes the calls, and tests arm faults and inspect it between
// calls. Only releaseBlocked() may come from another thread while a call runs.
class SimulatedHost {
 public:
  explicit SimulatedHost(SimConfig config = {});
  ~SimulatedHost();
  SimulatedHost(const SimulatedHost&) = delete;
  SimulatedHost& operator=(const SimulatedHost&) = delete;

  // Creates the application object for "Qelvix.Application"; any other ProgID raises HostError.
  ObjectFactory factory();

  // --- fault injection ---
  void removeSwitcher(int address);   // unplugged: resets return False, status reads fail
  void restoreSwitcher(int address);  // plugged back in, with all channels and relays off
  // Arms a fault on a member of either object. Faults armed on the same member take turns in the
  // order armed: the second starts once the first has used up its count.
  void injectFault(const std::string& member, FaultSpec fault);
  void clearFaults();
  // Lets every call that a Block fault holds go on (and only those: a later Block blocks again).
  void releaseBlocked();
  // How many calls a Block fault holds right now. Like releaseBlocked(), safe from any thread.
  int blockedCalls() const;
  void kill();  // the host process is gone: every call raises
  bool killed() const;
  void setChannelDc(int address, int channel, double plusVolts, double minusVolts);
  // Another client of the host switches a channel (1..16) of a bus (0 = A, 1 = B) of a switcher,
  // behind this program's back. Between host calls only, like every change a test makes.
  void switchAsAnotherClient(int address, int bus, int channel, bool on);
  // Runs before every member access with the member's name: tests use it to add latency, or to
  // deliver an event in the middle of a host call, as a pumping message loop would.
  void setCallHook(std::function<void(const std::string& member)> hook);
  void setLatency(std::chrono::microseconds perCall);  // really sleeps; for soak and manual runs

  // --- inspection, for tests ---
  // The status word (bits 0..15 channels, 16 balance, 17 load) of one bus (0 = A, 1 = B).
  std::uint32_t statusWord(int address, int bus) const;
  bool switcherPresent(int address) const;
  int resetCount(int address) const;
  long callCount() const;   // member accesses made so far, failed ones included
  int liveObjects() const;  // objects handed out and not yet released

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace orvane::host::sim
