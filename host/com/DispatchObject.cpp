#include "host/com/DispatchObject.h"

#include <type_traits>
#include <vector>

#include "host/com/ForeignVariant.h"

namespace orvane::host::com {

namespace {

// HRESULT_FROM_WIN32 is a function on some toolchains; case labels need a constant.
constexpr HRESULT fromWin32(unsigned long code) {
  return static_cast<HRESULT>((code & 0xFFFFul) |
                              (static_cast<unsigned long>(FACILITY_WIN32) << 16) | 0x80000000ul);
}

bool hostHasGone(HRESULT hr) {
  switch (hr) {
    case RPC_E_DISCONNECTED:
    case RPC_E_SERVER_DIED:
    case RPC_E_SERVER_DIED_DNE:
    case CO_E_OBJNOTCONNECTED:
    case fromWin32(RPC_S_SERVER_UNAVAILABLE):
    case fromWin32(RPC_S_CALL_FAILED):
    case fromWin32(RPC_S_CALL_FAILED_DNE):
    case fromWin32(ERROR_BROKEN_PIPE):
      return true;
    default:
      return false;
  }
}

// Whether text survives the trip to UTF-8 and back unchanged: a null BSTR, or one that is not valid
// UTF-16 (a lone surrogate), would come back as something else.
bool textRoundTrips(BSTR text) {
  if (!text) return false;
  const std::wstring_view wide(text, SysStringLen(text));
  return toWide(toUtf8(wide)) == wide;
}

}  // namespace

DispatchObject::DispatchObject(ComPtr<IDispatch> dispatch) : dispatch_(std::move(dispatch)) {}

ObjectRef wrapDispatch(ComPtr<IDispatch> dispatch) {
  return std::make_shared<DispatchObject>(std::move(dispatch));
}

Variant DispatchObject::call(std::string_view member, Args args) {
  return invoke(member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, false);
}

Variant DispatchObject::get(std::string_view member) {
  return invoke(member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, false);
}

void DispatchObject::put(std::string_view member, const Variant& value) {
  const Arg argument(value);
  const WORD flags =
      value.kind() == Variant::Kind::Object ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT;
  invoke(member, flags, Args(&argument, 1), true);
}

DISPID DispatchObject::dispid(std::string_view member) {
  if (const auto found = dispids_.find(member); found != dispids_.end()) return found->second;
  std::wstring name = toWide(member);
  LPOLESTR names[] = {name.data()};
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (hr == DISP_E_UNKNOWNNAME) {
    throw HostError(std::string(member),
                    "the object has no member of this name. " + systemMessage(hr));
  }
  if (FAILED(hr)) {
    throw HostError(std::string(member),
                    (hostHasGone(hr) ? "the host application has gone. " : "") + systemMessage(hr));
  }
  dispids_.emplace(std::string(member), id);
  return id;
}

Variant DispatchObject::invoke(std::string_view member, WORD flags, Args args, bool isPut) {
  const DISPID id = dispid(member);
  const std::size_t count = args.size();

  // DISPPARAMS holds the arguments last first. By-reference arguments point into storage of
  // their own, which is read back into the caller's fields only when the call succeeded.
  VariantArray slots(count);
  struct Scalars {
    SHORT i2 = 0;
    VARIANT_BOOL boolean = VARIANT_FALSE;
  };
  std::vector<Scalars> scalars(count);
  VariantArray referenced(count);
  for (std::size_t i = 0; i < count; ++i) {
    VARIANT& slot = slots[count - 1 - i];
    const Arg& argument = args[i];
    const auto position = static_cast<unsigned>(i + 1);
    if (!argument.isRef()) {
      toVariant(argument.current(), slot, member, position);
      continue;
    }
    std::visit(
        [&](auto* field) {
          using Field = std::remove_pointer_t<decltype(field)>;
          if constexpr (std::is_same_v<Field, std::int16_t>) {
            scalars[i].i2 = *field;
            slot.vt = VT_BYREF | VT_I2;
            slot.piVal = &scalars[i].i2;
          } else if constexpr (std::is_same_v<Field, bool>) {
            scalars[i].boolean = *field ? VARIANT_TRUE : VARIANT_FALSE;
            slot.vt = VT_BYREF | VT_BOOL;
            slot.pboolVal = &scalars[i].boolean;
          } else {
            toVariant(*field, referenced[i], member, position);
            slot.vt = VT_BYREF | VT_VARIANT;
            slot.pvarVal = &referenced[i];
          }
        },
        argument.field());
  }

  DISPID namedPut = DISPID_PROPERTYPUT;
  DISPPARAMS params{slots.data(), nullptr, static_cast<UINT>(count), 0};
  if (isPut) {
    params.rgdispidNamedArgs = &namedPut;
    params.cNamedArgs = 1;
  }
  VariantValue result;
  ExceptionInfo exception;
  UINT argumentError = 0;
  const HRESULT hr =
      dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                        isPut ? nullptr : result.get(), exception.get(), &argumentError);
  if (FAILED(hr)) {
    throw invokeFailure(member, hr, exception, argumentError, static_cast<UINT>(count));
  }

