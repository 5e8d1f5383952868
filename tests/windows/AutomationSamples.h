#pragma once

// One value of every automation type a host might return, and an exact comparison of two VARIANTs
// (type, bits, string and array contents, object identity). Shared by the test automation server,
// which serves the samples and checks what comes back to it, and the test programs.

#include <cstring>
#include <string>
#include <vector>

#include "host/com/ComSupport.h"
#include "host/com/ForeignVariant.h"

namespace orvane::testing {

struct AutomationSample {
  const char* name;
  // Fills an empty VARIANT; `object` is an object of the caller's for the interface samples.
  void (*fill)(VARIANT& v, IUnknown* object);
  bool foreign;  // whether the core keeps it as a Foreign payload rather than a kind of its own
};

namespace samples {

inline SAFEARRAY* vectorOf(VARTYPE type, LONG lowerBound, ULONG count) {
  SAFEARRAYBOUND bound{count, lowerBound};
  return SafeArrayCreate(type, 1, &bound);
}

inline void put(SAFEARRAY* array, LONG index, void* element) {
  SafeArrayPutElement(array, &index, element);
}

// Storage for the by-reference samples, from the task allocator: a stub frees what an [out] value
// refers to once it has been sent.
template <class T>
T* referenced(T value) {
  T* storage = static_cast<T*>(CoTaskMemAlloc(sizeof(T)));
  *storage = value;
  return storage;
}

}  // namespace samples

inline const std::vector<AutomationSample>& automationSamples() {
  using namespace samples;
  static const std::vector<AutomationSample> all{
      // The kinds of the core: these must come back bit for bit too.
      {"VT_EMPTY", [](VARIANT&, IUnknown*) {}, false},
      {"VT_BOOL True",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_BOOL;
         v.boolVal = VARIANT_TRUE;
       },
       false},
      {"VT_I2 -2",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_I2;
         v.iVal = -2;
       },
       false},
      {"VT_I4 262143",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_I4;
         v.lVal = 262143;
       },
       false},
      {"VT_R8 -0.0",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_R8;
         v.dblVal = -0.0;
       },
       false},
      {"VT_BSTR text with a pair",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_BSTR;
         v.bstrVal = SysAllocString(L"Gr\u00FC\u00DFe \U0001F3B5");
       },
       false},
      {"VT_DISPATCH object",
       [](VARIANT& v, IUnknown* object) {
         object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&v.pdispVal));
         v.vt = VT_DISPATCH;
       },
       false},
      // Values the core has no kind for.
      {"VT_NULL", [](VARIANT& v, IUnknown*) { v.vt = VT_NULL; }, true},
      {"VT_ERROR DISP_E_PARAMNOTFOUND",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_ERROR;
         v.scode = DISP_E_PARAMNOTFOUND;
       },
       true},
      {"VT_BOOL 1",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_BOOL;
         v.boolVal = 1;
       },
       true},
      {"VT_UI1 200",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_UI1;
         v.bVal = 200;
       },
       true},
      {"VT_I1 -5",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_I1;
         v.cVal = -5;
       },
       true},
      {"VT_UI2 65535",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_UI2;
         v.uiVal = 65535;
       },
       true},
      {"VT_UI4 4000000000",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_UI4;
         v.ulVal = 4000000000u;
       },
       true},
      {"VT_INT -7",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_INT;
         v.intVal = -7;
       },
       true},
      {"VT_UINT 7",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_UINT;
         v.uintVal = 7;
       },
       true},
      {"VT_I8 -2^40-3",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_I8;
         v.llVal = -(1ll << 40) - 3;
       },
       true},
      {"VT_UI8 2^63+5",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_UI8;
         v.ullVal = (1ull << 63) + 5;
       },
       true},
      {"VT_R4 0.1",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_R4;
         v.fltVal = 0.1f;
       },
       true},
      {"VT_CY 1.2345",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_CY;
         v.cyVal.int64 = 12345;
       },
       true},
      {"VT_DECIMAL -1.5",
       [](VARIANT& v, IUnknown*) {
         v.decVal.scale = 1;
         v.decVal.sign = DECIMAL_NEG;
         v.decVal.Hi32 = 0;
         v.decVal.Lo64 = 15;
         v.vt = VT_DECIMAL;  // after decVal, whose first field it shares
       },
       true},
      {"VT_DATE 45000.25",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_DATE;
         v.date = 45000.25;
       },
       true},
      {"VT_BSTR null",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_BSTR;
         v.bstrVal = nullptr;
       },
       true},
      {"VT_BSTR lone surrogate",
       [](VARIANT& v, IUnknown*) {
         const wchar_t text[] = {L'a', 0xD800, L'b'};
         v.vt = VT_BSTR;
         v.bstrVal = SysAllocStringLen(text, 3);
       },
       true},
      {"VT_DISPATCH null",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_DISPATCH;
         v.pdispVal = nullptr;
       },
       true},
      {"VT_UNKNOWN object",
       [](VARIANT& v, IUnknown* object) {
         object->AddRef();
         v.vt = VT_UNKNOWN;
         v.punkVal = object;
       },
       true},
      {"VT_ARRAY|VT_I4 {1, 2, 3}",
       [](VARIANT& v, IUnknown*) {
         SAFEARRAY* array = vectorOf(VT_I4, 0, 3);
         for (LONG i = 0; i < 3; ++i) {
           LONG value = i + 1;
           put(array, i, &value);
         }
         v.vt = VT_ARRAY | VT_I4;
         v.parray = array;
       },
       true},
      {"VT_ARRAY|VT_R8 from 1, 2-D",
       [](VARIANT& v, IUnknown*) {
         SAFEARRAYBOUND bounds[] = {{2, 1}, {3, -1}};
         SAFEARRAY* array = SafeArrayCreate(VT_R8, 2, bounds);
         double* data = nullptr;
         SafeArrayAccessData(array, reinterpret_cast<void**>(&data));
         for (int i = 0; i < 6; ++i) data[i] = 0.5 * i - 1;
         SafeArrayUnaccessData(array);
         v.vt = VT_ARRAY | VT_R8;
         v.parray = array;
       },
       true},
      {"VT_ARRAY|VT_BSTR",
       [](VARIANT& v, IUnknown*) {
         SAFEARRAY* array = vectorOf(VT_BSTR, 0, 2);
         host::com::Bstr first(L"x");
         host::com::Bstr second(L"yz");
         put(array, 0, first.get());
         put(array, 1, second.get());
         v.vt = VT_ARRAY | VT_BSTR;
         v.parray = array;
       },
       true},
      {"VT_ARRAY|VT_VARIANT",
       [](VARIANT& v, IUnknown*) {
         SAFEARRAY* array = vectorOf(VT_VARIANT, 0, 3);
         VARIANT element;
         VariantInit(&element);
         element.vt = VT_I2;
         element.iVal = 1;
         put(array, 0, &element);
         element.vt = VT_NULL;
         put(array, 1, &element);
         element.vt = VT_CY;
         element.cyVal.int64 = -5;
         put(array, 2, &element);
         v.vt = VT_ARRAY | VT_VARIANT;
         v.parray = array;
       },
       true},
      {"VT_BYREF|VT_I4",
       [](VARIANT& v, IUnknown*) {
         v.vt = VT_BYREF | VT_I4;
         v.plVal = referenced<LONG>(-123456);
       },
       true},
      {"VT_BYREF|VT_VARIANT",
       [](VARIANT& v, IUnknown*) {
         VARIANT inner;
         VariantInit(&inner);
         inner.vt = VT_UI2;
         inner.uiVal = 4321;
         v.vt = VT_BYREF | VT_VARIANT;
         v.pvarVal = referenced(inner);
       },
       true},
  };
  return all;
}

