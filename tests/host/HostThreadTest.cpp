// The host thread: every access runs there and comes back as the direct call would (outs, result,
// errors, objects); a call given up on fails, and so does everything after it, without the host.
#include "host/HostThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include "controller/PlatformServices.h"
#include "host/sim/SimulatedHost.h"
#include "host/trace/TraceLog.h"
#include "host/trace/TracingFactory.h"
#include "panel/headless/HeadlessCallWaiter.h"

namespace orvane::host {
namespace {

using namespace std::chrono_literals;
using sim::FaultKind;
using sim::FaultSpec;
namespace box = controller::box;

constexpr const char* GetFullStatus = "IOSWITCHER_GetFullStatus";

// An object whose member does whatever the test says, on whichever thread calls it.
class ScriptedObject final : public Object {
 public:
  explicit ScriptedObject(std::function<Variant(std::string_view, Args)> member)
      : member_(std::move(member)) {}
  Variant call(std::string_view member, Args args) override { return member_(member, args); }
  Variant get(std::string_view member) override { return member_(member, {}); }
  void put(std::string_view member, const Variant&) override { member_(member, {}); }
  using Object::call;

 private:
  std::function<Variant(std::string_view, Args)> member_;
};

ObjectFactory factoryOf(ObjectRef object) {
  return [object](const std::string&) { return object; };
}

class OnTheHostThread : public ::testing::Test {
 protected:
  OnTheHostThread() : thread(waiter) {
    // Only the member a test blocks is given up on; on a busy machine any other may keep us
    // waiting a while too.
    waiter.operatorAnswer = [](const panel::HeadlessCallWaiter::Box& shown) {
      return shown.member == GetFullStatus ? box::AnswerCancel : box::AnswerRetry;
    };
    sim.setCallHook([this](const std::string&) { callers.insert(std::this_thread::get_id()); });
    app = thread.wrap(sim.factory())("Qelvix.Application");
    switcher = app->get("IOSwitcher").toObject();
  }

  Variant fullStatus() {
    return switcher->call(GetFullStatus, {Arg::ref(address), Arg::ref(a), Arg::ref(b)});
  }

