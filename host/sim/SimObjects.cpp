// The two automation objects of the simulated host: the application and its IOSwitcher.
#include <array>
#include <chrono>
#include <optional>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "host/sim/Arguments.h"
#include "host/sim/HostState.h"

namespace orvane::host::sim::detail {

namespace {

// The host's bus and group constants. Distinct values, so that a bus passed where a group belongs
// (or the other way round) is refused instead of silently meaning something.
constexpr std::int16_t BusAConstant = 65;
constexpr std::int16_t BusBConstant = 66;
constexpr std::int16_t GroupXConstant = 88;
constexpr std::int16_t GroupYConstant = 89;
constexpr int GroupSize = 8;

std::optional<int> busIndex(std::int16_t constant) {
  if (constant == BusAConstant) return 0;
  if (constant == BusBConstant) return 1;
  return std::nullopt;
}

std::optional<int> firstChannelOfGroup(std::int16_t constant) {
  if (constant == GroupXConstant) return 1;
  if (constant == GroupYConstant) return GroupSize + 1;
  return std::nullopt;
}

enum class Access { Call, Get, Put };

// --- members of the IOSwitcher object ---

using Method = Variant (*)(HostState&, std::string_view member, Args args);

Variant reset(HostState& host, std::string_view member, Args args) {
  expectArgCount(member, args, 3);
  const int address = int16Arg(member, args[0]);
  (void)boolArg(member, args[1].current());
  Switcher* switcher = host.switchers.present(address);
  if (switcher == nullptr) return Variant(false);
  const Out info[] = {{&args[2], Variant("Switcher " + std::to_string(address) + " reset")}};
  writeOuts(member, info);
  clearSwitcher(*switcher);
  ++switcher->resets;
  return Variant(true);
}

Variant removeArray(HostState& host, std::string_view member, Args args) {
  expectArgCount(member, args, 1);
  return Variant(host.arrays.remove(textArg(member, args[0])));
}

Variant defineArray(HostState& host, std::string_view member, Args args) {
  expectArgCount(member, args, 1);
  host.arrays.define(textArg(member, args[0]));
  return Variant(true);
}

Variant addToArray(HostState& host, std::string_view member, Args args) {
  expectArgCount(member, args, 4);
  const int address = int16Arg(member, args[0]);
  const auto bus = busIndex(int16Arg(member, args[1]));
  const auto first = firstChannelOfGroup(int16Arg(member, args[2]));
  const std::string name = textArg(member, args[3]);
  if (!bus || !first || host.switchers.present(address) == nullptr) return Variant(false);
  std::vector<ChannelRef> group;
  for (int k = 0; k < GroupSize; ++k) group.push_back({address, *bus, *first + k});
  return Variant(host.arrays.append(name, group));
}

BusState* busOf(HostState& host, const ChannelRef& ref) {
  Switcher* switcher = host.switchers.present(ref.address);
  return switcher == nullptr ? nullptr : &switcher->buses[static_cast<std::size_t>(ref.bus)];
}

// Sets every channel of an array that answers to `on`.
void setAll(HostState& host, const std::vector<ChannelRef>& members, bool on) {
  for (const auto& ref : members) {
    if (BusState* bus = busOf(host, ref)) bus->connect(ref.channel, on);
  }
}

enum class ChannelAction { Add, Remove, Exclusive, AllBut };

// Channel k of an array is its k-th member. An undefined array, a k outside 1..count or a
// switcher that does not answer changes nothing and gives False.
Variant switchChannel(HostState& host, std::string_view member, Args args, ChannelAction action) {
  expectArgCount(member, args, 2);
  const std::string name = textArg(member, args[0]);
  const int k = int16Arg(member, args[1]);
  const auto ref = host.arrays.member(name, k);
  if (!ref) return Variant(false);
  BusState* bus = busOf(host, *ref);
  if (bus == nullptr) return Variant(false);
  const auto& members = *host.arrays.find(name);
  switch (action) {
    case ChannelAction::Add:
      bus->connect(ref->channel, true);
      break;
    case ChannelAction::Remove:
      bus->connect(ref->channel, false);
      break;
    case ChannelAction::Exclusive:
      setAll(host, members, false);
      bus->connect(ref->channel, true);
      break;
    case ChannelAction::AllBut:
      setAll(host, members, true);
      bus->connect(ref->channel, false);
      break;
  }
  return Variant(true);
}

Variant addChannel(HostState& host, std::string_view member, Args args) {
  return switchChannel(host, member, args, ChannelAction::Add);
}
Variant removeChannel(HostState& host, std::string_view member, Args args) {
  return switchChannel(host, member, args, ChannelAction::Remove);
}
Variant exclusiveChannel(HostState& host, std::string_view member, Args args) {
  return switchChannel(host, member, args, ChannelAction::Exclusive);
}
Variant notChannel(HostState& host, std::string_view member, Args args) {
  return switchChannel(host, member, args, ChannelAction::AllBut);
}

Variant clearChannels(HostState& host, std::string_view member, Args args) {
  expectArgCount(member, args, 1);
  const auto* members = host.arrays.find(textArg(member, args[0]));
  if (members == nullptr) return Variant(false);
  setAll(host, *members, false);
  return Variant(true);
}

// The balance relay of every bus that the array's channels belong to.
Variant balance(HostState& host, std::string_view member, Args args) {
  expectArgCount(member, args, 2);
  const auto* members = host.arrays.find(textArg(member, args[0]));
  const bool on = boolArg(member, args[1].current());
  if (members == nullptr) return Variant(false);
  bool any = false;
  for (const auto& ref : *members) {
    if (BusState* bus = busOf(host, ref)) {
      bus->balance = on;
      any = true;
    }
  }
  return Variant(any);
}

Variant busLoad(HostState& host, std::string_view member, Args args) {
  expectArgCount(member, args, 3);
  const int address = int16Arg(member, args[0]);
  const auto bus = busIndex(int16Arg(member, args[1]));
  const bool on = boolArg(member, args[2].current());
  Switcher* switcher = host.switchers.present(address);
  if (!bus || switcher == nullptr) return Variant(false);
  switcher->buses[static_cast<std::size_t>(*bus)].load = on;
  return Variant(true);
}

Variant getFullStatus(HostState& host, std::string_view member, Args args) {
  expectArgCount(member, args, 3);
  const Switcher* switcher = host.switchers.present(int16Arg(member, args[0]));
  if (switcher == nullptr) return Variant(false);
  const Out words[] = {
      {&args[1], Variant(static_cast<std::int32_t>(switcher->buses[0].statusWord()))},
      {&args[2], Variant(static_cast<std::int32_t>(switcher->buses[1].statusWord()))}};
  writeOuts(member, words);
  return Variant(true);
}

// Each terminal reads the mean of its leg over the connected channels, plus noise; with nothing
// connected it reads the noise alone.
Variant getBusDc(HostState& host, std::string_view member, Args args) {
  expectArgCount(member, args, 4);
  const int address = int16Arg(member, args[0]);
  const auto bus = busIndex(int16Arg(member, args[1]));
  const Switcher* switcher = host.switchers.present(address);
  if (!bus || switcher == nullptr) return Variant(false);
  const BusState& state = switcher->buses[static_cast<std::size_t>(*bus)];
  double plus = 0.0;
  double minus = 0.0;
  int connected = 0;
  for (int channel = 1; channel <= ChannelCount; ++channel) {
    if (!state.connected(channel)) continue;
    plus += switcher->dc[static_cast<std::size_t>(channel - 1)].plus;
    minus += switcher->dc[static_cast<std::size_t>(channel - 1)].minus;
    ++connected;
  }
  if (connected > 0) {
    plus /= connected;
    minus /= connected;
  }
  plus += host.noiseSample();
  minus += host.noiseSample();
  const Out readings[] = {{&args[2], Variant(plus)}, {&args[3], Variant(minus)}};
  writeOuts(member, readings);
  return Variant(true);
}

std::optional<Method> switcherMethod(std::string_view member) {
  static const std::array<std::pair<std::string_view, Method>, 13> methods{{
      {"ORVANE_Reset", reset},
      {"SWITCHER_RemoveArray", removeArray},
      {"SWITCHER_DefineArray", defineArray},
      {"IOSWITCHER_AddToArray", addToArray},
      {"SWITCHER_AddChannel", addChannel},
      {"SWITCHER_RemoveChannel", removeChannel},
      {"SWITCHER_ExclusiveChannel", exclusiveChannel},
      {"SWITCHER_NotChannel", notChannel},
      {"SWITCHER_ClearChannels", clearChannels},
      {"SWITCHER_Balance", balance},
      {"IOSWITCHER_BusLoad", busLoad},
      {"IOSWITCHER_GetFullStatus", getFullStatus},
      {"IOSWITCHER_GetBusDC", getBusDc},
  }};
  for (const auto& [name, method] : methods) {
    if (name == member) return method;
  }
  return std::nullopt;
}

std::optional<std::int16_t> switcherConstant(std::string_view member) {
  if (member == "IOSWITCHER_BUS_A") return BusAConstant;
  if (member == "IOSWITCHER_BUS_B") return BusBConstant;
  if (member == "IOSWITCHER_GROUP_X") return GroupXConstant;
  if (member == "IOSWITCHER_GROUP_Y") return GroupYConstant;
  return std::nullopt;
}

// --- the objects ---

// One object handed out by the host. Every hand-out is its own instance, so destroying it is
// releasing it, and the host can count what is still held.
class SimObject : public Object {
 public:
  explicit SimObject(std::shared_ptr<HostState> host) : host_(std::move(host)) {
    ++host_->liveObjects;
  }
  ~SimObject() override { --host_->liveObjects; }
  SimObject(const SimObject&) = delete;
  SimObject& operator=(const SimObject&) = delete;

