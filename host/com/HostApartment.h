#pragma once

#include <memory>

#include "host/com/BusyHostRetry.h"
#include "host/com/ComHost.h"

namespace orvane::host::com {

// What the host thread runs first and last on Windows: enter() makes the calling thread a
// single-threaded apartment of its own, where the host objects are created and every call is made,
// and installs the busy-host retry (a message filter belongs to the apartment's thread); leave()
// undoes both, after the host objects have been released. Enter and leave on the same thread.
class HostApartment {
 public:
  HostApartment() = default;
  // An apartment still entered belongs to a host thread that never came back from the host: it is
  // left to that thread, as leaving it from here would undo this thread's COM instead.
  ~HostApartment();
  HostApartment(const HostApartment&) = delete;
  HostApartment& operator=(const HostApartment&) = delete;

  // Throws HostError when COM cannot be initialised, or only as a multithreaded apartment (a
  // busy host could not be retried there).
  void enter();
  void leave();

 private:
  std::unique_ptr<Apartment> apartment_;
  std::unique_ptr<BusyHostRetry> busyHostRetry_;
};

}  // namespace orvane::host::com
