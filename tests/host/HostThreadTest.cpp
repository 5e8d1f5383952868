// The host thread: every access runs there and comes back as the direct call would (outs, result,
// errors, objects); a call given up on fails, and so does everything after it, without the host.
#include "host/HostThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <thread>

#include "controller/PlatformServices.h"
#include "host/sim/SimulatedHost.h"
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
  } catch (const HostError& error) {
    EXPECT_EQ(error.member(), GetFullStatus);
    EXPECT_EQ(error.hostMessage(), NotResponding);
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
    } catch (const HostError& error) {
      EXPECT_EQ(error.member(), member);
      EXPECT_EQ(error.hostMessage(), NotResponding);
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
    EXPECT_THROW(app->get("IsInitialised"), HostError);
  }  // returns although the host thread is still blocked in the host, where it stays
}

TEST(HostThreadLifetime, EnterAndLeaveFrameTheThreadAndEnterErrorsComeBack) {
  panel::HeadlessCallWaiter waiter;
  std::thread::id entered;
  std::thread::id worked;
  std::thread::id left;
  {
    HostThread thread(
        waiter, [&] { entered = std::this_thread::get_id(); },
        [&] { left = std::this_thread::get_id(); });
    thread.run("work", [&] { worked = std::this_thread::get_id(); });
    EXPECT_THROW(thread.run("work", [] { throw std::runtime_error("broken"); }),
                 std::runtime_error);
  }
  EXPECT_EQ(entered, worked);
  EXPECT_EQ(left, worked);
  EXPECT_NE(worked, std::this_thread::get_id());

  EXPECT_THROW(HostThread(waiter, [] { throw HostError("CoInitializeEx", "refused"); }), HostError);
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

// A platform's wake primitive: the sleeping host thread is woken through it for the next access
// and for the end, and nothing else wakes it (a wake it never got would hang here). The counts
// outlive the wake, which the host thread owns.
struct WakeCounts {
  std::atomic<int> sleeps{0};
  std::atomic<int> wakes{0};
  void awaitSleeps(int count) const {
    while (sleeps.load() < count) std::this_thread::yield();
  }
};

class CountingWake final : public HostWake {
 public:
  explicit CountingWake(WakeCounts& counts) : counts_(counts) {}
  void sleep(const std::atomic<std::uint32_t>& word, std::uint32_t seen) override {
    counts_.sleeps.fetch_add(1);
    inner_.sleep(word, seen);
  }
  void wake(std::atomic<std::uint32_t>& word) override {
    counts_.wakes.fetch_add(1);
    inner_.wake(word);
  }

 private:
  WakeCounts& counts_;
  ConditionWake inner_;
};

TEST(HostThreadWake, TheSleepingThreadIsWokenThroughThePlatformWakeForEachAccessAndForTheEnd) {
  panel::HeadlessCallWaiter waiter;
  WakeCounts counts;
  std::thread::id worked;
  {
    HostThread thread(waiter, {}, {}, std::make_unique<CountingWake>(counts));
    counts.awaitSleeps(1);
    thread.run("work", [&] { worked = std::this_thread::get_id(); });
    EXPECT_GE(counts.wakes.load(), 1);
    counts.awaitSleeps(2);
    thread.run("work", [] {});
    EXPECT_GE(counts.wakes.load(), 2);
    counts.awaitSleeps(3);
  }  // ends only once the destructor's wake has reached the sleeping thread
  EXPECT_GE(counts.wakes.load(), 3);
  EXPECT_NE(worked, std::this_thread::get_id());
}

TEST(HostThreadWake, ConditionWakeReturnsAtOnceForAWordThatHasAlreadyChanged) {
  ConditionWake wake;
  std::atomic<std::uint32_t> word{1};
  wake.sleep(word, 0);  // would never return if it slept
  std::thread sleeper([&] { wake.sleep(word, 1); });
  word.store(2);
  wake.wake(word);
  sleeper.join();
}

}  // namespace
}  // namespace orvane::host