  // Convert every out first, so that one unusable value leaves all fields as they were.
  std::vector<Variant> outs(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (!args[i].isRef()) continue;
    std::visit(
        [&](auto* field) {
          using Field = std::remove_pointer_t<decltype(field)>;
          if constexpr (std::is_same_v<Field, std::int16_t>) {
            outs[i] = Variant(static_cast<std::int16_t>(scalars[i].i2));
          } else if constexpr (std::is_same_v<Field, bool>) {
            outs[i] = Variant(scalars[i].boolean != VARIANT_FALSE);
          } else {
            outs[i] = fromVariant(referenced[i], member);
          }
        },
        args[i].field());
  }
  Variant returned = fromVariant(*result.get(), member);
  for (std::size_t i = 0; i < count; ++i) args[i].write(outs[i]);
  return returned;
}

void toVariant(const Variant& value, VARIANT& slot, std::string_view member, unsigned position) {
  switch (value.kind()) {
    case Variant::Kind::Empty:
      slot.vt = VT_EMPTY;
      return;
    case Variant::Kind::Boolean:
      slot.vt = VT_BOOL;
      slot.boolVal = value.toBool() ? VARIANT_TRUE : VARIANT_FALSE;
      return;
    case Variant::Kind::Int16:
      slot.vt = VT_I2;
      slot.iVal = value.toInt16();
      return;
    case Variant::Kind::Int32:
      slot.vt = VT_I4;
      slot.lVal = static_cast<LONG>(value.toNumber());
      return;
    case Variant::Kind::Double:
      slot.vt = VT_R8;
      slot.dblVal = value.toNumber();
      return;
    case Variant::Kind::Text:
      slot.bstrVal = Bstr(toWide(value.toText())).release();
      slot.vt = VT_BSTR;
      return;
    case Variant::Kind::Object: {
      const auto* object = dynamic_cast<const DispatchObject*>(value.toObject().get());
      if (!object) {
        throw HostError(std::string(member), "argument " + std::to_string(position) +
                                                 " is an object that the host cannot receive");
      }
      slot.pdispVal = object->dispatch();
      slot.pdispVal->AddRef();
      slot.vt = VT_DISPATCH;
      return;
    }
    case Variant::Kind::Foreign: {
      const auto* foreign = dynamic_cast<const ForeignVariant*>(value.toForeign().get());
      if (!foreign) {
        throw HostError(std::string(member), "argument " + std::to_string(position) +
                                                 " is a value that the host cannot receive");
      }
      const HRESULT hr = foreign->copyTo(slot);
      if (FAILED(hr)) {
        throw HostError(std::string(member), "argument " + std::to_string(position) +
                                                 " cannot be copied: " + systemMessage(hr));
      }
      return;
    }
  }
}

Variant fromVariant(const VARIANT& value, std::string_view member) {
  // Only what comes back from toVariant exactly as it went in gets a core kind; every other value
  // is kept as it is, so that it reaches the host again unchanged.
  switch (value.vt) {
    case VT_EMPTY:
      return {};
    case VT_BOOL:
      if (value.boolVal == VARIANT_TRUE) return Variant(true);
      if (value.boolVal == VARIANT_FALSE) return Variant(false);
      break;
    case VT_I2:
      return Variant(static_cast<std::int16_t>(value.iVal));
    case VT_I4:
      return Variant(static_cast<std::int32_t>(value.lVal));
    case VT_R8:
      return Variant(value.dblVal);
    case VT_BSTR:
      if (textRoundTrips(value.bstrVal)) return Variant(toUtf8(value.bstrVal));
      break;
    case VT_DISPATCH:
      if (value.pdispVal) return Variant(wrapDispatch(ComPtr<IDispatch>::retain(value.pdispVal)));
      break;
    default:
      break;
  }
  return Variant(ForeignRef(ForeignVariant::copyOf(value, member)));
}

HostError invokeFailure(std::string_view member, HRESULT hr, ExceptionInfo& exception,
                        UINT argumentError, UINT argumentCount) {
  const std::string name(member);
  switch (hr) {
    case DISP_E_EXCEPTION: {
      exception.fillIn();
      std::string text = exception.description();
      if (text.empty()) {
        const EXCEPINFO& info = *exception.get();
        text = info.wCode != 0 ? "error " + std::to_string(info.wCode)
                               : (FAILED(info.scode) ? systemMessage(info.scode)
                                                     : "the host raised an error without text");
      }
      return HostError(name, text);
    }
    case DISP_E_TYPEMISMATCH:
    case DISP_E_PARAMNOTFOUND:
      // puArgErr indexes DISPPARAMS, which holds the arguments last first.
      if (argumentError < argumentCount) {
        return HostError(name, "argument " + std::to_string(argumentCount - argumentError) + ": " +
                                   systemMessage(hr));
      }
      return HostError(name, systemMessage(hr));
    default:
      if (hostHasGone(hr))
        return HostError(name, "the host application has gone. " + systemMessage(hr));
      return HostError(name, systemMessage(hr));
  }
}

}  // namespace orvane::host::com
