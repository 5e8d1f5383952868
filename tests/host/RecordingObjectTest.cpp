// The recording decorator: what each access looks like in the log, and that it changes nothing.
#include "host/recording/RecordingObject.h"

#include <gtest/gtest.h>

#include "host/AutomationError.h"
#include "host/sim/SimulatedHost.h"

namespace orvane::host::recording {
namespace {

using sim::FaultKind;

class Recording : public ::testing::Test {
 protected:
  Recording()
      : log(std::make_shared<CallLog>()),
        app(recordingFactory(sim.factory(), log)("Qelvix.Application")),
        switcher(app->get("IOSwitcher").toObject()) {}

  sim::SimulatedHost sim;
  std::shared_ptr<CallLog> log;
  ObjectRef app;
  ObjectRef switcher;
};

TEST_F(Recording, LogsEachKindOfAccessAsWritten) {
  switcher->put("ORVANE_ShowErrorMessages", Variant(false));
  const Variant bus = switcher->get("IOSWITCHER_BUS_A");
  switcher->call("SWITCHER_DefineArray", {"BusA0"});
  std::int16_t channel = 5;
  switcher->call("SWITCHER_AddChannel", {"BusA0", Arg::ref(channel)});
  app->call("Sleep", {std::int16_t{10}});
  switcher->call("SWITCHER_Balance", {"BusA0", true});
  switcher.reset();

  EXPECT_EQ(log->texts(), (std::vector<std::string>{
                              "CreateObject(\"Qelvix.Application\")",
                              "IOSwitcher",
                              "ORVANE_ShowErrorMessages = False",
                              "IOSWITCHER_BUS_A",
                              "SWITCHER_DefineArray(\"BusA0\")",
                              "SWITCHER_AddChannel(\"BusA0\", &5)",
                              "Sleep(10)",
                              "SWITCHER_Balance(\"BusA0\", True)",
                              "Release IOSwitcher",
                          }));
  const auto& calls = log->calls();
  EXPECT_EQ(calls[0].kind, HostCall::Kind::Create);
  EXPECT_EQ(calls[0].object, "HostApp");
  EXPECT_EQ(calls[1].object, "HostApp");
  EXPECT_EQ(calls[1].result, "<object>");
  EXPECT_EQ(calls[3].object, "IOSwitcher");
  EXPECT_EQ(calls[3].result, describe(bus));
  EXPECT_EQ(calls[5].result, "False");  // the array is still empty

  EXPECT_EQ(log->texts({"Sleep", "IOSwitcher"}),
            (std::vector<std::string>{"IOSwitcher", "Sleep(10)"}));
  EXPECT_EQ(log->count("SWITCHER_AddChannel"), 1u);
  EXPECT_EQ(log->members()[1], "IOSwitcher");
}

TEST_F(Recording, ReferencesShowTheirValueWhenTheCallBeganAndStillReceiveOuts) {
  std::int16_t address = 0;
  Variant statusA;
  Variant statusB(std::int32_t{99});
  EXPECT_EQ(switcher->call("IOSWITCHER_GetFullStatus",
                           {Arg::ref(address), Arg::ref(statusA), Arg::ref(statusB)}),
            Variant(true));
  EXPECT_EQ(log->texts().back(), "IOSWITCHER_GetFullStatus(&0, &Empty, &99)");
  EXPECT_EQ(statusA, Variant(std::int32_t{0}));  // written through the decorator
  EXPECT_EQ(statusB, Variant(std::int32_t{0}));
}

TEST_F(Recording, FailuresAreLoggedAndRethrownUnchanged) {
  sim.injectFault("SWITCHER_ClearChannels", {FaultKind::Raise, 1, {}, {}, "Bus busy"});
  try {
    switcher->call("SWITCHER_ClearChannels", {"BusB0"});
    FAIL();
  } catch (const HostError& error) {
    EXPECT_EQ(error.member(), "SWITCHER_ClearChannels");
    EXPECT_EQ(error.hostMessage(), "Bus busy");
  }
  EXPECT_EQ(log->calls().back().text(), "SWITCHER_ClearChannels(\"BusB0\")");
  EXPECT_EQ(log->calls().back().result, "raised: SWITCHER_ClearChannels: Bus busy");

  auto failing = recordingFactory(sim.factory(), log);
  EXPECT_THROW(failing("Other.Application"), HostError);
  EXPECT_EQ(log->calls().back().kind, HostCall::Kind::Create);
  EXPECT_EQ(log->calls().back().result.rfind("raised: ", 0), 0u);
}

TEST_F(Recording, AccessesMadeDuringACallComeAfterItInTheLog) {
  sim.setCallHook([this](const std::string& member) {
    if (member == "SWITCHER_RemoveChannel") switcher->call("SWITCHER_DefineArray", {"Nested"});
  });
  switcher->call("SWITCHER_RemoveChannel", {"BusA0", std::int16_t{1}});
  ASSERT_GE(log->calls().size(), 2u);
  const auto& outer = log->calls()[log->calls().size() - 2];
  EXPECT_EQ(outer.member, "SWITCHER_RemoveChannel");
  EXPECT_EQ(outer.result, "False");  // filled in once the call returned
  EXPECT_EQ(log->calls().back().text(), "SWITCHER_DefineArray(\"Nested\")");

  // A log cleared while a call runs just loses that entry.
  sim.setCallHook([this](const std::string&) { log->clear(); });
  EXPECT_NO_THROW(switcher->get("IOSWITCHER_BUS_B"));
  EXPECT_TRUE(log->calls().empty());
}

TEST_F(Recording, ReleasesReachTheHostInTheOrderTheObjectsAreDropped) {
  EXPECT_EQ(sim.liveObjects(), 2);
  app.reset();
  switcher.reset();
  EXPECT_EQ(sim.liveObjects(), 0);
  const auto texts = log->texts();
  EXPECT_EQ(std::vector<std::string>(texts.end() - 2, texts.end()),
            (std::vector<std::string>{"Release HostApp", "Release IOSwitcher"}));
}

}  // namespace
}  // namespace orvane::host::recording
