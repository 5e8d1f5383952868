// The test automation server: an out-of-process COM server that offers the simulated host under
// the host's ProgID, so that the real COM binding can be tested across a process boundary. Its
// IDispatch is written by hand: names become DISPIDs from one table, Invoke reaches the simulated
// objects, a HostError becomes DISP_E_EXCEPTION with its text, and sub-objects go out as
// VT_DISPATCH. Members named TEST_... on the application object let a test look inside and arm
// faults. An idle watchdog ends the process when its clients have gone or stopped calling.
// The pass-through probe: TEST_Sample serves one value of every automation type, TEST_SameAsSample
// says whether a value that came back is that value bit for bit, and TEST_Probe makes the switcher
// serve a sample as its constants and write it into by-reference outs, and check what comes back.
//
// A member can be made to never return, as a host does that has stopped answering: by TEST_Hang
// (member, calls to answer first), or, for a client that a test does not control (the panel
// program), by the values HangMember and HangAfterCalls under HKCU\Software\Orvane\TestServer,
// read when the client creates the application. A hung call holds the server's only thread; the
// process ends by itself HungLifetimeMs later.
//
// A host that starts slowly, by the values StartDelayMs (creating the application takes that long)
// and ReadyAfterMs (IsInitialised says False until then) there too; SleepMs makes every Sleep take
// that long, whatever its argument. OtherClientMs plays another client of the host, which toggles
// the next channel of bus B by itself every so many milliseconds. With LogFile set, the server
// writes one line for every member called and every object released, for a test to read.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/com/ComSupport.h"
#include "host/com/DispatchObject.h"
#include "host/sim/SimulatedHost.h"
#include "tests/windows/AutomationSamples.h"
#include "tests/windows/FakeDispatch.h"
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
std::FILE* callLog = nullptr;  // LogFile, when a test asks for one

void logLine(const std::string& line) {
  if (!callLog) return;
  std::fprintf(callLog, "%s\n", line.c_str());
  std::fflush(callLog);
}

// A DWORD of the test's registry values, or `otherwise`.
DWORD registryNumber(const wchar_t* name, DWORD otherwise) {
  DWORD value = 0;
  DWORD size = sizeof value;
  return RegGetValueW(HKEY_CURRENT_USER, HangKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) ==
                 ERROR_SUCCESS
             ? value
             : otherwise;
}

sim::SimConfig startSettings() {
  sim::SimConfig config;
  config.createDelay = std::chrono::milliseconds(registryNumber(L"StartDelayMs", 0));
  config.readyAfter = std::chrono::milliseconds(registryNumber(L"ReadyAfterMs", 0));
  config.otherClientEvery = std::chrono::milliseconds(registryNumber(L"OtherClientMs", 0));
  if (const DWORD sleepMs = registryNumber(L"SleepMs", MAXDWORD); sleepMs != MAXDWORD) {
    config.sleepTakes = std::chrono::milliseconds(sleepMs);
  }
  return config;
}

// One argument as the call log writes it: numbers and booleans as such, text in double quotes,
// a reference as the value it holds.
std::string argumentText(const VARIANT& given) {
  const VARIANT& value =
      given.vt == (VT_BYREF | VT_VARIANT) && given.pvarVal ? *given.pvarVal : given;
  char number[64];
  switch (value.vt & ~VT_BYREF) {
    case VT_EMPTY:
      return "Empty";
    case VT_I2:
      return std::to_string((value.vt & VT_BYREF) ? *value.piVal : value.iVal);
    case VT_I4:
      return std::to_string((value.vt & VT_BYREF) ? *value.plVal : value.lVal);
    case VT_R8:
      std::snprintf(number, sizeof number, "%g",
                    (value.vt & VT_BYREF) ? *value.pdblVal : value.dblVal);
      return number;
    case VT_BOOL:
      return ((value.vt & VT_BYREF) ? *value.pboolVal : value.boolVal) ? "True" : "False";
    case VT_BSTR: {
      const BSTR text = (value.vt & VT_BYREF) ? *value.pbstrVal : value.bstrVal;
      // Built piece by piece: "\"" + std::string&& trips GCC 12's -Wrestrict when optimised.
      std::string quoted(1, '"');
      quoted += com::toUtf8(std::wstring_view(text ? text : L"", text ? SysStringLen(text) : 0));
      quoted += '"';
      return quoted;
    }
    default:
      return "?";
  }
}

// "NAME(a, b, c)": DISPPARAMS holds the arguments last first.
std::string callText(const std::string& name, const DISPPARAMS& params) {
  std::string text = name + "(";
  for (UINT i = params.cArgs; i > 0; --i) {
    text += argumentText(params.rgvarg[i - 1]) + (i > 1 ? ", " : "");
  }
  return text + ")";
}

