#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <set>

namespace orvane::host::sim::detail {

inline constexpr int ChannelCount = 16;
inline constexpr int BusCount = 2;
inline constexpr std::uint32_t BalanceBit = 1u << 16;
inline constexpr std::uint32_t LoadBit = 1u << 17;

// One bus of one switcher: which channels it has connected and its two relays.
struct BusState {
  std::uint16_t channels = 0;  // bit n-1 is channel n
  bool balance = false;
  bool load = false;

  bool connected(int channel) const { return (channels >> (channel - 1)) & 1u; }
  void connect(int channel, bool on);
  std::uint32_t statusWord() const;
};

// The DC offset of a channel's source on its two legs.
struct ChannelDc {
  double plus = 0.0;
  double minus = 0.0;
};

struct Switcher {
  bool present = false;
  std::array<BusState, BusCount> buses{};
  std::array<ChannelDc, ChannelCount> dc{};  // a property of the sources: survives unplugging
  int resets = 0;
};

// The switchers on the host's bus, by address; also remembers addresses that have been unplugged.
class SwitcherBank {
 public:
  SwitcherBank(const std::set<int>& addresses, bool x3CarriesDc);

  // The switcher answering at an address, or nullptr when none does.
  Switcher* present(int address);
  const Switcher* present(int address) const;

  void unplug(int address);
  void plugIn(int address);  // comes back with every channel and relay off
  ChannelDc& dc(int address, int channel);

 private:
  Switcher& at(int address);
  std::map<int, Switcher> switchers_;
  bool x3CarriesDc_;
};

// Every channel and relay of both buses off.
void clearSwitcher(Switcher& switcher);

}  // namespace orvane::host::sim::detail
