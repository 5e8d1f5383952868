// Fault injection of the simulated host: armed faults, a dead host, the call hook, object lifetime.
#include <gtest/gtest.h>

#include <thread>

#include "host/AutomationError.h"
#include "tests/host/SimTestSupport.h"

namespace orvane::host::sim::testing {
namespace {

class SimulatedFaults : public ::testing::Test {
 protected:
  void SetUp() override { bench.defineBusArrays(); }

  Variant fullStatus(Variant& a, Variant& b) {
    address = 0;
    return bench.switcher->call("IOSWITCHER_GetFullStatus",
                                {Arg::ref(address), Arg::ref(a), Arg::ref(b)});
  }

  SimBench bench;
  std::int16_t address = 0;
};

TEST_F(SimulatedFaults, RaiseFailsTheNextCallsOnlyAndLeavesOutsAlone) {
  bench.sim.injectFault("IOSWITCHER_GetFullStatus", {FaultKind::Raise, 2});
  Variant a("a");
  Variant b("b");
  for (int i = 0; i < 2; ++i) {
    try {
      fullStatus(a, b);
      FAIL() << "the armed call did not raise";
    } catch (const HostError& error) {
      EXPECT_EQ(error.member(), "IOSWITCHER_GetFullStatus");
      EXPECT_FALSE(error.hostMessage().empty());
    }
  }
  EXPECT_EQ(a, Variant("a"));
  EXPECT_EQ(b, Variant("b"));
  EXPECT_EQ(fullStatus(a, b), Variant(true));  // used up
  EXPECT_EQ(a, Variant(std::int32_t{0}));

  FaultSpec custom{FaultKind::Raise, 1};
  custom.message = "Switcher not responding";
  bench.sim.injectFault("SWITCHER_AddChannel", custom);
  try {
    bench.channel("SWITCHER_AddChannel", "BusA0", 1);
    FAIL();
  } catch (const HostError& error) {
    EXPECT_EQ(error.hostMessage(), "Switcher not responding");
  }
  EXPECT_EQ(bench.sim.statusWord(0, 0), 0u);  // a raising call switches nothing
}

TEST_F(SimulatedFaults, ReturnFalseSwitchesNothingAndWritesNothing) {
  bench.sim.injectFault("SWITCHER_AddChannel", {FaultKind::ReturnFalse, 1});
  EXPECT_FALSE(bench.channel("SWITCHER_AddChannel", "BusA0", 4));
  EXPECT_EQ(bench.sim.statusWord(0, 0), 0u);
  EXPECT_TRUE(bench.channel("SWITCHER_AddChannel", "BusA0", 4));

  bench.sim.injectFault("ORVANE_Reset", {FaultKind::ReturnFalse, 1});
  Variant info("kept");
  EXPECT_EQ(bench.switcher->call("ORVANE_Reset", {Arg::ref(address), true, Arg::ref(info)}),
            Variant(false));
  EXPECT_EQ(info, Variant("kept"));
  EXPECT_EQ(bench.sim.statusWord(0, 0), 0x8u);
  EXPECT_EQ(bench.sim.resetCount(0), 0);
}

TEST_F(SimulatedFaults, ReturnValueWritesItsOutsIntoTheTrailingReferences) {
  bench.sim.injectFault("IOSWITCHER_GetFullStatus",
                        {FaultKind::ReturnValue,
                         1,
                         Variant(false),
                         {Variant(std::int32_t{4}), Variant("not a number")}});
  address = 7;  // must not be overwritten: the outs go to the last two references
  Variant a;
  Variant b;
  EXPECT_EQ(bench.switcher->call("IOSWITCHER_GetFullStatus",
                                 {Arg::ref(address), Arg::ref(a), Arg::ref(b)}),
            Variant(false));
  EXPECT_EQ(address, 7);
  EXPECT_EQ(a, Variant(std::int32_t{4}));
  EXPECT_EQ(b, Variant("not a number"));

  // More outs than references: the leading ones are dropped. A value that its field cannot hold
  // fails the call, and then nothing is written.
  bench.sim.injectFault("SWITCHER_AddChannel",
                        {FaultKind::ReturnValue,
                         2,
                         Variant(std::int16_t{1}),
                         {Variant(std::int16_t{3}), Variant(std::int16_t{9})}});
  std::int16_t channel = 5;
  EXPECT_EQ(bench.switcher->call("SWITCHER_AddChannel", {"BusA0", Arg::ref(channel)}),
            Variant(std::int16_t{1}));
  EXPECT_EQ(channel, 9);
  EXPECT_EQ(bench.sim.statusWord(0, 0), 0u);  // the fault stood in for the switching
  bench.sim.injectFault("IOSWITCHER_GetFullStatus",
                        {FaultKind::ReturnValue,
                         1,
                         Variant(true),
                         {Variant(std::int32_t{1}), Variant(std::int32_t{1 << 20})}});
  std::int16_t small = 0;
  std::int16_t tooSmall = 0;
  EXPECT_THROW(bench.switcher->call("IOSWITCHER_GetFullStatus",
                                    {Arg::ref(address), Arg::ref(small), Arg::ref(tooSmall)}),
               HostError);
  EXPECT_EQ(small, 0);
}

TEST_F(SimulatedFaults, AlwaysLastsUntilClearedAndReachesEitherObject) {
  bench.sim.injectFault("IsInitialised", {FaultKind::Raise, FaultSpec::Always});
  bench.sim.injectFault("IOSWITCHER_BUS_A",
                        {FaultKind::ReturnValue, FaultSpec::Always, Variant(std::int16_t{-5})});
  for (int i = 0; i < 5; ++i) {
    EXPECT_THROW(bench.app->get("IsInitialised"), HostError);
    EXPECT_EQ(bench.switcher->get("IOSWITCHER_BUS_A"), Variant(std::int16_t{-5}));
  }
  // A fault on an application member also applies when the switcher object is asked for it.
  EXPECT_THROW(bench.switcher->get("IsInitialised"), HostError);
  bench.sim.clearFaults();
  EXPECT_NO_THROW(bench.app->get("IsInitialised"));
  EXPECT_NE(bench.switcher->get("IOSWITCHER_BUS_A"), Variant(std::int16_t{-5}));

  bench.sim.injectFault("IOSwitcher", {FaultKind::Raise, 1});
  EXPECT_THROW(bench.app->get("IOSwitcher"), HostError);
  EXPECT_NO_THROW(bench.app->get("IOSwitcher").toObject());
}

TEST_F(SimulatedFaults, FaultsOnOneMemberTakeTurnsInTheOrderArmed) {
  bench.sim.injectFault("SWITCHER_AddChannel", {FaultKind::ReturnValue, 2, Variant("first")});
  bench.sim.injectFault("SWITCHER_AddChannel", {FaultKind::ReturnFalse, 1});
  bench.sim.injectFault("SWITCHER_AddChannel", {FaultKind::Raise, 0});  // affects nothing
  auto add = [&] {
    return bench.switcher->call("SWITCHER_AddChannel", {"BusA0", std::int16_t{1}});
  };
  EXPECT_EQ(add(), Variant("first"));
  EXPECT_EQ(add(), Variant("first"));
  EXPECT_EQ(add(), Variant(false));
  EXPECT_EQ(bench.sim.statusWord(0, 0), 0u);
  EXPECT_EQ(add(), Variant(true));
  EXPECT_EQ(bench.sim.statusWord(0, 0), 1u);
}

TEST_F(SimulatedFaults, AKilledHostFailsEveryAccessButItsObjectsStillRelease) {
  const long before = bench.sim.callCount();
  bench.sim.kill();
  EXPECT_TRUE(bench.sim.killed());
  try {
    bench.channel("SWITCHER_AddChannel", "BusA0", 1);
    FAIL();
  } catch (const HostError& error) {
    EXPECT_EQ(error.hostMessage(), "The remote procedure call failed.");
  }
  EXPECT_THROW(bench.app->get("IsInitialised"), HostError);
  EXPECT_THROW(bench.switcher->put("ORVANE_ShowErrorMessages", Variant(false)), HostError);
  EXPECT_THROW(bench.sim.factory()("Qelvix.Application"), HostError);
  EXPECT_EQ(bench.sim.callCount(), before + 3);  // failed accesses count too
  EXPECT_EQ(bench.sim.statusWord(0, 0), 0u);

  EXPECT_EQ(bench.sim.liveObjects(), 2);
  bench.switcher.reset();
  bench.app.reset();
  EXPECT_EQ(bench.sim.liveObjects(), 0);
}

TEST_F(SimulatedFaults, TheHookRunsBeforeEachAccessAndMayActOnTheHost) {
  std::vector<std::string> seen;
  bench.sim.setCallHook([&](const std::string& member) {
    seen.push_back(member);
    // An event delivered mid-call that itself talks to the host, as a pumping loop would.
    if (member == "SWITCHER_RemoveChannel") bench.channel("SWITCHER_AddChannel", "BusB0", 2);
    if (member == "IOSWITCHER_GetFullStatus") bench.sim.kill();
  });
  bench.channel("SWITCHER_AddChannel", "BusA0", 1);
  bench.channel("SWITCHER_RemoveChannel", "BusA0", 1);
  EXPECT_EQ(bench.sim.statusWord(0, 1), 0x2u);
  Variant a;
  Variant b;
  EXPECT_THROW(fullStatus(a, b), HostError);  // killed by its own hook before it ran
  EXPECT_EQ(seen, (std::vector<std::string>{"SWITCHER_AddChannel", "SWITCHER_RemoveChannel",
                                            "SWITCHER_AddChannel", "IOSWITCHER_GetFullStatus"}));
}

TEST_F(SimulatedFaults, NoneLetsCallsThroughSoThatABlockStartsAtTheNthCall) {
  bench.sim.injectFault("SWITCHER_AddChannel", {FaultKind::None, 2});
  bench.sim.injectFault("SWITCHER_AddChannel", {FaultKind::Block, 1});
  EXPECT_TRUE(bench.channel("SWITCHER_AddChannel", "BusA0", 1));
  EXPECT_TRUE(bench.channel("SWITCHER_AddChannel", "BusA0", 2));
  bool third = false;
  std::thread caller([&] { third = bench.channel("SWITCHER_AddChannel", "BusA0", 3); });
  while (bench.sim.blockedCalls() == 0) std::this_thread::yield();
  bench.sim.releaseBlocked();
  caller.join();
  EXPECT_TRUE(third);
  EXPECT_EQ(bench.sim.statusWord(0, 0), 0x7u);  // the held call did its ordinary work
}

TEST(SimulatedLifetime, EveryHandOutIsItsOwnObjectAndOutlivesTheHost) {
  ObjectRef app;
  ObjectRef first;
  {
    SimulatedHost sim;
    app = sim.factory()("Qelvix.Application");
    first = app->get("IOSwitcher").toObject();
    ObjectRef second = app->get("IOSwitcher").toObject();
    EXPECT_NE(first, second);
    EXPECT_EQ(sim.liveObjects(), 3);
    second.reset();
    EXPECT_EQ(sim.liveObjects(), 2);
  }
  // The SimulatedHost is gone; the objects it handed out keep the shared state alive.
  EXPECT_EQ(first->call("SWITCHER_DefineArray", {"BusA0"}), Variant(true));
  EXPECT_EQ(app->get("IsInitialised"), Variant(false));
}

}  // namespace
}  // namespace orvane::host::sim::testing
