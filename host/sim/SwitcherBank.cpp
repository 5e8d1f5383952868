#include "host/sim/SwitcherBank.h"

#include <stdexcept>
#include <string>

namespace orvane::host::sim::detail {

namespace {
constexpr int X3 = 3;
constexpr double X3Volts = 9.0;
}  // namespace

void BusState::connect(int channel, bool on) {
  const auto bit = static_cast<std::uint16_t>(1u << (channel - 1));
  channels = static_cast<std::uint16_t>(on ? (channels | bit) : (channels & ~bit));
}

std::uint32_t BusState::statusWord() const {
  return channels | (balance ? BalanceBit : 0u) | (load ? LoadBit : 0u);
}

void clearSwitcher(Switcher& switcher) {
  switcher.buses = {};
}

SwitcherBank::SwitcherBank(const std::set<int>& addresses, bool x3CarriesDc)
    : x3CarriesDc_(x3CarriesDc) {
  for (int address : addresses) at(address).present = true;
}

Switcher& SwitcherBank::at(int address) {
  auto [it, added] = switchers_.try_emplace(address);
  if (added && x3CarriesDc_) it->second.dc[X3 - 1].plus = X3Volts;
  return it->second;
}

Switcher* SwitcherBank::present(int address) {
  const auto it = switchers_.find(address);
  return it != switchers_.end() && it->second.present ? &it->second : nullptr;
}

const Switcher* SwitcherBank::present(int address) const {
  const auto it = switchers_.find(address);
  return it != switchers_.end() && it->second.present ? &it->second : nullptr;
}

void SwitcherBank::unplug(int address) {
  at(address).present = false;
}

void SwitcherBank::plugIn(int address) {
  Switcher& switcher = at(address);
  switcher.present = true;
  clearSwitcher(switcher);
}

ChannelDc& SwitcherBank::dc(int address, int channel) {
  if (channel < 1 || channel > ChannelCount) {
    throw std::out_of_range("no channel " + std::to_string(channel) + " on a switcher");
  }
  return at(address).dc[static_cast<std::size_t>(channel - 1)];
}

}  // namespace orvane::host::sim::detail
