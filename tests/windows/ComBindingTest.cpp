// The COM binding against scripted in-process IDispatch objects: argument marshalling, by-reference
// outs, results, error text and reference counting.
#include <thread>

#include "host/com/BusyHostRetry.h"
#include "host/com/ComHost.h"
#include "host/com/DispatchObject.h"
#include "tests/windows/AutomationSamples.h"
#include "tests/windows/Check.h"
#include "tests/windows/FakeDispatch.h"

using orvane::host::Arg;
using orvane::host::ConversionError;
using orvane::host::HostError;
using orvane::host::Object;
using orvane::host::ObjectRef;
using orvane::host::Variant;
using orvane::testing::FakeDispatch;
namespace com = orvane::host::com;

namespace {

ObjectRef wrap(FakeDispatch& fake) {
  return com::wrapDispatch(com::ComPtr<IDispatch>::retain(&fake));
}

std::wstring bstrText(BSTR text) {
  return std::wstring(text, SysStringLen(text));
}

// The argument in call order (DISPPARAMS holds them last first).
VARIANT& argument(DISPPARAMS* params, UINT position) {
  return params->rgvarg[params->cArgs - 1 - position];
}

void raise(EXCEPINFO* exception, const wchar_t* description) {
  exception->bstrSource = SysAllocString(L"Fake host");
  exception->bstrDescription = SysAllocString(description);
  exception->scode = E_FAIL;
}

}  // namespace