// "" when `actual` has the type and the bits of `expected` (strings and arrays by content, objects
// by identity, by-reference values by what they point to), else what differs.
inline std::string differenceOf(const VARIANT& expected, const VARIANT& actual);

namespace samples {

inline std::string elementsDiffer(SAFEARRAY* expected, SAFEARRAY* actual) {
  if (!expected || !actual) return expected == actual ? "" : "one array is null";
  VARTYPE expectedType = VT_EMPTY;
  VARTYPE actualType = VT_EMPTY;
  SafeArrayGetVartype(expected, &expectedType);
  SafeArrayGetVartype(actual, &actualType);
  if (expectedType != actualType) return "element type " + host::com::typeName(actualType);
  if (expected->cDims != actual->cDims || expected->cbElements != actual->cbElements) {
    return "dimensions or element size differ";
  }
  ULONG count = 1;
  for (USHORT d = 0; d < expected->cDims; ++d) {
    const auto& e = expected->rgsabound[d];
    const auto& a = actual->rgsabound[d];
    if (e.cElements != a.cElements || e.lLbound != a.lLbound) return "bounds differ";
    count *= e.cElements;
  }
  const auto* e = static_cast<const unsigned char*>(expected->pvData);
  const auto* a = static_cast<const unsigned char*>(actual->pvData);
  for (ULONG i = 0; i < count; ++i) {
    const std::size_t at = std::size_t{i} * expected->cbElements;
    std::string difference;
    if (expectedType == VT_BSTR || expectedType == VT_VARIANT) {
      VARIANT x;
      VARIANT y;
      VariantInit(&x);
      VariantInit(&y);
      x.vt = y.vt = expectedType;
      if (expectedType == VT_BSTR) {
        std::memcpy(&x.bstrVal, e + at, sizeof(BSTR));
        std::memcpy(&y.bstrVal, a + at, sizeof(BSTR));
        difference = differenceOf(x, y);
      } else {
        difference = differenceOf(*reinterpret_cast<const VARIANT*>(e + at),
                                  *reinterpret_cast<const VARIANT*>(a + at));
      }
    } else if (std::memcmp(e + at, a + at, expected->cbElements) != 0) {
      difference = "bits differ";
    }
    if (!difference.empty()) return "element " + std::to_string(i) + ": " + difference;
  }
  return "";
}

inline bool sameObject(IUnknown* expected, IUnknown* actual) {
  if (!expected || !actual) return expected == actual;
  host::com::ComPtr<IUnknown> x;
  host::com::ComPtr<IUnknown> y;
  expected->QueryInterface(IID_IUnknown, x.putVoid());
  actual->QueryInterface(IID_IUnknown, y.putVoid());
  return x.get() == y.get();
}

inline std::size_t scalarSize(VARTYPE type) {
  switch (type) {
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
      return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
      return 8;
    default:
      return 0;
  }
}

}  // namespace samples