  Variant call(std::string_view member, Args args) override {
    return access(member, Access::Call, args, nullptr);
  }
  Variant get(std::string_view member) override { return access(member, Access::Get, {}, nullptr); }
  void put(std::string_view member, const Variant& value) override {
    access(member, Access::Put, {}, &value);
  }
  using Object::call;

 protected:
  virtual Variant member(std::string_view name, Access access, Args args, const Variant* value) = 0;
  HostState& host() { return *host_; }
  const std::shared_ptr<HostState>& sharedHost() const { return host_; }

 private:
  Variant access(std::string_view name, Access access, Args args, const Variant* value) {
    host_->beginAccess(name);
    if (const auto fault = host_->takeFault(name)) {
      if (fault->kind == FaultKind::Block) host_->block();
      if (fault->kind != FaultKind::Block && fault->kind != FaultKind::None) {
        return misbehave(name, *fault, args);
      }
    }
    return member(name, access, args, value);
  }

  // An armed fault replaces the member's own behaviour, on whichever object it is reached.
  static Variant misbehave(std::string_view name, const FaultSpec& fault, Args args) {
    switch (fault.kind) {
      case FaultKind::Raise:
        raise(name, fault.message.empty() ? Unspecified : fault.message);
      case FaultKind::ReturnFalse:
        return Variant(false);
      case FaultKind::ReturnValue:
      case FaultKind::Block:
      case FaultKind::None:
        break;
    }
    std::vector<const Arg*> refs;
    for (const auto& arg : args) {
      if (arg.isRef()) refs.push_back(&arg);
    }
    // The outs line up with the trailing references; any beyond the references are dropped.
    std::vector<Out> outs;
    const std::size_t n = std::min(refs.size(), fault.outs.size());
    for (std::size_t i = 0; i < n; ++i) {
      outs.push_back({refs[refs.size() - n + i], fault.outs[fault.outs.size() - n + i]});
    }
    writeOuts(name, outs);
    return fault.result;
  }

