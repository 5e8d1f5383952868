#include "host/com/ComHost.h"

#include "host/com/ComSupport.h"
#include "host/com/DispatchObject.h"

namespace orvane::host::com {

Apartment::Apartment() {
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  if (hr == S_OK || hr == S_FALSE) {  // S_FALSE: this thread was a single-threaded one already
    kind_ = Kind::SingleThreaded;
    mustUninitialise_ = true;
  } else if (hr == RPC_E_CHANGED_MODE) {
    // Someone else made this thread multithreaded; COM works, and the count is not ours to undo.
    kind_ = Kind::JoinedMultithreaded;
    mustUninitialise_ = false;
  } else {
    throw HostError("CoInitializeEx", systemMessage(hr));
  }
}

Apartment::~Apartment() {
  if (mustUninitialise_) CoUninitialize();
}

ObjectFactory comFactory() {
  return [](const std::string& progId) -> ObjectRef {
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(toWide(progId).c_str(), &clsid);
    if (FAILED(hr)) {
      throw HostError(progId,
                      "no automation server is registered under this name. " + systemMessage(hr));
    }
    ComPtr<IDispatch> dispatch;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IDispatch, dispatch.putVoid());
    if (FAILED(hr)) {
      throw HostError(progId, "the automation server could not be started. " + systemMessage(hr));
    }
    return wrapDispatch(std::move(dispatch));
  };
}

}  // namespace orvane::host::com