void openCallLog() {
  wchar_t path[MAX_PATH] = {};
  DWORD size = sizeof path;
  if (callLog || RegGetValueW(HKEY_CURRENT_USER, HangKey, L"LogFile", RRF_RT_REG_SZ, nullptr, path,
                              &size) != ERROR_SUCCESS) {
    return;
  }
  callLog = _wfopen(path, L"ab");
}

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
    L"TEST_SampleCount",
    L"TEST_SampleName",
    L"TEST_Sample",
    L"TEST_SameAsSample",
    L"TEST_Probe",
    L"TEST_ProbeChecks",
    L"TEST_ProbeMismatches",
    L"TEST_Hang",
};
constexpr DISPID MemberCount = static_cast<DISPID>(sizeof MemberNames / sizeof MemberNames[0]);

// What the probe serves and checks. Roles, as TEST_Probe's second argument adds them up.
enum ProbeRole {
  ProbeConstants = 1,
  ProbeResetInfo = 2,
  ProbeStatusWords = 4,
  ProbeDcReadings = 8
};

struct Probe {
  int sample = -1;  // none armed
  int roles = 0;
  int checks = 0;
  std::string mismatches;
  // Outs holding the sample, by member, position and (for the bus readings) the bus's own value.
  std::set<std::tuple<std::string, UINT, LONG>> filled;
};

