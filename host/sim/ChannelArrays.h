#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvane::host::sim::detail {

// One member of a channel array: a channel of one bus of the switcher at an address.
struct ChannelRef {
  int address;
  int bus;      // 0 = A, 1 = B
  int channel;  // 1..16
};

// The host's named channel arrays. An array is only a list of channels: defining, filling or
// removing it switches nothing.
class ChannelArrays {
 public:
  // Defines an empty array; an existing one of that name starts over empty.
  void define(const std::string& name);
  bool remove(const std::string& name);  // false when there was no such array

  // Appends a group of channels; false when the array is not defined.
  bool append(const std::string& name, const std::vector<ChannelRef>& channels);

  // The members of an array, or nullptr when it is not defined.
  const std::vector<ChannelRef>* find(const std::string& name) const;
  // Member k (1-based) of an array; empty when the array is undefined or k is outside 1..count.
  std::optional<ChannelRef> member(const std::string& name, int k) const;

 private:
  std::map<std::string, std::vector<ChannelRef>> arrays_;
};

}  // namespace orvane::host::sim::detail
