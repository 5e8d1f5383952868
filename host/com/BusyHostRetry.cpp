#include "host/com/BusyHostRetry.h"

#include <atomic>

#include "host/com/ComSupport.h"

namespace orvane::host::com {

namespace {

class RetryFilter final : public IMessageFilter {
 public:
  RetryFilter(DWORD patienceMs, DWORD retryMs) : patienceMs_(patienceMs), retryMs_(retryMs) {}
  virtual ~RetryFilter() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMessageFilter)) {
      *out = static_cast<IMessageFilter*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const long left = --references_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // Calls into this program (it serves none) are taken as they come.
  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
    return SERVERCALL_ISHANDLED;
  }
  // dwTickCount: milliseconds since the call was first made. Returning a delay retries after it;
  // returning -1 (as a DWORD) gives up.
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsedMs, DWORD rejectType) override {
    if (rejectType == SERVERCALL_RETRYLATER && elapsedMs < patienceMs_) return retryMs_;
    return static_cast<DWORD>(-1);
  }
  // Window messages that arrive while a call waits are handled as usual; the dispatcher drops the
  // events that come in the middle of an operation.
  DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override {
    return PENDINGMSG_WAITDEFPROCESS;
  }

 private:
  DWORD patienceMs_;
  DWORD retryMs_;
  std::atomic<long> references_{1};
};

}  // namespace

BusyHostRetry::BusyHostRetry(std::chrono::milliseconds patience,
                             std::chrono::milliseconds retryInterval) {
  auto* filter = new RetryFilter(static_cast<DWORD>(patience.count()),
                                 static_cast<DWORD>(retryInterval.count()));
  IMessageFilter* previous = nullptr;
  installed_ = SUCCEEDED(CoRegisterMessageFilter(filter, &previous));
  if (installed_) {
    filter_ = filter;
    previous_ = previous;
  } else {
    filter->Release();
  }
}

BusyHostRetry::~BusyHostRetry() {
  if (!installed_) return;
  IMessageFilter* ours = nullptr;
  CoRegisterMessageFilter(static_cast<IMessageFilter*>(previous_), &ours);
  if (ours) ours->Release();                                          // the reference COM held
  if (previous_) static_cast<IMessageFilter*>(previous_)->Release();  // ours on the old one
  static_cast<IMessageFilter*>(filter_)->Release();
}

}  // namespace orvane::host::com
