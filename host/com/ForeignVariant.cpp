#include "host/com/ForeignVariant.h"

#include <cstdio>
#include <iterator>
#include <utility>

#include "host/com/DispatchObject.h"

namespace orvane::host::com {

namespace {

struct TypeNameEntry {
  VARTYPE type;
  const char* name;
};

constexpr TypeNameEntry BaseTypeNames[] = {
    {VT_EMPTY, "VT_EMPTY"},     {VT_NULL, "VT_NULL"},
    {VT_I2, "VT_I2"},           {VT_I4, "VT_I4"},
    {VT_R4, "VT_R4"},           {VT_R8, "VT_R8"},
    {VT_CY, "VT_CY"},           {VT_DATE, "VT_DATE"},
    {VT_BSTR, "VT_BSTR"},       {VT_DISPATCH, "VT_DISPATCH"},
    {VT_ERROR, "VT_ERROR"},     {VT_BOOL, "VT_BOOL"},
    {VT_VARIANT, "VT_VARIANT"}, {VT_UNKNOWN, "VT_UNKNOWN"},
    {VT_DECIMAL, "VT_DECIMAL"}, {VT_I1, "VT_I1"},
    {VT_UI1, "VT_UI1"},         {VT_UI2, "VT_UI2"},
    {VT_UI4, "VT_UI4"},         {VT_I8, "VT_I8"},
    {VT_UI8, "VT_UI8"},         {VT_INT, "VT_INT"},
    {VT_UINT, "VT_UINT"},       {VT_RECORD, "VT_RECORD"},
};

// Whether a value can have a text at all: arrays, Null and error codes cannot, and asking
// VariantChangeTypeEx would only produce a failure message.
bool describedByText(VARTYPE type) {
  const VARTYPE base = type & VT_TYPEMASK;
  return (type & VT_ARRAY) == 0 && base != VT_NULL && base != VT_ERROR && base != VT_UNKNOWN &&
         base != VT_DISPATCH && base != VT_RECORD && base != VT_VARIANT;
}

// VariantCopy, except that a null BSTR stays null: Wine's VariantCopy makes it an empty string,
// which the host could tell apart.
HRESULT exactCopy(VARIANT& destination, const VARIANT& source) {
  if (source.vt == VT_BSTR && source.bstrVal == nullptr) {
    const HRESULT hr = VariantClear(&destination);
    if (FAILED(hr)) return hr;
    destination.vt = VT_BSTR;
    destination.bstrVal = nullptr;
    return S_OK;
  }
  return VariantCopy(&destination, const_cast<VARIANT*>(&source));  // only reads its source
}

}  // namespace

std::string typeName(VARTYPE type) {
  std::string name;
  if (type & VT_BYREF) name += "VT_BYREF|";
  if (type & VT_ARRAY) name += "VT_ARRAY|";
  if (type & VT_VECTOR) name += "VT_VECTOR|";
  const VARTYPE base = type & VT_TYPEMASK;
  for (const auto& entry : BaseTypeNames) {
    if (entry.type == base) return name + entry.name;
  }
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(base));
  return name + text;
}

std::shared_ptr<const ForeignVariant> ForeignVariant::copyOf(const VARIANT& value,
                                                             std::string_view member) {
  std::shared_ptr<ForeignVariant> copy(new ForeignVariant());
  const HRESULT hr = exactCopy(*copy->value_.get(), value);
  if (FAILED(hr)) {
    throw HostError(std::string(member),
                    "the host returned a value of type " + typeName(value.vt) +
                        " that this program cannot keep: " + systemMessage(hr));
  }
  return copy;
}

HRESULT ForeignVariant::copyTo(VARIANT& slot) const {
  return exactCopy(slot, *value_.get());
}

void ForeignVariant::changeType(VariantValue& converted, VARTYPE type, unsigned short flags) const {
  // The source is only read. The invariant locale keeps numbers in the form the core writes them.
  const HRESULT hr = VariantChangeTypeEx(converted.get(), const_cast<VARIANT*>(value_.get()),
                                         LOCALE_INVARIANT, flags, type);
  if (FAILED(hr)) {
    throw ConversionError("the value of type " + typeName(value_.get()->vt) +
                          " cannot be converted to " + typeName(type) + ": " + systemMessage(hr));
  }
}

bool ForeignVariant::toBool() const {
  VariantValue converted;
  changeType(converted, VT_BOOL);
  return converted.get()->boolVal != VARIANT_FALSE;
}

std::int16_t ForeignVariant::toInt16() const {
  VariantValue converted;
  changeType(converted, VT_I2);  // rounds half to even; out of range is DISP_E_OVERFLOW
  return converted.get()->iVal;
}

double ForeignVariant::toNumber() const {
  VariantValue converted;
  changeType(converted, VT_R8);
  return converted.get()->dblVal;
}

std::string ForeignVariant::toText() const {
  VariantValue converted;
  changeType(converted, VT_BSTR, VARIANT_ALPHABOOL);
  return toUtf8(converted.get()->bstrVal);
}

ObjectRef ForeignVariant::toObject() const {
  const VARIANT& v = *value_.get();
  IUnknown* unknown = nullptr;
  if (v.vt == VT_UNKNOWN) unknown = v.punkVal;
  if (v.vt == (VT_BYREF | VT_UNKNOWN) && v.ppunkVal) unknown = *v.ppunkVal;
  if (v.vt == (VT_BYREF | VT_DISPATCH) && v.ppdispVal) unknown = *v.ppdispVal;
  if (unknown == nullptr) return ForeignValue::toObject();
  ComPtr<IDispatch> dispatch;
  const HRESULT hr = unknown->QueryInterface(IID_IDispatch, dispatch.putVoid());
  if (FAILED(hr)) {
    throw ConversionError("the object of type " + typeName(v.vt) +
                          " has no automation interface: " + systemMessage(hr));
  }
  return wrapDispatch(std::move(dispatch));
}

std::string ForeignVariant::describe() const {
  const VARIANT& v = *value_.get();
  std::string text = "<" + typeName(v.vt);
  if (v.vt == VT_ERROR) {
    char code[16];
    std::snprintf(code, sizeof code, " 0x%08lX", static_cast<unsigned long>(v.scode));
    text += code;
  } else if (describedByText(v.vt)) {
    try {
      text += " " + toText();
    } catch (const ConversionError&) {
      // The type name alone, then.
    }
  }
  return text + ">";
}

}  // namespace orvane::host::com