  sim::SimulatedHost sim;
  panel::HeadlessCallWaiter waiter{20ms};
  HostThread thread;
  std::set<std::thread::id> callers;
  ObjectRef app;
  ObjectRef switcher;
  std::int16_t address = 0;
  Variant a{"a"};
  Variant b{"b"};
};

TEST_F(OnTheHostThread, AccessesAndReleasesRunThereAndOutsComeBack) {
  switcher->put("ORVANE_ShowErrorMessages", Variant(false));
  ASSERT_EQ(fullStatus(), Variant(true));
  EXPECT_EQ(a, Variant(std::int32_t{0}));  // written back into the caller's fields
  EXPECT_EQ(b, Variant(std::int32_t{0}));
  ASSERT_EQ(callers.size(), 1u);
  EXPECT_NE(*callers.begin(), std::this_thread::get_id());
  EXPECT_EQ(sim.liveObjects(), 2);
  switcher.reset();
  app.reset();
  thread.finish();  // the releases are queued, not waited for
  EXPECT_EQ(sim.liveObjects(), 0);
}

TEST_F(OnTheHostThread, HostErrorsKeepTheirMemberAndTextAndWriteNoOuts) {
  FaultSpec fault(FaultKind::Raise, 1);
  fault.message = "Switcher busy";
  sim.injectFault(GetFullStatus, fault);
  try {
    fullStatus();
    FAIL() << "the error did not come back";
  } catch (const HostError& error) {
    EXPECT_EQ(error.member(), GetFullStatus);
    EXPECT_EQ(error.hostMessage(), "Switcher busy");
  }
  EXPECT_EQ(a, Variant("a"));
  EXPECT_EQ(b, Variant("b"));
}

TEST_F(OnTheHostThread, RetryKeepsWaitingUntilTheHostAnswers) {
  sim.injectFault(GetFullStatus, FaultSpec(FaultKind::Block, 1));
  int boxes = 0;
  waiter.operatorAnswer = [&](const panel::HeadlessCallWaiter::Box&) {
    if (++boxes >= 3 && sim.blockedCalls() > 0) sim.releaseBlocked();
    return box::AnswerRetry;
  };
  EXPECT_EQ(fullStatus(), Variant(true));
  EXPECT_EQ(a, Variant(std::int32_t{0}));
  EXPECT_GE(boxes, 3);
  EXPECT_FALSE(thread.givenUp());
}

TEST_F(OnTheHostThread, GivingUpFailsTheCallAndEverythingAfterItAndALateAnswerWritesNothing) {
  sim.injectFault(GetFullStatus, FaultSpec(FaultKind::Block, 1));
  try {
    fullStatus();
    FAIL() << "the abandoned call did not fail";
  } catch (const CallGivenUp& error) {
    EXPECT_EQ(error.member(), GetFullStatus);
  }
  ASSERT_FALSE(waiter.boxes.empty());
  EXPECT_TRUE(thread.givenUp());

  // Once held (the give-up may come first on a busy machine), what it counted is visible here.
  while (sim.blockedCalls() == 0) std::this_thread::yield();
  const long calls = sim.callCount();
  const auto failsAtOnce = [](auto access, const char* member) {
    try {
      access();
      ADD_FAILURE() << member << " reached the host";
    } catch (const CallNotSent& error) {
      EXPECT_EQ(error.member(), member);
      EXPECT_EQ(error.hostMessage(), std::string("not sent: ") + NotResponding);
    }
  };
  failsAtOnce([&] { switcher->get("IOSWITCHER_BUS_A"); }, "IOSWITCHER_BUS_A");
  failsAtOnce([&] { switcher->put("ORVANE_ShowErrorMessages", Variant(false)); },
              "ORVANE_ShowErrorMessages");
  failsAtOnce([&] { thread.run("Nothing", [] {}); }, "Nothing");
  EXPECT_EQ(sim.callCount(), calls);

  sim.releaseBlocked();  // the host answers after all, too late
  thread.waitUntilIdle();
  EXPECT_EQ(a, Variant("a"));
  EXPECT_EQ(b, Variant("b"));
  switcher.reset();  // left to the host thread, which releases it if it ever gets to
  app.reset();
}

// The host never answers a release, and the next call waits behind it in the queue: giving up on
// that call is a give-up all the same (skip-and-continue must not take it for a host error), and
// the trace says where it waited.
TEST(HostThreadLifetime, AGiveUpOnACallQueuedBehindAHungReleaseIsAGiveUp) {
  struct HungOnRelease final : Object {
    HungOnRelease(std::shared_ptr<std::atomic<bool>> open,
                  std::shared_ptr<std::atomic<bool>> releasing)
        : open_(std::move(open)), releasing_(std::move(releasing)) {}
    ~HungOnRelease() override {
      *releasing_ = true;
      while (!*open_) std::this_thread::sleep_for(1ms);
    }
    Variant call(std::string_view, Args) override { return Variant(true); }
    Variant get(std::string_view) override { return Variant(true); }
    void put(std::string_view, const Variant&) override {}
    using Object::call;
    std::shared_ptr<std::atomic<bool>> open_;
    std::shared_ptr<std::atomic<bool>> releasing_;
  };
  auto open = std::make_shared<std::atomic<bool>>(false);
  auto releasing = std::make_shared<std::atomic<bool>>(false);
  std::FILE* file = std::tmpfile();
  auto log = std::make_shared<trace::TraceLog>(file, "trace", true);
  panel::HeadlessCallWaiter waiter(1ms);
  // Creating the objects may take longer than the limit on a loaded machine: the operator keeps
  // waiting for those, and gives up only on the call queued behind the hung release.
  bool settingUp = true;
  waiter.operatorAnswer = [&settingUp](const auto&) {
    return settingUp ? box::AnswerRetry : box::AnswerCancel;
  };
  HostThread thread(waiter);
  auto hung = trace::tracingFactory(thread.wrap([open, releasing](const std::string&) {
    return std::make_shared<HungOnRelease>(open, releasing);
  }),
                                    log)("Hung");
  auto other = trace::tracingFactory(thread.wrap(factoryOf(std::make_shared<ScriptedObject>(
                                         [](std::string_view, Args) { return Variant(true); }))),
                                     log)("Other");
  hung.reset();  // its release is queued, and hangs
  // Only once the host thread is inside it is the next call queued behind it, however slowly a
  // loaded machine starts the release.
  while (!*releasing) std::this_thread::sleep_for(1ms);
  settingUp = false;
  try {
    other->get("Answer");
    ADD_FAILURE() << "the call was answered";
  } catch (const AutomationError&) {
    ADD_FAILURE() << "given up on as a host error";
  } catch (const CallGivenUpWhileQueued& error) {
    EXPECT_EQ(error.member(), "Answer");
  }
  EXPECT_TRUE(thread.givenUp());
  *open = true;
  thread.waitUntilIdle();
  std::fflush(file);
  std::rewind(file);
  std::string text(4096, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), file));
  EXPECT_NE(text.find("HostApp.Answer -> error \"Answer: the host is not responding\" (given up "
                      "waiting for it: queued behind a call the host has not answered)"),
            std::string::npos)
      << text;
}

