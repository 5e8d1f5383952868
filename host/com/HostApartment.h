#pragma once

#include <windows.h>

#include <memory>

#include "host/HostThread.h"
#include "host/com/BusyHostRetry.h"
#include "host/com/ComHost.h"

namespace orvane::host::com {

// Where the host thread lives on Windows: a single-threaded apartment of its own, where the host
// objects are created and every call is made, with the busy-host retry installed (a message filter
// belongs to the apartment's thread). Between accesses the thread sleeps on an event and keeps the
// apartment's messages pumped, as COM requires of a single-threaded apartment.
class HostApartment final : public ThreadHome {
 public:
  HostApartment();
  ~HostApartment() override;
  HostApartment(const HostApartment&) = delete;
  HostApartment& operator=(const HostApartment&) = delete;

  // Throws HostError when COM cannot be initialised, or only as a multithreaded apartment (a
  // busy host could not be retried there).
  void enter() override;
  void leave() override;
  void sleepUntil(std::unique_lock<std::mutex>& lock, const std::function<bool()>& ready) override;
  void wakeUp() override;

 private:
  HANDLE workArrived_;  // an auto-reset event
  std::unique_ptr<Apartment> apartment_;
  std::unique_ptr<BusyHostRetry> busyHostRetry_;
};

}  // namespace orvane::host::com
