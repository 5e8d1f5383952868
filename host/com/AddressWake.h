#pragma once

#include "host/HostWake.h"

namespace orvane::host::com {

// The host thread's sleep on Windows: WaitOnAddress and WakeByAddressSingle on the word itself.
// Under Wine a condition variable costs wineserver round trips to wake; this does not.
class AddressWake final : public HostWake {
 public:
  void sleep(const std::atomic<std::uint32_t>& word, std::uint32_t seen) override;
  void wake(std::atomic<std::uint32_t>& word) override;
};

}  // namespace orvane::host::com
