// The test automation server: an out-of-process COM server that offers the simulated host under
// the host's ProgID, so that the real COM binding can be tested across a process boundary. Its
// IDispatch is written by hand: names become DISPIDs from one table, Invoke reaches the simulated
// objects, a HostError becomes DISP_E_EXCEPTION with its text, and sub-objects go out as
// VT_DISPATCH. Members named TEST_... on the application object let a test look inside and arm
// faults. An idle watchdog ends the process when its clients have gone or stopped calling.
//
// A member can be made to never return, as a host does that has stopped answering: by TEST_Hang
// (member, calls to answer first), or, for a client that a test does not control (the panel
// program), by the values HangMember and HangAfterCalls under HKCU\Software\Orvane\TestServer,
// read when the client creates the application. A hung call holds the server's only thread; the
// process ends by itself HungLifetimeMs later.
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/com/ComSupport.h"
#include "host/com/DispatchObject.h"
#include "host/sim/SimulatedHost.h"
#include "tests/windows/TestServerIds.h"

namespace {

using namespace orvane::host;
namespace com = orvane::host::com;

// How long the server waits after its last object went before it exits, how long it lets a client
// hold objects without calling, and how long it runs at most.
constexpr ULONGLONG LingerMs = 2000;
constexpr ULONGLONG IdleLimitMs = 60'000;
constexpr ULONGLONG NobodyCameMs = 30'000;
constexpr ULONGLONG LifetimeLimitMs = 10 * 60'000;
constexpr DWORD HungLifetimeMs = 60'000;
constexpr wchar_t HangKey[] = L"Software\\Orvane\\TestServer";

std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};
ULONGLONG lastActivity = 0;
ULONGLONG lastRelease = 0;
bool everServed = false;

// Every member either object answers to; the DISPID is the position plus one.
const wchar_t* const MemberNames[] = {
    L"IOSwitcher",
    L"IsInitialised",
    L"Sleep",
    L"ORVANE_ShowErrorMessages",
    L"ORVANE_Reset",
    L"SWITCHER_RemoveArray",
    L"SWITCHER_DefineArray",
    L"SWITCHER_ClearChannels",
    L"IOSWITCHER_AddToArray",
    L"SWITCHER_AddChannel",
    L"SWITCHER_RemoveChannel",
    L"SWITCHER_NotChannel",
    L"SWITCHER_ExclusiveChannel",
    L"SWITCHER_Balance",
    L"IOSWITCHER_BusLoad",
    L"IOSWITCHER_GetBusDC",
    L"IOSWITCHER_GetFullStatus",
    L"IOSWITCHER_BUS_A",
    L"IOSWITCHER_BUS_B",
    L"IOSWITCHER_GROUP_X",
    L"IOSWITCHER_GROUP_Y",
    L"TEST_ProcessId",
    L"TEST_InjectFault",
    L"TEST_StatusWord",
    L"TEST_Echo",
    L"TEST_LiveObjects",
    L"TEST_Hang",
};
constexpr DISPID MemberCount = static_cast<DISPID>(sizeof MemberNames / sizeof MemberNames[0]);

// One client's simulated application: every CreateInstance gets a fresh one.
struct Session {
  sim::SimulatedHost host;
  std::string hangMember;  // empty: every member answers
  long answersBeforeHang = 0;

  // Counts a call of `member`; true when this one is to hang.
  bool hangs(const std::string& member) {
    if (hangMember.empty() || _stricmp(member.c_str(), hangMember.c_str()) != 0) return false;
    if (answersBeforeHang > 0) {
      --answersBeforeHang;
      return false;
    }
    return true;
  }
};

// The hang the test's registry values ask for, if any.
void readHangSettings(Session& session) {
  wchar_t member[128] = {};
  DWORD size = sizeof member;
  if (RegGetValueW(HKEY_CURRENT_USER, HangKey, L"HangMember", RRF_RT_REG_SZ, nullptr, member,
                   &size) != ERROR_SUCCESS) {
    return;
  }
  session.hangMember = com::toUtf8(std::wstring_view(member));
  DWORD after = 0;
  size = sizeof after;
  if (RegGetValueW(HKEY_CURRENT_USER, HangKey, L"HangAfterCalls", RRF_RT_REG_DWORD, nullptr, &after,
                   &size) == ERROR_SUCCESS) {
    session.answersBeforeHang = static_cast<long>(after);
  }
}

