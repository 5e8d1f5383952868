#pragma once

// An automation value kept exactly as the host returned it. Internal to host/com and its tests.

#include <memory>
#include <string>

#include "host/ForeignValue.h"
#include "host/Object.h"
#include "host/com/ComSupport.h"

namespace orvane::host::com {

// Owns a copy of a VARIANT of a type the core has no kind for, so that it can be handed back to
// the host bit for bit. Conversions are automation's own (VariantChangeTypeEx, locale-independent,
// Booleans as "True"/"False"), so a value reads as the host's language would read it.
class ForeignVariant final : public ForeignValue {
 public:
  // A copy of the value (VariantCopy: a by-reference value keeps its reference). Throws HostError
  // naming member when the value cannot be copied (an unknown type).
  static std::shared_ptr<const ForeignVariant> copyOf(const VARIANT& value,
                                                      std::string_view member);

  bool toBool() const override;
  std::int16_t toInt16() const override;
  double toNumber() const override;
  std::string toText() const override;
  ObjectRef toObject() const override;
  std::string describe() const override;

  // The value as the host returned it.
  const VARIANT& value() const { return *value_.get(); }
  // A copy of the value into an empty argument slot; returns VariantCopy's result.
  HRESULT copyTo(VARIANT& slot) const;

 private:
  ForeignVariant() = default;
  // Converts into `converted`, or throws ConversionError.
  void changeType(VariantValue& converted, VARTYPE type, unsigned short flags = 0) const;

  VariantValue value_;
};

// The name of an automation type for messages: "VT_R4", "VT_ARRAY|VT_I4", "VT_BYREF|VT_VARIANT".
std::string typeName(VARTYPE type);

}  // namespace orvane::host::com
