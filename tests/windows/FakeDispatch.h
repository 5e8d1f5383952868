#pragma once

// An in-process IDispatch whose behaviour each test scripts: it counts references and name look-ups
// and hands every Invoke to the test's handler.

#include <functional>
#include <map>
#include <string>

#include "host/com/ComSupport.h"

namespace orvane::testing {

class FakeDispatch : public IDispatch {
 public:
  using Handler = std::function<HRESULT(DISPID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)>;

  explicit FakeDispatch(std::map<std::wstring, DISPID> members) : members_(std::move(members)) {}
  virtual ~FakeDispatch() = default;

  Handler onInvoke = [](DISPID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) { return S_OK; };

  // The reference the test itself holds counts as one.
  long references() const { return references_; }
  int lookUps(const std::wstring& name) const {
    const auto found = lookUps_.find(name);
    return found == lookUps_.end() ? 0 : found->second;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references_); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (count != 1) return E_INVALIDARG;
    ++lookUps_[names[0]];
    const auto found = members_.find(names[0]);
    if (found == members_.end()) {
      ids[0] = DISPID_UNKNOWN;
      return DISP_E_UNKNOWNNAME;
    }
    ids[0] = found->second;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) override {
    return onInvoke(id, flags, params, result, exception, argumentError);
  }

 private:
  std::map<std::wstring, DISPID> members_;
  std::map<std::wstring, int> lookUps_;
  long references_ = 1;
};

}  // namespace orvane::testing
