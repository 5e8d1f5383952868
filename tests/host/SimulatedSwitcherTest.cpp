// The simulated host as the controller sees it: start-up members, arrays, switching, relays, DC.
#include <gtest/gtest.h>

#include <cmath>

#include "host/AutomationError.h"
#include "tests/host/SimTestSupport.h"

namespace orvane::host::sim::testing {
namespace {

std::string hostMessageOf(const std::function<void()>& access) {
  try {
    access();
  } catch (const HostError& error) {
    return error.member() + ": " + error.hostMessage();
  }
  return "no error";
}

TEST(SimulatedApplication, CreatesOnlyItsOwnProgId) {
  SimulatedHost sim;
  const auto factory = sim.factory();
  EXPECT_NE(factory("Qelvix.Application"), nullptr);
  try {
    factory("Excel.Application");
    FAIL() << "created an object for a foreign ProgID";
  } catch (const HostError& error) {
    EXPECT_NE(error.member().find("Excel.Application"), std::string::npos);
  }
}

TEST(SimulatedApplication, TurnsInitialisedAfterTheConfiguredSleeps) {
  SimConfig config;
  config.sleepsUntilInitialised = 2;
  SimBench bench(config);  // the switcher was taken before the host was ready
  EXPECT_EQ(bench.app->get("IsInitialised"), Variant(false));
  bench.app->call("Sleep", {std::int16_t{10}});
  EXPECT_EQ(bench.app->get("IsInitialised"), Variant(false));
  bench.app->call("Sleep", {std::int16_t{10}});
  EXPECT_EQ(bench.app->get("IsInitialised"), Variant(true));

  config.sleepsUntilInitialised = 0;
  SimBench ready(config);
  EXPECT_EQ(ready.app->get("IsInitialised"), Variant(true));
}

TEST(SimulatedApplication, RefusesWhatAHostWouldRefuse) {
  SimBench bench;
  EXPECT_EQ(hostMessageOf([&] { bench.app->get("Visible"); }),
            "Visible: Object doesn't support this property or method");
  EXPECT_EQ(hostMessageOf([&] { bench.switcher->call("SWITCHER_Frobnicate", {"BusA0"}); }),
            "SWITCHER_Frobnicate: Object doesn't support this property or method");
  EXPECT_EQ(hostMessageOf([&] { bench.app->call("Sleep", {"soon"}); }), "Sleep: Type mismatch");
  EXPECT_EQ(hostMessageOf([&] { bench.app->call("Sleep", {}); }), "Sleep: Argument not optional");
  EXPECT_EQ(hostMessageOf([&] { bench.switcher->put("IOSWITCHER_BUS_A", Variant(true)); }),
            "IOSWITCHER_BUS_A: Wrong number of arguments or invalid property assignment");
  EXPECT_EQ(hostMessageOf([&] { bench.switcher->call("SWITCHER_AddChannel", {"BusA0"}); }),
            "SWITCHER_AddChannel: Argument not optional");
  EXPECT_NO_THROW(bench.switcher->put("ORVANE_ShowErrorMessages", Variant(false)));
  EXPECT_EQ(bench.switcher->get("ORVANE_ShowErrorMessages"), Variant(false));
}

class SimulatedSwitcher : public ::testing::Test {
 protected:
  void SetUp() override { bench.defineBusArrays(0); }

  std::uint32_t busA() const { return bench.sim.statusWord(0, 0); }
  std::uint32_t busB() const { return bench.sim.statusWord(0, 1); }