TEST_CASE("arguments go last first, each as its automation type, and outs come back") {
  FakeDispatch fake({{L"Mix", 7}});
  std::int16_t address = 3;
  bool flag = false;
  Variant out;
  WORD seenFlags = 0;
  fake.onInvoke = [&](DISPID id, WORD flags, DISPPARAMS* p, VARIANT* result, EXCEPINFO*, UINT*) {
    seenFlags = flags;
    CHECK_EQ(id, 7);
    CHECK_EQ(p->cArgs, 7u);
    CHECK_EQ(p->cNamedArgs, 0u);
    CHECK_EQ(argument(p, 0).vt, VT_I2);
    CHECK_EQ(argument(p, 0).iVal, 5);
    CHECK_EQ(argument(p, 1).vt, VT_BOOL);
    CHECK_EQ(argument(p, 1).boolVal, VARIANT_TRUE);
    CHECK_EQ(argument(p, 1).boolVal, -1);
    CHECK_EQ(argument(p, 2).vt, VT_BSTR);
    CHECK(bstrText(argument(p, 2).bstrVal) == L"Gr\u00FC\u00DFe \u20AC");
    CHECK_EQ(argument(p, 3).vt, VT_R8);
    CHECK_EQ(argument(p, 3).dblVal, 2.5);
    REQUIRE(argument(p, 4).vt == (VT_BYREF | VT_I2));
    CHECK_EQ(*argument(p, 4).piVal, 3);
    REQUIRE(argument(p, 5).vt == (VT_BYREF | VT_BOOL));
    CHECK_EQ(*argument(p, 5).pboolVal, VARIANT_FALSE);
    REQUIRE(argument(p, 6).vt == (VT_BYREF | VT_VARIANT));
    CHECK_EQ(argument(p, 6).pvarVal->vt, VT_EMPTY);
    *argument(p, 4).piVal = -12;
    *argument(p, 5).pboolVal = VARIANT_TRUE;
    VariantClear(argument(p, 6).pvarVal);
    argument(p, 6).pvarVal->vt = VT_BSTR;
    argument(p, 6).pvarVal->bstrVal = SysAllocString(L"\u00B5V");
    result->vt = VT_I4;
    result->lVal = 70000;
    return S_OK;
  };
  {
    const ObjectRef object = wrap(fake);
    const Variant result =
        object->call("Mix", {Arg(std::int16_t{5}), Arg(true),
                             Arg("Gr\xC3\xBC\xC3\x9F"
                                 "e \xE2\x82\xAC"),
                             Arg(Variant(2.5)), Arg::ref(address), Arg::ref(flag), Arg::ref(out)});
    CHECK(result == Variant(std::int32_t{70000}));
  }
  CHECK_EQ(seenFlags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  CHECK_EQ(address, -12);
  CHECK(flag);
  CHECK(out == Variant("\xC2\xB5V"));
  CHECK_EQ(fake.references(), 1);
}

TEST_CASE("a failed call leaves every by-reference field as it was") {
  FakeDispatch fake({{L"GetTwo", 1}});
  fake.onInvoke = [](DISPID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO* e, UINT*) {
    *argument(p, 0).piVal = 99;
    VariantClear(argument(p, 1).pvarVal);
    argument(p, 1).pvarVal->vt = VT_I4;
    argument(p, 1).pvarVal->lVal = 99;
    raise(e, L"no answer");
    return DISP_E_EXCEPTION;
  };
  std::int16_t address = 4;
  Variant word(std::int32_t{17});
  const ObjectRef object = wrap(fake);
  CHECK_THROWS(HostError, object->call("GetTwo", {Arg::ref(address), Arg::ref(word)}));
  CHECK_EQ(address, 4);
  CHECK(word == Variant(std::int32_t{17}));
}

TEST_CASE("a pre-filled Variant out goes in with its value, and a get sends no arguments") {
  FakeDispatch fake({{L"Echo", 1}, {L"IsReady", 2}});
  fake.onInvoke = [](DISPID id, WORD flags, DISPPARAMS* p, VARIANT* result, EXCEPINFO*, UINT*) {
    CHECK_EQ(flags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    if (id == 2) {
      CHECK_EQ(p->cArgs, 0u);
      result->vt = VT_BOOL;
      result->boolVal = VARIANT_TRUE;
      return S_OK;
    }
    VARIANT* in = argument(p, 0).pvarVal;
    CHECK_EQ(in->vt, VT_BSTR);
    CHECK(bstrText(in->bstrVal) == L"BusA3");
    return VariantCopy(result, in);
  };
  const ObjectRef object = wrap(fake);
  Variant name("BusA3");
  CHECK(object->call("Echo", {Arg::ref(name)}) == Variant("BusA3"));
  CHECK(object->get("IsReady") == Variant(true));
}

TEST_CASE("put passes the value as the one named argument DISPID_PROPERTYPUT") {
  FakeDispatch fake({{L"ORVANE_ShowErrorMessages", 12}});
  bool called = false;
  fake.onInvoke = [&](DISPID id, WORD flags, DISPPARAMS* p, VARIANT* result, EXCEPINFO*, UINT*) {
    called = true;
    CHECK_EQ(id, 12);
    CHECK_EQ(flags, DISPATCH_PROPERTYPUT);
    CHECK(result == nullptr);
    REQUIRE(p->cArgs == 1u && p->cNamedArgs == 1u);
    CHECK_EQ(p->rgdispidNamedArgs[0], DISPID_PROPERTYPUT);
    CHECK_EQ(p->rgvarg[0].vt, VT_BOOL);
    CHECK_EQ(p->rgvarg[0].boolVal, VARIANT_FALSE);
    return S_OK;
  };
  wrap(fake)->put("ORVANE_ShowErrorMessages", Variant(false));
  CHECK(called);
}

TEST_CASE("each member's DISPID is asked for once per object") {
  FakeDispatch fake({{L"A", 1}, {L"B", 2}});
  const ObjectRef object = wrap(fake);
  for (int i = 0; i < 3; ++i) object->call("A", {});
  object->get("B");
  object->put("B", Variant(std::int16_t{1}));
  CHECK_EQ(fake.lookUps(L"A"), 1);
  CHECK_EQ(fake.lookUps(L"B"), 1);
  const ObjectRef other = wrap(fake);  // another object asks again
  other->call("A", {});
  CHECK_EQ(fake.lookUps(L"A"), 2);
}

TEST_CASE("an unknown member fails with its name and is asked for again next time") {
  FakeDispatch fake({});
  const ObjectRef object = wrap(fake);
  CHECK_THROWS(HostError, object->call("SWITCHER_Frobnicate", {Arg(std::int16_t{1})}), {
    CHECK_EQ(error.member(), std::string("SWITCHER_Frobnicate"));
    CHECK(error.hostMessage().find("no member") != std::string::npos);
  });
  CHECK_THROWS(HostError, object->get("SWITCHER_Frobnicate"));
  CHECK_EQ(fake.lookUps(L"SWITCHER_Frobnicate"), 2);
}

TEST_CASE("DISP_E_EXCEPTION carries the host's text: description, deferred, wCode, scode") {
  static int fillIns = 0;
  FakeDispatch fake({{L"M", 1}});
  const ObjectRef object = wrap(fake);
  auto messageOf = [&](FakeDispatch::Handler handler) {
    fake.onInvoke = std::move(handler);
    try {
      object->call("M", {});
    } catch (const HostError& error) {
      CHECK_EQ(error.member(), std::string("M"));
      return error.hostMessage();
    }
    return std::string("(no error)");
  };

  CHECK_EQ(messageOf([](DISPID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO* e, UINT*) {
             raise(e, L"Switcher 3 does not answer");
             return DISP_E_EXCEPTION;
           }),
           std::string("Switcher 3 does not answer"));

  fillIns = 0;
  CHECK_EQ(messageOf([](DISPID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO* e, UINT*) {
             e->pfnDeferredFillIn = [](EXCEPINFO* info) -> HRESULT {
               ++fillIns;
               info->bstrDescription = SysAllocString(L"filled in later");
               info->scode = E_FAIL;
               return S_OK;
             };
             return DISP_E_EXCEPTION;
           }),
           std::string("filled in later"));
  CHECK_EQ(fillIns, 1);

  CHECK_EQ(messageOf([](DISPID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO* e, UINT*) {
             e->wCode = 1234;
             e->scode = E_FAIL;
             return DISP_E_EXCEPTION;
           }),
           std::string("error 1234"));

  const std::string fromScode =
      messageOf([](DISPID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO* e, UINT*) {
        e->scode = E_ACCESSDENIED;
        return DISP_E_EXCEPTION;
      });
  CHECK(fromScode.find("(0x80070005)") != std::string::npos);
  CHECK(fromScode.size() > std::string("(0x80070005)").size());  // the system's own words too
}

TEST_CASE("a type mismatch or missing argument names its position in call order") {
  FakeDispatch fake({{L"IOSWITCHER_BusLoad", 1}});
  const ObjectRef object = wrap(fake);
  auto failWith = [&](HRESULT hr, UINT fromTheEnd) {
    fake.onInvoke = [=](DISPID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT* bad) {
      *bad = fromTheEnd;
      return hr;
    };
    try {
      object->call("IOSWITCHER_BusLoad", {Arg(std::int16_t{0}), Arg("bus"), Arg(true)});
    } catch (const HostError& error) {
      return error.hostMessage();
    }
    return std::string();
  };
  CHECK(failWith(DISP_E_TYPEMISMATCH, 0).rfind("argument 3: ", 0) == 0);
  CHECK(failWith(DISP_E_TYPEMISMATCH, 2).rfind("argument 1: ", 0) == 0);
  CHECK(failWith(DISP_E_PARAMNOTFOUND, 1).rfind("argument 2: ", 0) == 0);
  CHECK(failWith(DISP_E_TYPEMISMATCH, 0).find("(0x80020005)") != std::string::npos);
}

TEST_CASE("a host that has gone fails with the system's message") {
  FakeDispatch fake({{L"IOSWITCHER_GetFullStatus", 1}});
  fake.onInvoke = [](DISPID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return RPC_E_DISCONNECTED;
  };
  CHECK_THROWS(HostError, wrap(fake)->call("IOSWITCHER_GetFullStatus", {}), {
    CHECK_EQ(error.member(), std::string("IOSWITCHER_GetFullStatus"));
    CHECK(error.hostMessage().find("has gone") != std::string::npos);
    CHECK(error.hostMessage().find("(0x80010108)") != std::string::npos);
  });
}

TEST_CASE(
    "results of other automation types are kept whole and read with automation's conversions") {
  FakeDispatch fake({{L"R", 1}});
  VARIANT next;
  VariantInit(&next);
  fake.onInvoke = [&](DISPID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) {
    return VariantCopy(result, &next);
  };
  const ObjectRef object = wrap(fake);
  auto resultOf = [&](auto fill) {
    VariantClear(&next);
    fill(next);
    return object->get("R");
  };
  CHECK(resultOf([](VARIANT&) {}).isEmpty());
  CHECK(resultOf([](VARIANT& v) {
          v.vt = VT_BOOL;
          v.boolVal = VARIANT_TRUE;
        }) == Variant(true));
  CHECK(resultOf([](VARIANT& v) {
          v.vt = VT_I2;
          v.iVal = -3;
        }) == Variant(std::int16_t{-3}));
  CHECK(resultOf([](VARIANT& v) {
          v.vt = VT_I4;
          v.lVal = 262143;
        }) == Variant(std::int32_t{262143}));
  CHECK(resultOf([](VARIANT& v) {
          v.vt = VT_R8;
          v.dblVal = 9.013;
        }) == Variant(9.013));
  CHECK(resultOf([](VARIANT& v) {
          v.vt = VT_BSTR;
          v.bstrVal = SysAllocString(L"ok");
        }) == Variant("ok"));

  // Every other type is a foreign value; reading it converts the way automation does.
  const Variant nonStandardTrue = resultOf([](VARIANT& v) {
    v.vt = VT_BOOL;
    v.boolVal = 1;
  });
  CHECK(nonStandardTrue.kind() == Variant::Kind::Foreign);
  CHECK(nonStandardTrue.toBool());
  CHECK_EQ(nonStandardTrue.toText(), std::string("True"));
  const Variant single = resultOf([](VARIANT& v) {
    v.vt = VT_R4;
    v.fltVal = 0.1f;
  });
  CHECK_EQ(single.toText(), std::string("0.1"));
  CHECK_EQ(single.toNumber(), static_cast<double>(0.1f));
  const Variant byte = resultOf([](VARIANT& v) {
    v.vt = VT_UI1;
    v.bVal = 200;
  });
  CHECK_EQ(byte.toInt16(), 200);
  CHECK_EQ(byte.toText(), std::string("200"));
  const Variant big = resultOf([](VARIANT& v) {
    v.vt = VT_UI4;
    v.ulVal = 4000000000u;
  });
  CHECK_EQ(big.toNumber(), 4e9);
  CHECK_THROWS(ConversionError, big.toInt16());  // overflow
  CHECK_EQ(resultOf([](VARIANT& v) {
             v.vt = VT_CY;
             v.cyVal.int64 = 12345;
           }).toNumber(),
           1.2345);
  CHECK_EQ(resultOf([](VARIANT& v) {
             v.vt = VT_UI2;
             v.uiVal = 32768;
           }).toNumber(),
           32768.0);
  CHECK_EQ(resultOf([](VARIANT& v) {
             v.vt = VT_BYREF | VT_I2;
             static SHORT referenced = -9;
             v.piVal = &referenced;
           }).toInt16(),
           -9);
  // Values with no number and no text fail where they are read, not where they are returned.
  const Variant null = resultOf([](VARIANT& v) { v.vt = VT_NULL; });
  CHECK(null.kind() == Variant::Kind::Foreign);
  CHECK_EQ(describe(null), std::string("<VT_NULL>"));
  const Variant array = resultOf([](VARIANT& v) {
    v.vt = VT_ARRAY | VT_I4;
    v.parray = SafeArrayCreateVector(VT_I4, 0, 2);
  });
  const Variant error = resultOf([](VARIANT& v) {
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
  });
  CHECK_EQ(describe(error), std::string("<VT_ERROR 0x80020004>"));
  for (const Variant* unreadable : {&null, &array, &error}) {
    CHECK_THROWS(ConversionError, unreadable->toBool());
    CHECK_THROWS(ConversionError, unreadable->toInt16());
    CHECK_THROWS(ConversionError, unreadable->toNumber());
    CHECK_THROWS(ConversionError, unreadable->toText());
    CHECK_THROWS(ConversionError, unreadable->toObject());
  }
  VariantClear(&next);
}

TEST_CASE("every sample value goes back as it came, as an argument and through a reference") {
  FakeDispatch object({});
  FakeDispatch fake({{L"Get", 1}, {L"Take", 2}, {L"Fill", 3}});
  std::size_t current = 0;
  bool filled = false;
  std::string difference;
  const auto sample = [&](VARIANT& v) {
    orvane::testing::automationSamples()[current].fill(v, &object);
  };
  fake.onInvoke = [&](DISPID id, WORD, DISPPARAMS* p, VARIANT* result, EXCEPINFO*, UINT*) {
    com::VariantValue expected;
    sample(*expected.get());
    if (id == 1) {
      sample(*result);
    } else if (id == 2) {
      difference = orvane::testing::differenceOf(*expected.get(), argument(p, 0));
    } else {
      // The out comes in holding what the last call left in it: check it, then fill it again.
      VARIANT& out = *argument(p, 0).pvarVal;
      if (filled) difference = orvane::testing::differenceOf(*expected.get(), out);
      filled = true;
      VariantClear(&out);
      sample(out);
    }
    return S_OK;
  };
  const ObjectRef host = wrap(fake);
  for (current = 0; current < orvane::testing::automationSamples().size(); ++current) {
    const auto& entry = orvane::testing::automationSamples()[current];
    difference = "not checked";
    host->call("Take", {Arg(host->get("Get"))});
    if (!difference.empty())
      std::printf("    %s as an argument: %s\n", entry.name, difference.c_str());
    CHECK(difference.empty());

    Variant field;
    filled = false;
    difference = "not checked";
    host->call("Fill", {Arg::ref(field)});  // never fails, whatever the host wrote
    host->call("Fill", {Arg::ref(field)});
    if (!difference.empty())
      std::printf("    %s through a reference: %s\n", entry.name, difference.c_str());
    CHECK(difference.empty());
  }
  CHECK_EQ(object.references(), 1);
}

TEST_CASE("an object result is reachable, and every interface is released exactly once") {
  FakeDispatch inner({{L"IOSWITCHER_BUS_A", 5}});
  inner.onInvoke = [](DISPID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) {
    result->vt = VT_I2;
    result->iVal = 0;
    return S_OK;
  };
  FakeDispatch outer({{L"IOSwitcher", 1}, {L"Take", 2}});
  IDispatch* passed = nullptr;
  outer.onInvoke = [&](DISPID id, WORD, DISPPARAMS* p, VARIANT* result, EXCEPINFO*, UINT*) {
    if (id == 2) {
      CHECK_EQ(argument(p, 0).vt, VT_DISPATCH);
      passed = argument(p, 0).pdispVal;
      return S_OK;
    }
    result->vt = VT_DISPATCH;
    result->pdispVal = &inner;
    inner.AddRef();  // the result's own reference, which the caller clears
    return S_OK;
  };
  {
    const ObjectRef app = wrap(outer);
    const Variant switcherValue = app->get("IOSwitcher");
    const ObjectRef switcher = switcherValue.toObject();
    CHECK(switcher->get("IOSWITCHER_BUS_A") == Variant(std::int16_t{0}));
    CHECK_EQ(inner.references(), 2);  // the test's and the binding's
    app->call("Take", {Arg(switcherValue)});
    CHECK(passed == &inner);
    CHECK_EQ(inner.references(), 2);
  }
  CHECK_EQ(inner.references(), 1);
  CHECK_EQ(outer.references(), 1);
}

TEST_CASE("an object of another binding cannot be passed to the host") {
  struct Foreign : Object {
    Variant call(std::string_view, orvane::host::Args) override { return {}; }
    Variant get(std::string_view) override { return {}; }
    void put(std::string_view, const Variant&) override {}
  };
  FakeDispatch fake({{L"Take", 1}});
  bool invoked = false;
  fake.onInvoke = [&](DISPID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    invoked = true;
    return S_OK;
  };
  const ObjectRef foreign = std::make_shared<Foreign>();
  CHECK_THROWS(HostError, wrap(fake)->call("Take", {Arg(std::int16_t{1}), Arg(Variant(foreign))}),
               { CHECK(error.hostMessage().find("argument 2") != std::string::npos); });
  CHECK(!invoked);
}

TEST_CASE("the apartment: single-threaded when free, and leaves a multithreaded thread alone") {
  std::thread([] {
    {
      const com::Apartment apartment;
      CHECK(apartment.kind() == com::Apartment::Kind::SingleThreaded);
      const HRESULT again = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      CHECK_EQ(again, S_FALSE);  // already ours
      CoUninitialize();
    }
    const HRESULT after = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CHECK_EQ(after, S_OK);  // the apartment undid its own initialisation
    CoUninitialize();
  }).join();

  std::thread([] {
    REQUIRE(CoInitializeEx(nullptr, COINIT_MULTITHREADED) == S_OK);
    {
      const com::Apartment apartment;
      CHECK(apartment.kind() == com::Apartment::Kind::JoinedMultithreaded);
    }
    const HRESULT still = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CHECK_EQ(still, S_FALSE);  // not uninitialised by the apartment
    CoUninitialize();
    CoUninitialize();
  }).join();
}

TEST_CASE(
    "the busy-host retry installs on a single-threaded apartment and puts back the old filter") {
  std::thread([] {
    const com::Apartment apartment;
    IMessageFilter* before = nullptr;
    CoRegisterMessageFilter(nullptr, &before);
    CHECK(before == nullptr);
    {
      const com::BusyHostRetry retry;
      CHECK(retry.installed());
      IMessageFilter* current = nullptr;
      REQUIRE(SUCCEEDED(CoRegisterMessageFilter(nullptr, &current)));
      REQUIRE(current != nullptr);
      // A host that stays busy is given up on; one busy for a moment is asked again.
      CHECK_EQ(current->RetryRejectedCall(nullptr, 100, SERVERCALL_RETRYLATER), 100u);
      CHECK_EQ(current->RetryRejectedCall(nullptr, 30'000, SERVERCALL_RETRYLATER), DWORD(-1));
      CHECK_EQ(current->RetryRejectedCall(nullptr, 0, SERVERCALL_REJECTED), DWORD(-1));
      IMessageFilter* none = nullptr;
      CoRegisterMessageFilter(current, &none);  // put it back for the retry to remove
      current->Release();
    }
    IMessageFilter* after = nullptr;
    CoRegisterMessageFilter(nullptr, &after);
    CHECK(after == nullptr);
  }).join();

  std::thread([] {
    REQUIRE(CoInitializeEx(nullptr, COINIT_MULTITHREADED) == S_OK);
    {
      const com::BusyHostRetry retry;
      CHECK(!retry.installed());
    }  // message filters belong to single-threaded apartments
    CoUninitialize();
  }).join();
}

TEST_CASE("creating an object by an unregistered ProgID fails with the ProgID") {
  const com::Apartment apartment;
  CHECK_THROWS(HostError, com::comFactory()("Orvane.NoSuchProgId"), {
    CHECK_EQ(error.member(), std::string("Orvane.NoSuchProgId"));
    CHECK(error.hostMessage().find("0x800401F3") != std::string::npos);  // invalid class string
  });
}

CHECK_MAIN
