#include "host/com/HostApartment.h"

namespace orvane::host::com {

HostApartment::~HostApartment() {
  static_cast<void>(busyHostRetry_.release());
  static_cast<void>(apartment_.release());
}

void HostApartment::enter() {
  apartment_ = std::make_unique<Apartment>();
  if (apartment_->kind() != Apartment::Kind::SingleThreaded) {
    apartment_.reset();
    throw HostError("CoInitializeEx", "the host thread is not a single-threaded COM apartment");
  }
  // A host that is busy for a moment (its own box is open) is asked again instead of being taken
  // for a lost connection; after 30 s of refusals the call fails as any other.
  busyHostRetry_ = std::make_unique<BusyHostRetry>();
}

void HostApartment::leave() {
  busyHostRetry_.reset();
  apartment_.reset();
}

}  // namespace orvane::host::com