inline std::string differenceOf(const VARIANT& expected, const VARIANT& actual) {
  using host::com::typeName;
  if (expected.vt != actual.vt) {
    return "type " + typeName(actual.vt) + " instead of " + typeName(expected.vt);
  }
  const VARTYPE type = expected.vt;
  if (type & VT_BYREF) {
    if (!expected.byref || !actual.byref) return expected.byref == actual.byref ? "" : "null ref";
    if (type == (VT_BYREF | VT_VARIANT)) return differenceOf(*expected.pvarVal, *actual.pvarVal);
    const std::size_t size = samples::scalarSize(type & VT_TYPEMASK);
    if (size == 0 || (type & VT_ARRAY)) return "cannot compare " + typeName(type);
    return std::memcmp(expected.byref, actual.byref, size) == 0 ? "" : "referenced bits differ";
  }
  if (type & VT_ARRAY) return samples::elementsDiffer(expected.parray, actual.parray);
  switch (type) {
    case VT_EMPTY:
    case VT_NULL:
      return "";
    case VT_BSTR: {
      if (!expected.bstrVal || !actual.bstrVal) {
        return expected.bstrVal == actual.bstrVal ? "" : "one string is null";
      }
      const UINT bytes = SysStringByteLen(expected.bstrVal);
      if (bytes != SysStringByteLen(actual.bstrVal)) return "string lengths differ";
      return std::memcmp(expected.bstrVal, actual.bstrVal, bytes) == 0 ? "" : "strings differ";
    }
    case VT_DECIMAL: {
      const DECIMAL& e = expected.decVal;
      const DECIMAL& a = actual.decVal;
      return e.scale == a.scale && e.sign == a.sign && e.Hi32 == a.Hi32 && e.Lo64 == a.Lo64
                 ? ""
                 : "decimal bits differ";
    }
    case VT_DISPATCH:
    case VT_UNKNOWN:
      return samples::sameObject(expected.punkVal, actual.punkVal) ? "" : "another object";
    default: {
      const std::size_t size = samples::scalarSize(type);
      if (size == 0) return "cannot compare " + typeName(type);
      return std::memcmp(&expected.bVal, &actual.bVal, size) == 0 ? "" : "bits differ";
    }
  }
}

}  // namespace orvane::testing
