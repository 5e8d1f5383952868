#pragma once

#include <chrono>

namespace orvane::host::com {

// While installed on a single-threaded apartment, a call that the host rejects because it is busy
// (SERVERCALL_RETRYLATER: a modal box of its own is open, or it is inside another call) is retried
// every retryInterval until it has been rejected for `patience`; only then does it fail, with
// RPC_E_CALL_REJECTED, as a HostError. Without it, COM fails such a call at once, and the
// controller would take a busy host for a lost connection. Restores the previous filter when it
// goes. Must be made and dropped on the apartment's thread.
class BusyHostRetry {
 public:
  explicit BusyHostRetry(std::chrono::milliseconds patience = std::chrono::seconds(30),
                         std::chrono::milliseconds retryInterval = std::chrono::milliseconds(100));
  ~BusyHostRetry();
  BusyHostRetry(const BusyHostRetry&) = delete;
  BusyHostRetry& operator=(const BusyHostRetry&) = delete;

  // Whether COM accepted the filter (it refuses in a multithreaded apartment).
  bool installed() const { return installed_; }

 private:
  void* filter_ = nullptr;    // our IMessageFilter
  void* previous_ = nullptr;  // the one it replaced, if any
  bool installed_ = false;
};

}  // namespace orvane::host::com
