#include "host/com/AddressWake.h"

#include <windows.h>

namespace orvane::host::com {

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t) &&
                  std::atomic<std::uint32_t>::is_always_lock_free,
              "WaitOnAddress needs the atomic word to be the plain word");

void AddressWake::sleep(const std::atomic<std::uint32_t>& word, std::uint32_t seen) {
  WaitOnAddress(const_cast<std::atomic<std::uint32_t>*>(&word), &seen, sizeof seen, INFINITE);
}

void AddressWake::wake(std::atomic<std::uint32_t>& word) {
  WakeByAddressSingle(&word);
}

}  // namespace orvane::host::com