  std::shared_ptr<HostState> host_;
};

class SwitcherObject final : public SimObject {
 public:
  using SimObject::SimObject;

 protected:
  Variant member(std::string_view name, Access access, Args args, const Variant* value) override {
    if (name == "ORVANE_ShowErrorMessages") {
      if (access == Access::Put) {
        host().showErrorMessages = boolArg(name, *value);
        return {};
      }
      expectArgCount(name, args, 0);
      return Variant(host().showErrorMessages);
    }
    if (const auto constant = switcherConstant(name)) {
      if (access == Access::Put) raise(name, WrongArguments);  // read-only
      expectArgCount(name, args, 0);
      return Variant(*constant);
    }
    const auto method = switcherMethod(name);
    if (!method || access == Access::Put) raise(name, NotSupported);
    return (*method)(host(), name, args);
  }
};

class ApplicationObject final : public SimObject {
 public:
  using SimObject::SimObject;

 protected:
  Variant member(std::string_view name, Access access, Args args, const Variant*) override {
    if (name == "IOSwitcher" || name == "IsInitialised") {
      if (access == Access::Put) raise(name, WrongArguments);  // read-only
      expectArgCount(name, args, 0);
      if (name == "IsInitialised") {
        const bool ready =
            std::chrono::steady_clock::now() - host().created >= host().config.readyAfter;
        return Variant(ready && host().sleeps >= host().config.sleepsUntilInitialised);
      }
      return Variant(ObjectRef(std::make_shared<SwitcherObject>(sharedHost())));
    }
    if (name == "Sleep" && access != Access::Put) {
      expectArgCount(name, args, 1);
      const std::int16_t milliseconds = int16Arg(name, args[0]);
      if (const auto takes = host().config.sleepTakes) {
        std::this_thread::sleep_for(*takes);
      } else if (host().config.readyAfter.count() > 0 && milliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
      }
      ++host().sleeps;
      return {};
    }
    raise(name, NotSupported);
  }
};

}  // namespace

bool hasMember(std::string_view member) {
  return switcherMethod(member) || switcherConstant(member) || member == "IOSwitcher" ||
         member == "IsInitialised" || member == "Sleep" || member == "ORVANE_ShowErrorMessages" ||
         member == "CreateObject(Qelvix.Application)";
}

ObjectRef makeApplication(std::shared_ptr<HostState> state) {
  return std::make_shared<ApplicationObject>(std::move(state));
}

}  // namespace orvane::host::sim::detail