// One client's simulated application: every CreateInstance gets a fresh one.
struct Session {
  sim::SimulatedHost host{startSettings()};
  Probe probe;
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

// The object of the interface samples; it lives as long as the process.
orvane::testing::FakeDispatch sampleObject({});

void fillSample(int index, VARIANT& slot) {
  const auto& all = orvane::testing::automationSamples();
  if (index < 0 || index >= static_cast<int>(all.size())) {
    throw HostError("TEST_Sample", "no sample " + std::to_string(index));
  }
  all[static_cast<std::size_t>(index)].fill(slot, &sampleObject);
}

// The argument in call order (DISPPARAMS holds them last first).
VARIANT& argumentAt(DISPPARAMS* params, UINT position) {
  return params->rgvarg[params->cArgs - 1 - position];
}

int intArgument(DISPPARAMS* params, UINT position) {
  com::VariantValue converted;
  if (position >= params->cArgs ||
      FAILED(VariantChangeType(converted.get(), &argumentAt(params, position), 0, VT_I4))) {
    throw HostError("TEST_", "argument " + std::to_string(position + 1) + " is no number");
  }
  return converted.get()->lVal;
}

void setBool(VARIANT* result, bool value) {
  if (!result) return;
  result->vt = VT_BOOL;
  result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void setText(VARIANT* result, const std::string& text) {
  if (!result) return;
  result->bstrVal = com::Bstr(com::toWide(text)).release();
  result->vt = VT_BSTR;
}

bool isConstant(const std::string& name) {
  return name == "IOSWITCHER_BUS_A" || name == "IOSWITCHER_BUS_B" || name == "IOSWITCHER_GROUP_X" ||
         name == "IOSWITCHER_GROUP_Y";
}

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
    logLine(application_ ? "release application" : "release object");
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
  std::optional<HRESULT> sampleMember(const std::string& name, DISPPARAMS* params, VARIANT* result);
  std::optional<HRESULT> probeMember(const std::string& name, DISPPARAMS* params, VARIANT* result);
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

// The members that deal in raw VARIANTs, answered before any conversion.
std::optional<HRESULT> ServerDispatch::sampleMember(const std::string& name, DISPPARAMS* params,
                                                    VARIANT* result) {
  const auto& all = orvane::testing::automationSamples();
  Probe& probe = session_->probe;
  if (name == "TEST_SampleCount") {
    if (result) {
      result->vt = VT_I4;
      result->lVal = static_cast<LONG>(all.size());
    }
  } else if (name == "TEST_SampleName") {
    const int index = intArgument(params, 0);
    if (index < 0 || index >= static_cast<int>(all.size())) throw HostError(name, "no sample");
    setText(result, all[static_cast<std::size_t>(index)].name);
  } else if (name == "TEST_Sample") {
    if (result) fillSample(intArgument(params, 0), *result);
  } else if (name == "TEST_SameAsSample") {
    if (params->cArgs != 2) throw HostError(name, "wrong arguments for a test member");
    com::VariantValue sample;
    fillSample(intArgument(params, 0), *sample.get());
    setText(result, orvane::testing::differenceOf(*sample.get(), argumentAt(params, 1)));
  } else if (name == "TEST_Probe") {
    probe = Probe{};
    probe.sample = intArgument(params, 0);
    probe.roles = intArgument(params, 1);
  } else if (name == "TEST_ProbeChecks") {
    if (result) {
      result->vt = VT_I4;
      result->lVal = probe.checks;
    }
  } else if (name == "TEST_ProbeMismatches") {
    setText(result, probe.mismatches);
  } else {
    return std::nullopt;
  }
  return S_OK;
}

// While a probe is armed, the switcher serves the sample in the armed roles, without the simulated
// host, and checks every value of those roles that comes back against it.
std::optional<HRESULT> ServerDispatch::probeMember(const std::string& name, DISPPARAMS* params,
                                                   VARIANT* result) {
  Probe& probe = session_->probe;
  const auto check = [&](UINT position, const VARIANT& value) {
    com::VariantValue sample;
    fillSample(probe.sample, *sample.get());
    ++probe.checks;
    const std::string difference = orvane::testing::differenceOf(*sample.get(), value);
    if (!difference.empty()) {
      probe.mismatches +=
          name + " argument " + std::to_string(position + 1) + ": " + difference + "\n";
    }
  };
  // An out: what comes back in it is checked once the probe has written there, then it gets the
  // sample (again).
  const auto out = [&](UINT position) {
    VARIANT& slot = argumentAt(params, position);
    if (slot.vt != (VT_BYREF | VT_VARIANT) || !slot.pvarVal) {
      probe.mismatches +=
          name + " argument " + std::to_string(position + 1) + ": not a by-reference Variant\n";
      return;
    }
    // The controller reads both buses into fields of their own: tell them apart by the bus the
    // simulated host's constant names (the probe's own constants cannot be told apart).
    const VARIANT& bus = argumentAt(params, 1);
    const auto key = std::make_tuple(
        name, position, name == "IOSWITCHER_GetBusDC" && bus.vt == VT_I2 ? LONG{bus.iVal} : -1);
    if (probe.filled.count(key) != 0) check(position, *slot.pvarVal);
    VariantClear(slot.pvarVal);
    fillSample(probe.sample, *slot.pvarVal);
    probe.filled.insert(key);
  };
  const bool constants = (probe.roles & ProbeConstants) != 0;
  if (constants && isConstant(name) && params->cArgs == 0) {
    if (result) fillSample(probe.sample, *result);
    return S_OK;
  }
  if (constants && name == "IOSWITCHER_AddToArray" && params->cArgs == 4) {
    check(1, argumentAt(params, 1));
    check(2, argumentAt(params, 2));
    return S_OK;
  }
  if (constants && name == "IOSWITCHER_BusLoad" && params->cArgs == 3) {
    check(1, argumentAt(params, 1));
    setBool(result, true);
    return S_OK;
  }
  const bool dc = (probe.roles & ProbeDcReadings) != 0;
  if ((constants || dc) && name == "IOSWITCHER_GetBusDC" && params->cArgs == 4) {
    if (constants) check(1, argumentAt(params, 1));
    for (UINT position : {2u, 3u}) {
      VARIANT& slot = argumentAt(params, position);
      if (dc) {
        out(position);
      } else if (slot.vt == (VT_BYREF | VT_VARIANT) && slot.pvarVal) {
        VariantClear(slot.pvarVal);
        slot.pvarVal->vt = VT_R8;
        slot.pvarVal->dblVal = 0.0;
      }
    }
    setBool(result, true);
    return S_OK;
  }
  if ((probe.roles & ProbeResetInfo) != 0 && name == "ORVANE_Reset" && params->cArgs == 3) {
    out(2);
    setBool(result, true);
    return S_OK;
  }
  if ((probe.roles & ProbeStatusWords) != 0 && name == "IOSWITCHER_GetFullStatus" &&
      params->cArgs == 3) {
    out(1);
    out(2);
    setBool(result, true);
    return S_OK;
  }
  return std::nullopt;
}

HRESULT ServerDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
  lastActivity = GetTickCount64();
  if (id < 1 || id > MemberCount) return DISP_E_MEMBERNOTFOUND;
  if (!params) return E_INVALIDARG;
  const std::string name = com::toUtf8(std::wstring_view(MemberNames[id - 1]));
  logLine("call " + callText(name, *params));
  if (session_->hangs(name)) hangThenExit();
  const bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  if (isPut && (params->cArgs != 1 || params->cNamedArgs != 1 ||
                params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)) {
    return DISP_E_PARAMNOTFOUND;
  }
  if (!isPut && params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;

  try {
    if (!isPut) {
      const auto answered =
          application_
              ? sampleMember(name, params, result)
              : (session_->probe.sample >= 0 ? probeMember(name, params, result) : std::nullopt);
      if (answered) return *answered;
    }
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
      openCallLog();
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