// Never answers: the caller waits until it gives up; the process ends some time later.
[[noreturn]] void hangThenExit() {
  Sleep(HungLifetimeMs);
  ExitProcess(5);
}

void setException(EXCEPINFO* info, const std::string& text) {
  if (!info) return;
  *info = EXCEPINFO{};
  info->bstrSource = SysAllocString(L"Orvane test host");
  info->bstrDescription = com::Bstr(com::toWide(text)).release();
  info->scode = E_FAIL;
}

class ServerDispatch final : public IDispatch {
 public:
  ServerDispatch(std::shared_ptr<Session> session, ObjectRef target, bool application)
      : session_(std::move(session)), target_(std::move(target)), application_(application) {
    ++liveObjects;
    everServed = true;
  }
  ~ServerDispatch() {
    --liveObjects;
    lastRelease = GetTickCount64();
  }
  ServerDispatch(const ServerDispatch&) = delete;
  ServerDispatch& operator=(const ServerDispatch&) = delete;

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
  ULONG STDMETHODCALLTYPE Release() override {
    const long left = --references_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    lastActivity = GetTickCount64();
    if (!names || !ids || count == 0) return E_INVALIDARG;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    for (DISPID id = 0; id < MemberCount; ++id) {
      if (_wcsicmp(names[0], MemberNames[id]) == 0) ids[0] = id + 1;
    }
    if (ids[0] == DISPID_UNKNOWN || count > 1) hr = DISP_E_UNKNOWNNAME;  // no named arguments
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) override;

 private:
  Variant testMember(const std::string& name, Args args);
  void toVariant(const Variant& value, VARIANT& slot, const std::string& member);

  std::shared_ptr<Session> session_;
  ObjectRef target_;
  bool application_;
  std::atomic<long> references_{1};
};

void ServerDispatch::toVariant(const Variant& value, VARIANT& slot, const std::string& member) {
  if (value.kind() == Variant::Kind::Object) {
    slot.pdispVal = new ServerDispatch(session_, value.toObject(), false);
    slot.vt = VT_DISPATCH;
    return;
  }
  com::toVariant(value, slot, member, 0);
}

Variant ServerDispatch::testMember(const std::string& name, Args args) {
  auto& host = session_->host;
  if (name == "TEST_ProcessId") return Variant(static_cast<std::int32_t>(GetCurrentProcessId()));
  if (name == "TEST_LiveObjects") return Variant(static_cast<std::int32_t>(host.liveObjects()));
  if (name == "TEST_Echo" && args.size() == 1) return args[0].current();
  if (name == "TEST_Hang" && args.size() == 2) {
    session_->hangMember = args[0].current().toText();
    session_->answersBeforeHang = args[1].current().toInt16();
    return Variant(true);
  }
  if (name == "TEST_StatusWord" && args.size() == 2) {
    return Variant(static_cast<std::int32_t>(
        host.statusWord(args[0].current().toInt16(), args[1].current().toInt16())));
  }
  if (name == "TEST_InjectFault" && args.size() == 4) {
    const auto kind = static_cast<sim::FaultKind>(args[1].current().toInt16());
    host.injectFault(
        args[0].current().toText(),
        sim::FaultSpec(kind, args[2].current().toInt16(), {}, {}, args[3].current().toText()));
    return Variant(true);
  }
  throw HostError(name, "wrong arguments for a test member");
}

