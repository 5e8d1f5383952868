#pragma once

// The Object seam over one IDispatch interface. Internal to host/com and its tests.

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "host/Object.h"
#include "host/com/ComSupport.h"

namespace orvane::host::com {

class DispatchObject : public Object {
 public:
  explicit DispatchObject(ComPtr<IDispatch> dispatch);

  Variant call(std::string_view member, Args args) override;
  Variant get(std::string_view member) override;
  void put(std::string_view member, const Variant& value) override;

  IDispatch* dispatch() const { return dispatch_.get(); }

 private:
  DISPID dispid(std::string_view member);
  Variant invoke(std::string_view member, WORD flags, Args args, bool isPut);

  ComPtr<IDispatch> dispatch_;
  std::map<std::string, DISPID, std::less<>> dispids_;  // asked for once per member
};

ObjectRef wrapDispatch(ComPtr<IDispatch> dispatch);

// A value into an argument slot (the slot must be empty); Text becomes a new BSTR, an Object of
// this binding its IDispatch with a reference of its own, a Foreign payload of this binding a copy
// of the VARIANT it holds. position counts arguments from 1 in call
// order, for the error text.
void toVariant(const Variant& value, VARIANT& slot, std::string_view member, unsigned position);
// A value the host returned: empty, Booleans, 16- and 32-bit integers, doubles, text and objects
// that toVariant gives back bit for bit become those kinds; every other value (Null, error codes,
// arrays, by-reference values, other numeric types, ...) becomes a Foreign payload holding a copy
// of the VARIANT. Raises HostError only for a value that cannot even be copied.
Variant fromVariant(const VARIANT& value, std::string_view member);

// The HostError for a failed Invoke, with the host's own text where it gave one.
HostError invokeFailure(std::string_view member, HRESULT hr, ExceptionInfo& exception,
                        UINT argumentError, UINT argumentCount);

}  // namespace orvane::host::com