TEST(HostThreadLifetime, AThreadStuckInTheHostIsLeftBehindNotJoined) {
  sim::SimulatedHost sim;
  sim.injectFault("IsInitialised", FaultSpec(FaultKind::Block, 1));
  panel::HeadlessCallWaiter waiter(1ms);
  waiter.operatorAnswer = [](const panel::HeadlessCallWaiter::Box& shown) {
    return shown.member == "IsInitialised" ? box::AnswerCancel : box::AnswerRetry;
  };
  {
    HostThread thread(waiter);
    auto app = thread.wrap(sim.factory())("Qelvix.Application");
    EXPECT_THROW(app->get("IsInitialised"), CallGivenUp);
  }  // returns although the host thread is still blocked in the host, where it stays
}

// The operator's Cancel of start-up comes as the call answers: the program still ends, and since
// nothing was left waiting, the host thread is not given up on.
TEST(HostThreadLifetime, ACancelThatComesWithTheAnswerStillEndsTheRun) {
  class CancelsAfterTheAnswer final : public CallWaiter {
   public:
    Outcome wait(std::string_view, const std::function<bool()>& answered) override {
      while (!answered()) std::this_thread::yield();
      return Outcome::Cancelled;
    }
    void wake() override {}
  } waiter;
  HostThread thread(waiter);
  sim::SimulatedHost sim;
  EXPECT_THROW(thread.wrap(sim.factory())("Qelvix.Application"), WaitCancelled);
  EXPECT_FALSE(thread.givenUp());
}

// A home that notes the thread it is entered, left and slept on.
class NotingHome final : public ThreadHome {
 public:
  NotingHome(std::thread::id& entered, std::thread::id& left, bool failToEnter = false)
      : entered_(entered), left_(left), failToEnter_(failToEnter) {}
  void enter() override {
    if (failToEnter_) throw HostError("CoInitializeEx", "refused");
    entered_ = std::this_thread::get_id();
  }
  void leave() override { left_ = std::this_thread::get_id(); }
  void sleepUntil(std::unique_lock<std::mutex>& lock, const std::function<bool()>& ready) override {
    inner_.sleepUntil(lock, ready);
  }
  void wakeUp() override { inner_.wakeUp(); }

 private:
  std::thread::id& entered_;
  std::thread::id& left_;
  bool failToEnter_;
  ConditionHome inner_;
};

