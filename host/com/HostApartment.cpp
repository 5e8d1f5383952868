#include "host/com/HostApartment.h"

#include "host/com/ComSupport.h"

namespace orvane::host::com {

HostApartment::HostApartment() : workArrived_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  if (!workArrived_)
    throw HostError("CreateEvent", systemMessage(HRESULT_FROM_WIN32(GetLastError())));
}

HostApartment::~HostApartment() {
  CloseHandle(workArrived_);
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

void HostApartment::sleepUntil(std::unique_lock<std::mutex>& lock,
                               const std::function<bool()>& ready) {
  while (!ready()) {
    lock.unlock();
    const DWORD woken =
        MsgWaitForMultipleObjectsEx(1, &workArrived_, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    // Messages are looked for only when they are what woke the thread: each look is a trip
    // through the wineserver under Wine.
    MSG message;
    while (woken != WAIT_OBJECT_0 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    lock.lock();
  }
}

void HostApartment::wakeUp() {
  SetEvent(workArrived_);
}

}  // namespace orvane::host::com
