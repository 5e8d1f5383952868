// The fuzz driver: one input is one run of the program. The bytes are read as a small program of
// operator events, operator answers and host faults; after every event the run is checked against
// the invariants below. Every check reads what the program shows (headless view), what it sent to
// the host (recording log) and what the host holds (simulator), never the controller's internals
// alone.
//
// Invariants checked after every event:
//  - Switcher_Address lies in 0..64 and, once start-up has chosen it, never changes;
//  - every channel sent to a switching member lies in 1..16;
//  - after an event that ends with a status poll, the channel states, relay flags and button
//    colours agree with the status words the poll read;
//  - while the run goes on: colours agree with the flags, the enabled buttons with the link mode,
//    the window caption with Title_Text, and the DC readouts with DC_On and the last readings;
//  - an event delivered while another one runs (during a host call or a modal box) is dropped;
//  - no event makes an unbounded number of host calls or polls;
//  - each host object is released at most once while the run goes on and exactly once in all;
//    Form_Unload never runs after the program ended at once;
//  - once the run has ended, no host call (other than a release) and no view operation happens.
#include "tests/reliability/fuzz/ControllerFuzz.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "tests/support/ControllerBench.h"

namespace orvane::reliability {

namespace {
void printAndAbort(const std::string& description) {
  std::fprintf(stderr, "broken invariant: %s\n", description.c_str());
  std::abort();
}
}  // namespace

void (*onInvariantBroken)(const std::string& description) = printAndAbort;

namespace {

FuzzStats stats;

using host::Variant;
using host::recording::HostCall;
using host::sim::FaultKind;
using host::sim::FaultSpec;
using panel::ControlName;
using testing::ControllerBench;
namespace colour = panel::colour;

// More host accesses than any sound event needs (a reset click with a nested re-initialisation
// chain makes well under a hundred); a loop that goes past it is taken as unbounded.
constexpr long CallBudgetPerEvent = 20000;
// Polls per event: start-up has three top-level polls, each with at most three nested ones.
constexpr int PollBudgetPerEvent = 16;
// Operations read from one input; longer inputs are cut here to keep executions fast.
constexpr int MaxOperations = 300;

// Reads the input byte by byte; past its end every read gives zero.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool exhausted() const { return pos_ >= size_; }
  std::uint8_t byte() { return exhausted() ? 0 : data_[pos_++]; }
  int below(int n) { return byte() % n; }
  std::uint32_t u32() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = value << 8 | byte();
    return value;
  }
  double f64() {
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits = bits << 8 | byte();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  std::string text(int maxLength) {
    const int length = below(maxLength + 1);
    std::string result;
    for (int i = 0; i < length && !exhausted(); ++i) result.push_back(static_cast<char>(byte()));
    return result;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

const char* const AddressTexts[] = {
    "0",     "5",     "64",    "63",     "3",      "70",    "-5",       "abc",      "3.6",
    "2.5",   "",      " 12 ",  "+7",     "1e1",    "1e400", "-1e400",   "NaN",      "inf",
    "0x10",  "1,000", "32768", "-32769", "65",     "12abc", "\x01",     "\xd9\xa3", "\t9\t",
    "1.5e1", ".5",    "5.",    "-0",     "1e-400", "  ",    "\xff\xfe", "2 3",      "1e",
    "--1",   "64.49", "64.5",  "-0.5",   "0.5",    "1.5"};

const char* const Members[] = {"ORVANE_ShowErrorMessages",
                               "ORVANE_Reset",
                               "SWITCHER_RemoveArray",
                               "SWITCHER_DefineArray",
                               "IOSWITCHER_AddToArray",
                               "SWITCHER_AddChannel",
                               "SWITCHER_RemoveChannel",
                               "SWITCHER_ExclusiveChannel",
                               "SWITCHER_NotChannel",
                               "SWITCHER_ClearChannels",
                               "SWITCHER_Balance",
                               "IOSWITCHER_BusLoad",
                               "IOSWITCHER_GetFullStatus",
                               "IOSWITCHER_GetBusDC",
                               "IOSWITCHER_BUS_A",
                               "IOSWITCHER_BUS_B",
                               "IOSWITCHER_GROUP_X",
                               "IOSWITCHER_GROUP_Y",
                               "IsInitialised",
                               "IOSwitcher",
                               "Sleep"};

const char* const ReadMembers[] = {"ORVANE_Reset",           "IOSWITCHER_GetFullStatus",
                                   "IOSWITCHER_GetBusDC",    "SWITCHER_AddChannel",
                                   "SWITCHER_RemoveChannel", "SWITCHER_ExclusiveChannel",
                                   "SWITCHER_NotChannel",    "IOSWITCHER_BusLoad"};

const char* const ChannelMembers[] = {"SWITCHER_AddChannel", "SWITCHER_RemoveChannel",
                                      "SWITCHER_ExclusiveChannel", "SWITCHER_NotChannel"};

// The odd values a host may hand back, as results or through references.
Variant oddVariant(Bytes& in) {
  constexpr double Inf = std::numeric_limits<double>::infinity();
  switch (in.below(40)) {
    case 0:
      return Variant();
    case 1:
      return Variant(true);
    case 2:
      return Variant(false);
    case 3:
      return Variant(std::int16_t{0});
    case 4:
      return Variant(std::int16_t{1});
    case 5:
      return Variant(std::int16_t{-1});
    case 6:
      return Variant(std::int32_t{5});
    case 7:
      return Variant(std::int32_t{0x3FFFF});
    case 8:
      return Variant(std::int32_t{0x40000});
    case 9:
      return Variant(std::int32_t{0x10000});
    case 10:
      return Variant(std::int32_t{0x20000});
    case 11:
      return Variant(0.5);
    case 12:
      return Variant(5.5);
    case 13:
      return Variant(-0.5);
    case 14:
      return Variant(6.0);
    case 15:
      return Variant(6.01);
    case 16:
      return Variant(-6.01);
    case 17:
      return Variant(9.0);
    case 18:
      return Variant(std::nan(""));
    case 19:
      return Variant(Inf);
    case 20:
      return Variant(-Inf);
    case 21:
      return Variant(1e300);
    case 22:
      return Variant(-1e300);
    case 23:
      return Variant(1e10);
    case 24:
      return Variant(1e-300);
    case 25:
      return Variant("abc");
    case 26:
      return Variant("5");
    case 27:
      return Variant(" 7 ");
    case 28:
      return Variant("1e400");
    case 29:
      return Variant("");
    case 30:
      return Variant("True");
    case 31:
      return Variant("NaN");
    case 32:
      return Variant(std::int16_t{32767});
    case 33:
      return Variant(std::int16_t{-32768});
    case 34:
      return Variant(std::int16_t{1000});
    case 35:
      return Variant(std::int16_t{17});
    case 36:
      return Variant(std::int16_t{7});
    case 37:
      return Variant(static_cast<std::int32_t>(in.u32()));
    case 38:
      return Variant(in.f64());
    default:
      return Variant(in.text(12));
  }
}

// The bits 0..17 that a status word stands for, or nothing when it is no finite number.
std::optional<std::uint32_t> expectedBits(const Variant& word) {
  double value;
  try {
    value = word.toNumber();
  } catch (const host::AutomationError&) {
    return std::nullopt;
  }
  if (!std::isfinite(value)) return std::nullopt;
  if (value < 0) return 0u;
  const double whole = std::floor(value);
  std::uint32_t bits = 0;
  for (int k = 0; k < 18; ++k) {
    if (std::fmod(std::floor(std::ldexp(whole, -k)), 2.0) == 1.0) bits |= 1u << k;
  }
  return bits;
}

enum class Event { BusA, BusB, BalA, LoadA, BalB, LoadB, Reset, Prev, Next, DC, Mode, Tick, Close };

const char* eventName(Event e) {
  static const char* const names[] = {"BusA", "BusB", "BalA", "LoadA", "BalB", "LoadB", "Reset",
                                      "Prev", "Next", "DC",   "Mode",  "Tick", "Close"};
  return names[static_cast<int>(e)];
}

bool endsWithPoll(Event e) {
  switch (e) {
    case Event::BusA:
    case Event::BusB:
    case Event::Reset:
    case Event::Prev:
    case Event::Next:
    case Event::Mode:
      return true;
    default:
      return false;
  }
}

// Something done to the host or the operator in the middle of an operation.
enum class Interference { Kill, Remove, Restore, Tick, Click, Close, Mode, Fault, Count };

class Run {
 public:
  explicit Run(Bytes& in) : in_(in) {}

  std::optional<std::string> play();

 private:
  void configure();
  void startUp();
  void operation();
  void event(Event e, std::int16_t arg = 0);
  bool send(Event e, std::int16_t arg);
  void interfere(Interference what, std::int16_t arg);
  void injectFault();
  void afterEvent(Event e, bool handled, std::size_t logBefore, std::size_t opsBefore,
                  bool endedBefore);
  void checkShownState();
  void checkPollAgreement();
  void checkReleases(bool final);
  void broke(const std::string& what);
  std::vector<HostCall> newCalls(std::size_t from) const;

  Bytes& in_;
  std::unique_ptr<ControllerBench> bench_;
  std::shared_ptr<host::recording::CallLog> log_;
  std::optional<std::string> broken_;
  std::string where_ = "configuring";
  int operationCount_ = 0;

  // Budgets of the event now running.
  long eventCalls_ = 0;
  int eventPolls_ = 0;
  bool budgetExceeded_ = false;

  // The interference armed for the middle of a host call, and for an open modal box.
  int callCountdown_ = 0;
  Interference callAction_ = Interference::Kill;
  std::int16_t callArg_ = 0;
  int boxesToDisturb_ = 0;
  Interference boxAction_ = Interference::Tick;
  std::int16_t boxArg_ = 0;
  bool inEvent_ = false;
  bool channelWritesArmed_ = false;  // a fault may write through a channel reference

  // Where the run ended at once, if it did: the log and the view must not grow past it.
  std::optional<std::pair<std::size_t, std::size_t>> endedAtOnceAt_;
  std::optional<std::int16_t> chosenAddress_;
};

void Run::broke(const std::string& what) {
  if (!broken_) {
    broken_ = "operation " + std::to_string(operationCount_) + " (" + where_ + "): " + what;
  }
}

std::vector<HostCall> Run::newCalls(std::size_t from) const {
  const auto& calls = log_->calls();
  return {calls.begin() + static_cast<std::ptrdiff_t>(std::min(from, calls.size())), calls.end()};
}

void Run::configure() {
  host::sim::SimConfig config;
  config.addresses.clear();
  for (int address = 0; address <= 64; ++address) config.addresses.insert(address);
  config.sleepsUntilInitialised = in_.below(4);
  config.seed = in_.byte();
  bench_ = std::make_unique<ControllerBench>(config);
  log_ = bench_->log;

  auto& services = bench_->services;
  const int choice = in_.below(64);
  constexpr int Known = sizeof AddressTexts / sizeof AddressTexts[0];
  if (choice < Known) {
    services.addressAnswers.push_back(AddressTexts[choice]);
  } else if (choice < 62) {
    services.addressAnswers.push_back(in_.text(40));
  } else if (choice == 62) {
    services.addressAnswers.push_back(std::string(10000, static_cast<char>(in_.byte())));
  }  // 63: the operator accepts the default

  services.endAtOnceHook = [this] {
    endedAtOnceAt_ = {log_->calls().size(), bench_->view.operations().size()};
  };

  bench_->sim.setCallHook([this](const std::string& member) {
    if (!inEvent_) return;
    if (++eventCalls_ > CallBudgetPerEvent && !budgetExceeded_) {
      budgetExceeded_ = true;
      broke("more than " + std::to_string(CallBudgetPerEvent) + " host calls in one event");
      bench_->sim.kill();  // so that the loop ends and the run can be reported
    }
    if (member == "IOSWITCHER_GetFullStatus") ++eventPolls_;
    if (callCountdown_ > 0 && --callCountdown_ == 0) interfere(callAction_, callArg_);
  });
  services.whileBoxOpen = [this] {
    if (boxesToDisturb_ > 0) {
      --boxesToDisturb_;
      interfere(boxAction_, boxArg_);
    }
  };
}

void Run::injectFault() {
  // Half the faults go to the members whose results and outs the controller reads.
  const std::string member =
      in_.below(2) ? ReadMembers[in_.below(sizeof ReadMembers / sizeof ReadMembers[0])]
                   : Members[in_.below(sizeof Members / sizeof Members[0])];
  const auto kind = static_cast<FaultKind>(in_.below(3));
  const int c = in_.below(8);
  int count = c < 6 ? c + 1 : FaultSpec::Always;
  // The start-up wait has no limit by design: a permanent False from IsInitialised, or a Sleep
  // that never lets the host get ready, would hang any correct program.
  if ((member == "IsInitialised" || member == "Sleep") && count == FaultSpec::Always) {
    count = 3;
  }
  Variant result = oddVariant(in_);
  std::vector<Variant> outs;
  const int outCount = in_.below(4);
  for (int i = 0; i < outCount; ++i) outs.push_back(oddVariant(in_));
  for (const char* channelMember : ChannelMembers) {
    if (member == channelMember && kind == FaultKind::ReturnValue && !outs.empty()) {
      channelWritesArmed_ = true;
    }
  }
  bench_->sim.injectFault(member, FaultSpec(kind, count, std::move(result), std::move(outs)));
}

// Done from inside a host call or an open box: events must be dropped there.
void Run::interfere(Interference what, std::int16_t arg) {
  auto& sim = bench_->sim;
  auto& view = bench_->view;
  const auto address = bench_->state().Switcher_Address;
  bool ranNested = false;
  switch (what) {
    case Interference::Kill:
      sim.kill();
      break;
    case Interference::Remove:
      sim.removeSwitcher(address);
      break;
    case Interference::Restore:
      sim.restoreSwitcher(address);
      break;
    case Interference::Tick:
      ranNested = view.tick();
      break;
    case Interference::Click:
      ranNested = view.click(panel::busButton(arg & 1, (arg >> 1) % 18));
      break;
    case Interference::Close:
      ranNested = view.closeBox();
      break;
    case Interference::Mode:
      ranNested = view.chooseListEntry(static_cast<std::int16_t>(arg % 6));
      break;
    case Interference::Fault:
      sim.injectFault("IOSWITCHER_GetFullStatus", FaultSpec(FaultKind::Raise, 1));
      break;
    case Interference::Count:
      break;
  }
  if (ranNested) broke("an event ran nested inside another one");
}

bool Run::send(Event e, std::int16_t arg) {
  auto& view = bench_->view;
  switch (e) {
    case Event::BusA:
      return view.click({ControlName::BusA, arg});
    case Event::BusB:
      return view.click({ControlName::BusB, arg});
    case Event::BalA:
      return view.click({ControlName::BalA_Button});
    case Event::LoadA:
      return view.click({ControlName::LoadA_Button});
    case Event::BalB:
      return view.click({ControlName::BalB_Button});
    case Event::LoadB:
      return view.click({ControlName::LoadB_Button});
    case Event::Reset:
      return view.click({ControlName::ResetButton});
    case Event::Prev:
      return view.click({ControlName::PrevButton});
    case Event::Next:
      return view.click({ControlName::NextButton});
    case Event::DC:
      return view.click({ControlName::DCButton});
    case Event::Mode:
      return view.chooseListEntry(arg);
    case Event::Tick:
      return view.tick();
    case Event::Close:
      return view.closeBox();
  }
  return false;
}

void Run::event(Event e, std::int16_t arg) {
  where_ = std::string(eventName(e)) + " " + std::to_string(arg);
  const std::size_t logBefore = log_->calls().size();
  const std::size_t opsBefore = bench_->view.operations().size();
  const bool endedBefore = bench_->dispatcher.runEnded();
  eventCalls_ = 0;
  eventPolls_ = 0;
  inEvent_ = true;
  const bool handled = send(e, arg);
  inEvent_ = false;
  if (handled) ++stats.eventsHandled;
  afterEvent(e, handled, logBefore, opsBefore, endedBefore);
}

void Run::startUp() {
  where_ = "start-up";
  const std::size_t logBefore = log_->calls().size();
  const std::size_t opsBefore = bench_->view.operations().size();
  eventCalls_ = 0;
  eventPolls_ = 0;
  inEvent_ = true;
  const bool handled = bench_->view.load();
  inEvent_ = false;
  if (!handled) broke("the load event was dropped");
  afterEvent(Event::Reset, handled, logBefore, opsBefore, false);
  if (!bench_->dispatcher.runEnded()) {
    chosenAddress_ = bench_->state().Switcher_Address;
    stats.panelShown = true;
  }
}

void Run::afterEvent(Event e, bool handled, std::size_t logBefore, std::size_t opsBefore,
                     bool endedBefore) {
  auto& b = *bench_;
  const auto& s = b.state();
  const auto calls = newCalls(logBefore);
  const bool ended = b.dispatcher.runEnded();

  if (s.Switcher_Address < 0 || s.Switcher_Address > 64) {
    broke("Switcher_Address is " + std::to_string(s.Switcher_Address));
  }
  if (chosenAddress_ && !ended && s.Switcher_Address != *chosenAddress_) {
    broke("Switcher_Address changed from " + std::to_string(*chosenAddress_) + " to " +
          std::to_string(s.Switcher_Address));
  }
  // The first channel an event sends is the one the operator chose or stepped to. The engine
  // passes the field by reference and later calls use whatever it holds, so after a host that
  // may write through that reference, only the first is the controller's to keep in range.
  bool firstChannel = true;
  for (const auto& call : calls) {
    if (call.kind != HostCall::Kind::Call) continue;
    for (const char* member : ChannelMembers) {
      if (call.member != member || call.args.size() < 2) continue;
      const bool mine = firstChannel || !channelWritesArmed_;
      firstChannel = false;
      if (!mine) continue;
      std::string channel = call.args[1];
      if (!channel.empty() && channel.front() == '&') channel.erase(0, 1);
      const int n = std::atoi(channel.c_str());
      if (n < 1 || n > 16 || channel != std::to_string(n)) {
        broke("channel " + call.args[1] + " sent in " + call.text());
      }
    }
  }
  if (eventPolls_ > PollBudgetPerEvent) {
    broke(std::to_string(eventPolls_) + " status polls in one event");
  }

  if (endedBefore) {
    if (handled) broke("an event was handled after the run ended");
    for (const auto& call : calls) {
      if (call.kind != HostCall::Kind::Release)
        broke("host call after the run ended: " + call.text());
    }
    if (b.view.operations().size() != opsBefore) broke("view operation after the run ended");
  }
  if (ended && !endedBefore) {
    // Nothing but releases may follow the first release, and nothing may follow the close.
    bool released = false;
    for (const auto& call : calls) {
      if (call.kind == HostCall::Kind::Release) {
        released = true;
      } else if (released) {
        broke("host call after the host was released: " + call.text());
      }
    }
    const auto& ops = b.view.operations();
    for (std::size_t i = opsBefore; i < ops.size(); ++i) {
      if (ops[i] == "Close" && i + 1 != ops.size())
        broke("view operation after the close: " + ops[i + 1]);
    }
  }
  if (endedAtOnceAt_) {
    if (b.controller.unloaded()) broke("Form_Unload ran after the program ended at once");
    for (const auto& call : newCalls(endedAtOnceAt_->first)) {
      if (call.kind != HostCall::Kind::Release)
        broke("host call after ending at once: " + call.text());
    }
    if (b.view.operations().size() != endedAtOnceAt_->second) {
      broke("view operation after ending at once: " + b.view.operations()[endedAtOnceAt_->second]);
    }
  }
  // An unload lets go of the host at once; ending at once leaves it to the teardown below.
  if (ended && b.controller.unloaded() && b.sim.liveObjects() != 0) {
    broke(std::to_string(b.sim.liveObjects()) + " host objects still held after the run ended");
  }
  checkReleases(false);

  if (!ended) {
    checkShownState();
    if (handled && endsWithPoll(e)) checkPollAgreement();
    if (handled && e == Event::Tick && s.DC_On) {
      const std::pair<ControlName, const Variant*> readouts[] = {
          {ControlName::Label4, &s.DC_APlus},
          {ControlName::Label5, &s.DC_AMinus},
          {ControlName::Label6, &s.DC_BPlus},
          {ControlName::Label7, &s.DC_BMinus}};
      for (const auto& [label, reading] : readouts) {
        if (b.view.captionOf({label}) != reading->toText() + "V ") {
          broke("readout " + panel::controlText({label}) + " shows \"" + b.view.captionOf({label}) +
                "\" for " + host::describe(*reading));
        }
      }
    }
    if (handled && e == Event::Tick && !s.DC_On && !calls.empty()) {
      broke("a tick with the DC monitor off called the host: " + calls.front().text());
    }
  }
}

void Run::checkShownState() {
  auto& b = *bench_;
  const auto& s = b.state();
  for (int bus = 0; bus < 2; ++bus) {
    const auto& channels = bus == 0 ? s.BusA_State : s.BusB_State;
    for (int i = 1; i <= 16; ++i) {
      const auto shown = b.view.colourOf(panel::busButton(bus, i));
      if (shown != (channels[static_cast<std::size_t>(i)] ? colour::Green : colour::Grey)) {
        broke(panel::controlText(panel::busButton(bus, i)) + " colour disagrees with its state");
      }
    }
    for (int end : {0, 17}) {
      if (b.view.colourOf(panel::busButton(bus, end)) != colour::White)
        broke("All Off/On repainted");
      if (b.view.enabledOf(panel::busButton(bus, end)) != (s.Link_Mode == 0)) {
        broke("All Off/On enabled state disagrees with mode " + std::to_string(s.Link_Mode));
      }
    }
  }
  const std::pair<ControlName, bool> relays[] = {{ControlName::BalA_Button, s.BalA_On},
                                                 {ControlName::LoadA_Button, s.LoadA_On},
                                                 {ControlName::BalB_Button, s.BalB_On},
                                                 {ControlName::LoadB_Button, s.LoadB_On}};
  for (const auto& [button, on] : relays) {
    if (b.view.colourOf({button}) != (on ? colour::Orange : colour::Grey)) {
      broke(panel::controlText({button}) + " colour disagrees with its flag");
    }
  }
  if (s.Link_Mode != b.view.listIndex()) broke("Link_Mode disagrees with the list");
  for (auto button : {ControlName::PrevButton, ControlName::NextButton}) {
    if (b.view.enabledOf({button}) != (s.Link_Mode != 0)) broke("</> enabled state disagrees");
  }
  if (b.view.windowCaption() != s.Title_Text) broke("window caption disagrees with Title_Text");
  if (!s.DC_On) {
    for (auto label :
         {ControlName::Label4, ControlName::Label5, ControlName::Label6, ControlName::Label7}) {
      if (b.view.captionOf({label}) != "- - V ") broke("readout shows a value with DC off");
    }
  }
  if (b.view.colourOf({ControlName::ResetButton}) != colour::Red) broke("reset button repainted");
}

void Run::checkPollAgreement() {
  const auto& s = bench_->state();
  const Variant* words[] = {&s.StatusA, &s.StatusB};
  for (int bus = 0; bus < 2; ++bus) {
    const auto bits = expectedBits(*words[bus]);
    if (!bits) {
      broke("a poll decoded the non-number " + host::describe(*words[bus]) + " and went on");
      continue;
    }
    const auto& channels = bus == 0 ? s.BusA_State : s.BusB_State;
    for (int i = 1; i <= 16; ++i) {
      if (channels[static_cast<std::size_t>(i)] != (((*bits >> (i - 1)) & 1u) != 0)) {
        broke("channel " + std::to_string(i) + " of bus " + std::to_string(bus) +
              " disagrees with status word " + host::describe(*words[bus]));
      }
    }
    const bool balance = bus == 0 ? s.BalA_On : s.BalB_On;
    const bool load = bus == 0 ? s.LoadA_On : s.LoadB_On;
    if (balance != (((*bits >> 16) & 1u) != 0) || load != (((*bits >> 17) & 1u) != 0)) {
      broke("relay flags of bus " + std::to_string(bus) + " disagree with status word " +
            host::describe(*words[bus]));
    }
  }
}

// Each object the host handed out is released at most once, and at the end exactly once.
void Run::checkReleases(bool final) {
  int created = 0, switchers = 0, appReleases = 0, switcherReleases = 0;
  for (const auto& call : log_->calls()) {
    const bool failed = call.result.rfind("raised:", 0) == 0;
    if (call.kind == HostCall::Kind::Create && !failed) ++created;
    if (call.kind == HostCall::Kind::Get && call.member == "IOSwitcher" && !failed &&
        call.result == "<object>") {
      ++switchers;
    }
    if (call.kind == HostCall::Kind::Release) {
      (call.object == "HostApp" ? appReleases : switcherReleases) += 1;
    }
  }
  if (appReleases > created || switcherReleases > switchers) {
    broke("a host object was released twice");
  }
  if (final && (appReleases != created || switcherReleases != switchers)) {
    broke("a host object was never released");
  }
}

void Run::operation() {
  ++operationCount_;
  auto& b = *bench_;
  const int op = in_.below(40);
  switch (op) {
    case 0:
    case 1:
    case 2:
    case 3:
      return event(Event::BusA, static_cast<std::int16_t>(in_.below(18)));
    case 4:
    case 5:
    case 6:
    case 7:
      return event(Event::BusB, static_cast<std::int16_t>(in_.below(18)));
    case 8:
      return event(Event::BalA);
    case 9:
      return event(Event::LoadA);
    case 10:
      return event(Event::BalB);
    case 11:
      return event(Event::LoadB);
    case 12:
      return event(Event::Reset);
    case 13:
    case 14:
      return event(Event::Prev);
    case 15:
    case 16:
      return event(Event::Next);
    case 17:
    case 18:
      return event(Event::DC);
    case 19:
    case 20:
    case 21:
      return event(Event::Mode, static_cast<std::int16_t>(in_.below(6)));
    case 22:
    case 23: {
      const int ticks = 1 + in_.below(8);
      for (int i = 0; i < ticks && !broken_; ++i) event(Event::Tick);
      return;
    }
    case 24:
      return event(Event::Close);
    case 25:
    case 26:
    case 27:
      where_ = "fault";
      return injectFault();
    case 28:
      where_ = "kill";
      return b.sim.kill();
    case 29:
      where_ = "unplug";
      return b.sim.removeSwitcher(in_.below(2) ? b.state().Switcher_Address : in_.below(66));
    case 30:
      where_ = "plug in";
      return b.sim.restoreSwitcher(in_.below(2) ? b.state().Switcher_Address : in_.below(66));
    case 31:
    case 32: {
      where_ = "answers";
      const std::int16_t answers[] = {4, 2, 1, 0, -1, 7};
      const int n = 1 + in_.below(4);
      for (int i = 0; i < n; ++i) b.services.boxAnswers.push_back(answers[in_.below(6)]);
      return;
    }
    case 33:
    case 34:
      where_ = "arm mid-call";
      callCountdown_ = 1 + in_.below(40);
      callAction_ = static_cast<Interference>(in_.below(static_cast<int>(Interference::Count)));
      callArg_ = static_cast<std::int16_t>(in_.below(64));
      return;
    case 35:
      where_ = "arm box";
      boxesToDisturb_ = 1 + in_.below(3);
      boxAction_ = static_cast<Interference>(in_.below(static_cast<int>(Interference::Count)));
      boxArg_ = static_cast<std::int16_t>(in_.below(64));
      return;
    case 36:
      where_ = "clear faults";
      channelWritesArmed_ = false;
      return b.sim.clearFaults();
    case 37: {
      where_ = "dc";
      const double volts[] = {0.0, 5.9, 6.0, 6.01, -6.01, 9.0, -12.0, 1e6};
      const int channel = 1 + in_.below(16);
      const double plus = volts[in_.below(8)];
      const double minus = volts[in_.below(8)];
      return b.sim.setChannelDc(b.state().Switcher_Address, channel, plus, minus);
    }
    default:
      return event(Event::Tick);
  }
}

std::optional<std::string> Run::play() {
  configure();
  const int faultsBeforeStart = in_.below(4);
  for (int i = 0; i < faultsBeforeStart; ++i) injectFault();
  const int answers = in_.below(4);
  const std::int16_t choices[] = {4, 2, 1, 0};
  for (int i = 0; i < answers; ++i) bench_->services.boxAnswers.push_back(choices[in_.below(4)]);

  startUp();
  // A few operations after the end are enough to see that nothing runs any more.
  int afterEnd = 0;
  while (!in_.exhausted() && !broken_ && operationCount_ < MaxOperations && afterEnd < 8) {
    operation();
    if (bench_->dispatcher.runEnded()) ++afterEnd;
  }
  stats.operations = operationCount_;
  stats.ending = bench_->dispatcher.failure()    ? "failed start"
                 : bench_->controller.unloaded() ? "unload"
                 : bench_->dispatcher.runEnded() ? "at once"
                                                 : "still running";
  if (!broken_ && !bench_->dispatcher.runEnded()) {
    bench_->sim.clearFaults();
    callCountdown_ = 0;
    event(Event::Close);
    if (!bench_->dispatcher.runEnded()) broke("the close box did not end the run");
  }
  where_ = "teardown";
  bench_.reset();  // the controller lets go of whatever it still holds
  checkReleases(true);
  return broken_;
}

}  // namespace

const FuzzStats& lastFuzzStats() {
  return stats;
}

std::optional<std::string> runFuzzInput(const std::uint8_t* data, std::size_t size) {
  stats = FuzzStats{};
  Bytes in(data, size);
  Run run(in);
  return run.play();
}

}  // namespace orvane::reliability