TEST(HostThreadLifetime, EnterAndLeaveFrameTheThreadAndEnterErrorsComeBack) {
  panel::HeadlessCallWaiter waiter;
  std::thread::id entered;
  std::thread::id worked;
  std::thread::id left;
  {
    HostThread thread(waiter, std::make_unique<NotingHome>(entered, left));
    thread.run("work", [&] { worked = std::this_thread::get_id(); });
    EXPECT_THROW(thread.run("work", [] { throw std::runtime_error("broken"); }),
                 std::runtime_error);
  }
  EXPECT_EQ(entered, worked);
  EXPECT_EQ(left, worked);
  EXPECT_NE(worked, std::this_thread::get_id());

  EXPECT_THROW(HostThread(waiter, std::make_unique<NotingHome>(entered, left, true)), HostError);
}

TEST(HostThreadObjects, ObjectsPassedBackReachTheHostAsItsOwnAndConversionErrorsComeBack) {
  panel::HeadlessCallWaiter waiter;
  HostThread thread(waiter);
  ObjectRef inner;
  ObjectRef seen;
  inner = std::make_shared<ScriptedObject>([&](std::string_view member, Args args) -> Variant {
    if (member == "Self") return Variant(inner);
    if (member == "Take") {
      seen = args[0].current().toObject();
      args[1].write(Variant(std::int32_t{70000}));  // too big for the 16-bit field
    }
    return Variant();
  });
  auto object = thread.wrap(factoryOf(inner))("Any");
  const ObjectRef self = object->get("Self").toObject();
  EXPECT_NE(self, inner);  // wrapped as well
  std::int16_t field = 7;
  EXPECT_THROW(object->call("Take", {Arg(Variant(self)), Arg::ref(field)}), ConversionError);
  EXPECT_EQ(seen, inner);
  EXPECT_EQ(field, 7);
  inner.reset();
}

// A value the core cannot read, carrying an interface, as a binding hands over an object inside an
// odd value type: every reading of it, the object found in it and that object's calls run on the
// host thread, and the value goes back to the host as the host's own.
class ValueWithObject final : public ForeignValue {
 public:
  ValueWithObject(ObjectRef object, std::set<std::thread::id>& readers)
      : object_(std::move(object)), readers_(readers) {}
  bool toBool() const override { return note(), true; }
  std::int16_t toInt16() const override { return note(), 1; }
  double toNumber() const override { return note(), 1.0; }
  std::string toText() const override { return note(), "1"; }
  ObjectRef toObject() const override { return note(), object_; }
  std::string describe() const override { return note(), "<object inside>"; }

 private:
  void note() const { readers_.insert(std::this_thread::get_id()); }
  ObjectRef object_;
  std::set<std::thread::id>& readers_;
};

TEST(HostThreadObjects, AnInterfaceInsideAnOddValueIsStillCalledOnTheHostThread) {
  panel::HeadlessCallWaiter waiter;
  HostThread thread(waiter);
  std::set<std::thread::id> readers;
  std::set<std::thread::id> callers;
  ForeignRef odd;
  ForeignRef seen;
  auto inside = std::make_shared<ScriptedObject>([&](std::string_view, Args) {
    callers.insert(std::this_thread::get_id());
    return Variant(true);
  });
  auto app = std::make_shared<ScriptedObject>([&](std::string_view member, Args args) {
    if (member == "Take") seen = args[0].current().toForeign();
    return Variant(odd);
  });
  odd = std::make_shared<ValueWithObject>(inside, readers);
  auto object = thread.wrap(factoryOf(app))("Any");

  const Variant value = object->get("Odd");
  EXPECT_TRUE(value.toBool());
  EXPECT_EQ(value.toText(), "1");
  EXPECT_EQ(describe(value), "<object inside>");
  const ObjectRef found = value.toObject();
  ASSERT_NE(found, nullptr);
  EXPECT_NE(found, inside);  // handed out like any other host object
  EXPECT_EQ(found->call("Anything", {}), Variant(true));
  object->call("Take", {Arg(value)});
  EXPECT_EQ(seen, odd);  // back to the host as its own

  ASSERT_EQ(readers.size(), 1u);
  EXPECT_NE(*readers.begin(), std::this_thread::get_id());
  EXPECT_EQ(callers, readers);
}

}  // namespace
}  // namespace orvane::host
