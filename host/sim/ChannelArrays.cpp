#include "host/sim/ChannelArrays.h"

namespace orvane::host::sim::detail {

void ChannelArrays::define(const std::string& name) {
  arrays_[name].clear();
}

bool ChannelArrays::remove(const std::string& name) {
  return arrays_.erase(name) > 0;
}

bool ChannelArrays::append(const std::string& name, const std::vector<ChannelRef>& channels) {
  const auto it = arrays_.find(name);
  if (it == arrays_.end()) return false;
  it->second.insert(it->second.end(), channels.begin(), channels.end());
  return true;
}

const std::vector<ChannelRef>* ChannelArrays::find(const std::string& name) const {
  const auto it = arrays_.find(name);
  return it == arrays_.end() ? nullptr : &it->second;
}

std::optional<ChannelRef> ChannelArrays::member(const std::string& name, int k) const {
  const auto* members = find(name);
  if (members == nullptr || k < 1 || k > static_cast<int>(members->size())) return std::nullopt;
  return (*members)[static_cast<std::size_t>(k - 1)];
}

}  // namespace orvane::host::sim::detail