  SimBench bench{[] {
    SimConfig config;
    config.addresses = {0, 5};
    return config;
  }()};
};

TEST_F(SimulatedSwitcher, ArrayChannelsMapOntoXThenYOfTheirOwnBus) {
  EXPECT_TRUE(bench.channel("SWITCHER_AddChannel", "BusA0", 1));
  EXPECT_TRUE(bench.channel("SWITCHER_AddChannel", "BusA0", 9));   // Y1
  EXPECT_TRUE(bench.channel("SWITCHER_AddChannel", "BusB0", 16));  // Y8 of bus B
  EXPECT_EQ(busA(), 0x101u);
  EXPECT_EQ(busB(), 0x8000u);
  EXPECT_TRUE(bench.channel("SWITCHER_RemoveChannel", "BusA0", 1));
  EXPECT_EQ(busA(), 0x100u);

  // An array of the Y group alone: its channel 1 is Y1.
  bench.defineArray("YOnly", 0, "IOSWITCHER_BUS_A", {"IOSWITCHER_GROUP_Y"});
  EXPECT_TRUE(bench.channel("SWITCHER_AddChannel", "YOnly", 2));
  EXPECT_FALSE(bench.channel("SWITCHER_AddChannel", "YOnly", 9));
  EXPECT_EQ(busA(), 0x300u);
  EXPECT_EQ(bench.sim.statusWord(5, 0), 0u);  // the other switcher is untouched
}

TEST_F(SimulatedSwitcher, ExclusiveNotAndAllOnActOnTheWholeBus) {
  bench.channel("SWITCHER_AddChannel", "BusA0", 2);
  EXPECT_TRUE(bench.channel("SWITCHER_ExclusiveChannel", "BusA0", 5));
  EXPECT_EQ(busA(), 0x10u);
  EXPECT_TRUE(bench.channel("SWITCHER_NotChannel", "BusA0", 12));
  EXPECT_EQ(busA(), 0xF7FFu);
  // "All On": everything but channel 1, then channel 1 as well.
  EXPECT_THROW(bench.channel("SWITCHER_ClearChannels", "BusA0", 0), HostError);  // one too many
  EXPECT_EQ(busA(), 0xF7FFu);
  EXPECT_TRUE(bench.switcher->call("SWITCHER_ClearChannels", {"BusA0"}).toBool());
  EXPECT_EQ(busA(), 0u);
  EXPECT_TRUE(bench.channel("SWITCHER_NotChannel", "BusA0", 1));
  EXPECT_TRUE(bench.channel("SWITCHER_AddChannel", "BusA0", 1));
  EXPECT_EQ(busA(), 0xFFFFu);
  EXPECT_EQ(busB(), 0u);
}

TEST_F(SimulatedSwitcher, ResetClearsBothBusesAndItsRelays) {
  bench.channel("SWITCHER_AddChannel", "BusA0", 3);
  bench.channel("SWITCHER_AddChannel", "BusB0", 4);
  bench.switcher->call("SWITCHER_Balance", {"BusA0", true});
  bench.switcher->call("IOSWITCHER_BusLoad",
                       {std::int16_t{0}, bench.switcher->get("IOSWITCHER_BUS_B"), true});
  std::int16_t address = 0;
  Variant info;
  EXPECT_EQ(bench.switcher->call("ORVANE_Reset", {Arg::ref(address), true, Arg::ref(info)}),
            Variant(true));
  EXPECT_EQ(busA(), 0u);
  EXPECT_EQ(busB(), 0u);
  EXPECT_EQ(bench.sim.resetCount(0), 1);
  EXPECT_EQ(info.kind(), Variant::Kind::Text);
  // The arrays survive a reset.
  EXPECT_TRUE(bench.channel("SWITCHER_AddChannel", "BusA0", 1));

  std::int16_t absent = 3;
  Variant untouched("before");
  EXPECT_EQ(bench.switcher->call("ORVANE_Reset", {Arg::ref(absent), true, Arg::ref(untouched)}),
            Variant(false));
  EXPECT_EQ(untouched, Variant("before"));
}

TEST_F(SimulatedSwitcher, StatusWordsCarryRelayBitsAsThirtyTwoBitIntegers) {
  bench.channel("SWITCHER_AddChannel", "BusA0", 1);
  EXPECT_TRUE(bench.switcher->call("SWITCHER_Balance", {"BusA0", true}).toBool());
  EXPECT_TRUE(bench.switcher
                  ->call("IOSWITCHER_BusLoad",
                         {std::int16_t{0}, bench.switcher->get("IOSWITCHER_BUS_B"), true})
                  .toBool());
  std::int16_t address = 0;
  Variant a;
  Variant b;
  EXPECT_EQ(bench.switcher->call("IOSWITCHER_GetFullStatus",
                                 {Arg::ref(address), Arg::ref(a), Arg::ref(b)}),
            Variant(true));
  EXPECT_EQ(a, Variant(std::int32_t{0x10001}));
  EXPECT_EQ(b, Variant(std::int32_t{0x20000}));
  EXPECT_EQ(address, 0);

  bench.switcher->call("SWITCHER_Balance", {"BusA0", false});
  EXPECT_EQ(busA(), 1u);
}

TEST_F(SimulatedSwitcher, RefusalsReturnFalseAndChangeNothing) {
  bench.channel("SWITCHER_AddChannel", "BusA0", 7);
  for (int channel : {0, 17, -1, 32767}) {
    EXPECT_FALSE(bench.channel("SWITCHER_ExclusiveChannel", "BusA0", channel)) << channel;
    EXPECT_FALSE(bench.channel("SWITCHER_NotChannel", "BusA0", channel)) << channel;
  }
  EXPECT_FALSE(bench.channel("SWITCHER_AddChannel", "BusA9", 1));  // never defined
  EXPECT_FALSE(bench.switcher->call("SWITCHER_ClearChannels", {"BusA9"}).toBool());
  EXPECT_FALSE(bench.switcher->call("SWITCHER_Balance", {"BusA9", true}).toBool());
  EXPECT_FALSE(bench.switcher->call("SWITCHER_RemoveArray", {"BusA9"}).toBool());
  EXPECT_EQ(busA(), 0x40u);

  // A bus constant where the group belongs is no group.
  EXPECT_FALSE(
      bench.switcher
          ->call("IOSWITCHER_AddToArray", {std::int16_t{0}, bench.switcher->get("IOSWITCHER_BUS_A"),
                                           bench.switcher->get("IOSWITCHER_BUS_B"), "BusA0"})
          .toBool());
  EXPECT_FALSE(bench.channel("SWITCHER_AddChannel", "BusA0", 17));  // still 16 members
}

TEST_F(SimulatedSwitcher, AnAbsentSwitcherAnswersFalseAndWritesNoOuts) {
  std::int16_t address = 3;
  Variant a("old A");
  Variant b("old B");
  EXPECT_EQ(bench.switcher->call("IOSWITCHER_GetFullStatus",
                                 {Arg::ref(address), Arg::ref(a), Arg::ref(b)}),
            Variant(false));
  EXPECT_EQ(a, Variant("old A"));
  EXPECT_EQ(b, Variant("old B"));
  EXPECT_FALSE(bench.busDc(3, "IOSWITCHER_BUS_A").ok);
  EXPECT_EQ(bench.busDc(3, "IOSWITCHER_BUS_A").plus, -999.0);

  // Unplugged after its arrays were defined: switching it fails until it is back, all off.
  bench.channel("SWITCHER_AddChannel", "BusA0", 2);
  bench.sim.removeSwitcher(0);
  EXPECT_FALSE(bench.sim.switcherPresent(0));
  EXPECT_FALSE(bench.channel("SWITCHER_AddChannel", "BusA0", 1));
  EXPECT_FALSE(bench.switcher->call("SWITCHER_Balance", {"BusA0", true}).toBool());
  address = 0;
  EXPECT_EQ(bench.switcher->call("IOSWITCHER_GetFullStatus",
                                 {Arg::ref(address), Arg::ref(a), Arg::ref(b)}),
            Variant(false));
  bench.sim.restoreSwitcher(0);
  EXPECT_EQ(busA(), 0u);
  EXPECT_TRUE(bench.channel("SWITCHER_AddChannel", "BusA0", 1));
}

TEST_F(SimulatedSwitcher, ChannelsArriveByValueOrByReferenceButMustBeNumbers) {
  std::int16_t channel = 5;
  EXPECT_TRUE(bench.switcher->call("SWITCHER_AddChannel", {"BusA0", Arg::ref(channel)}).toBool());
  EXPECT_EQ(channel, 5);
  EXPECT_TRUE(bench.switcher->call("SWITCHER_AddChannel", {"BusA0", "6"}).toBool());
  EXPECT_EQ(busA(), 0x30u);
  EXPECT_EQ(hostMessageOf([&] {
              bench.switcher->call("SWITCHER_AddChannel", {"BusA0", "six"});
            }),
            "SWITCHER_AddChannel: Type mismatch");
  EXPECT_EQ(hostMessageOf([&] {
              bench.switcher->call("SWITCHER_AddChannel", {"BusA0", Variant(1e9)});
            }),
            "SWITCHER_AddChannel: Type mismatch");
  EXPECT_EQ(hostMessageOf([&] {
              bench.switcher->call("SWITCHER_Balance", {"BusA0", "maybe"});
            }),
            "SWITCHER_Balance: Type mismatch");
  EXPECT_EQ(busA(), 0x30u);
}

TEST_F(SimulatedSwitcher, BusDcIsTheMeanOfTheConnectedChannelsPlusBoundedNoise) {
  constexpr double noise = 0.003;
  auto dc = bench.busDc(0, "IOSWITCHER_BUS_A");  // nothing connected
  EXPECT_TRUE(dc.ok);
  EXPECT_LE(std::fabs(dc.plus), noise);
  EXPECT_LE(std::fabs(dc.minus), noise);

  bench.channel("SWITCHER_AddChannel", "BusA0", 3);  // X3 carries about +9 V
  dc = bench.busDc(0, "IOSWITCHER_BUS_A");
  EXPECT_NEAR(dc.plus, 9.0, noise);
  EXPECT_NEAR(dc.minus, 0.0, noise);
  EXPECT_NEAR(bench.busDc(0, "IOSWITCHER_BUS_B").plus, 0.0, noise);  // only bus A has X3

  bench.channel("SWITCHER_AddChannel", "BusA0", 1);
  bench.sim.setChannelDc(0, 1, 1.0, -4.0);
  dc = bench.busDc(0, "IOSWITCHER_BUS_A");
  EXPECT_NEAR(dc.plus, 5.0, noise);
  EXPECT_NEAR(dc.minus, -2.0, noise);
  EXPECT_THROW(bench.sim.setChannelDc(0, 17, 0, 0), std::out_of_range);
}

TEST(SimulatedDc, ReadingsRepeatForTheSameSeedAndX3CanBeQuiet) {
  auto readings = [](std::uint64_t seed, bool x3) {
    SimConfig config;
    config.seed = seed;
    config.x3CarriesDc = x3;
    SimBench bench(config);
    bench.defineBusArrays();
    bench.channel("SWITCHER_AddChannel", "BusA0", 3);
    std::vector<double> values;
    for (int i = 0; i < 20; ++i) {
      const auto dc = bench.busDc(0, "IOSWITCHER_BUS_A");
      values.push_back(dc.plus);
      values.push_back(dc.minus);
    }
    return values;
  };
  const auto first = readings(7, true);
  EXPECT_EQ(first, readings(7, true));
  EXPECT_NE(first, readings(8, true));
  for (double v : readings(7, false)) EXPECT_LE(std::fabs(v), 0.003);
  // The noise really varies rather than sitting at a fixed offset.
  EXPECT_NE(first[0], first[2]);
}

}  // namespace
}  // namespace orvane::host::sim::testing