HRESULT ServerDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
  lastActivity = GetTickCount64();
  if (id < 1 || id > MemberCount) return DISP_E_MEMBERNOTFOUND;
  if (!params) return E_INVALIDARG;
  const std::string name = com::toUtf8(std::wstring_view(MemberNames[id - 1]));
  if (session_->hangs(name)) hangThenExit();
  const bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  if (isPut && (params->cArgs != 1 || params->cNamedArgs != 1 ||
                params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)) {
    return DISP_E_PARAMNOTFOUND;
  }
  if (!isPut && params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;

  try {
    if (isPut) {
      target_->put(name, com::fromVariant(params->rgvarg[0], name));
      return S_OK;
    }
    // The arguments in call order; by-reference ones through storage of their own, written back
    // when the member returns.
    const UINT count = params->cArgs;
    std::vector<std::int16_t> shorts(count);
    std::unique_ptr<bool[]> flagsStorage(new bool[count]());
    std::vector<Variant> variants(count);
    std::vector<Arg> args;
    args.reserve(count);
    for (UINT i = 0; i < count; ++i) {
      VARIANT& v = params->rgvarg[count - 1 - i];
      if (v.vt == (VT_BYREF | VT_I2)) {
        shorts[i] = *v.piVal;
        args.push_back(Arg::ref(shorts[i]));
      } else if (v.vt == (VT_BYREF | VT_BOOL)) {
        flagsStorage[i] = *v.pboolVal != VARIANT_FALSE;
        args.push_back(Arg::ref(flagsStorage[i]));
      } else if (v.vt == (VT_BYREF | VT_VARIANT)) {
        variants[i] = com::fromVariant(*v.pvarVal, name);
        args.push_back(Arg::ref(variants[i]));
      } else if (v.vt & VT_BYREF) {
        if (argumentError) *argumentError = count - 1 - i;
        return DISP_E_TYPEMISMATCH;
      } else {
        args.push_back(Arg(com::fromVariant(v, name)));
      }
    }
    Variant returned;
    if (application_ && name.rfind("TEST_", 0) == 0) {
      returned = testMember(name, args);
    } else if (count == 0) {
      returned = target_->get(name);
    } else {
      returned = target_->call(name, Args(args.data(), args.size()));
    }
    for (UINT i = 0; i < count; ++i) {
      VARIANT& v = params->rgvarg[count - 1 - i];
      if (v.vt == (VT_BYREF | VT_I2)) {
        *v.piVal = shorts[i];
      } else if (v.vt == (VT_BYREF | VT_BOOL)) {
        *v.pboolVal = flagsStorage[i] ? VARIANT_TRUE : VARIANT_FALSE;
      } else if (v.vt == (VT_BYREF | VT_VARIANT)) {
        VariantClear(v.pvarVal);
        toVariant(variants[i], *v.pvarVal, name);
      }
    }
    if (result) toVariant(returned, *result, name);
    return S_OK;
  } catch (const HostError& error) {
    setException(exception, error.hostMessage());
  } catch (const std::exception& error) {
    setException(exception, error.what());
  }
  return DISP_E_EXCEPTION;
}

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives as long as the process
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    lastActivity = GetTickCount64();
    try {
      auto session = std::make_shared<Session>();
      readHangSettings(*session);
      ObjectRef application = session->host.factory()("Qelvix.Application");
      auto* object = new ServerDispatch(std::move(session), std::move(application), true);
      const HRESULT hr = object->QueryInterface(iid, out);
      object->Release();
      return hr;
    } catch (const std::exception&) {
      return E_OUTOFMEMORY;
    }
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++serverLocks;
    } else {
      --serverLocks;
      lastRelease = GetTickCount64();
    }
    return S_OK;
  }
};

bool timeToGo(ULONGLONG started) {
  const ULONGLONG now = GetTickCount64();
  if (now - started > LifetimeLimitMs) return true;
  if (!everServed) return now - started > NobodyCameMs;
  if (liveObjects == 0 && serverLocks == 0) return now - lastRelease > LingerMs;
  return now - lastActivity > IdleLimitMs;  // a client that died holding references
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  // Single use: every client gets a server process of its own, so that killing one (as the tests
  // do) leaves no registration behind that the next activation would trip over.
  static Factory factory;
  DWORD cookie = 0;
  HRESULT hr = CoRegisterClassObject(orvane::testing::TestServerClsid, &factory,
                                     CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE, &cookie);
  if (FAILED(hr)) {
    CoUninitialize();
    return 3;
  }
  const ULONGLONG started = GetTickCount64();
  lastActivity = started;
  SetTimer(nullptr, 0, 200, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER && message.hwnd == nullptr && timeToGo(started)) break;
    DispatchMessageW(&message);
  }
  CoRevokeClassObject(cookie);
  CoUninitialize();
  return 0;
}
