// The command line both programs read: the same options, the same mistakes, the same words.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace orvane::app {
namespace {

using Arguments = std::vector<std::string>;

CommandLine onLinux(const Arguments& arguments) {
  return readCommandLine(arguments, Platform::Linux, "9.8.7");
}

TEST(CommandLine, TheTraceIsOffUntilAFileIsNamedEitherWay) {
  EXPECT_FALSE(onLinux({}).options->tracePath);
  EXPECT_EQ(onLinux({"--trace", "session.trace"}).options->tracePath, "session.trace");
  EXPECT_EQ(onLinux({"--trace=/tmp/a b.trace"}).options->tracePath, "/tmp/a b.trace");
  EXPECT_EQ(onLinux({"--trace", "-"}).options->tracePath, "-");  // standard error

  const auto both = onLinux({"--sim-addresses", "0,5", "--trace", "-", "--sim-seed=7"});
  ASSERT_TRUE(both.options);
  EXPECT_EQ(both.options->tracePath, "-");
  EXPECT_EQ(both.options->sim.config.addresses, (std::set<int>{0, 5}));
  EXPECT_EQ(both.options->sim.config.seed, 7u);
}

// Qt's own options reach Qt, in their order and with their values, whichever form they take; every
// other argument is ours, and a mistake among them is told although Qt never starts.
TEST(CommandLine, QtsOptionsAreHandedOnAndEverythingElseIsRead) {
  const std::vector<std::pair<Arguments, Arguments>> cases = {
      {{"-platform", "offscreen", "--trace", "x.trace"}, {"-platform", "offscreen"}},
      {{"--trace", "x.trace", "-style=Fusion", "-reverse"}, {"-style", "Fusion", "-reverse"}},
      {{"-display", ":7", "--sim-seed", "3", "--platform", "xcb"},
       {"-display", ":7", "-platform", "xcb"}},
      {{"-platform=offscreen"}, {"-platform", "offscreen"}},  // Qt reads only the split form
      {{"--trace", "-"}, {}},
  };
  for (const auto& [arguments, qt] : cases) {
    const auto read = onLinux(arguments);
    ASSERT_TRUE(read.options) << read.text;
    EXPECT_EQ(read.qtArguments, qt) << arguments[0];
  }
  EXPECT_EQ(onLinux({"-platform", "offscreen", "--trace", "x.trace"}).options->tracePath,
            "x.trace");

  const auto bogus = onLinux({"-platform", "offscreen", "--bogus"});
  EXPECT_FALSE(bogus.options);
  EXPECT_EQ(bogus.exitStatus, ExitBadCommandLine);
  // The mistake and one line that points to the help, not the whole help.
  EXPECT_NE(bogus.text.find("--bogus"), std::string::npos);
  EXPECT_NE(bogus.text.find("orvane-panel --help"), std::string::npos);
  EXPECT_EQ(bogus.text.find("--host-timeout-ms"), std::string::npos) << bogus.text;
  // Windows has no Qt: there "-platform" is a mistake like any other.
  EXPECT_FALSE(readCommandLine({"-platform", "x"}, Platform::Windows, "9.8.7").options);
}

TEST(CommandLine, SimulatorOptionsAndTheTimeoutAreRead) {
  const auto read = onLinux({"--sim-block", "IOSWITCHER_GetFullStatus:4", "--host-timeout-ms",
                             "500", "--sim-latency-ms=3", "--sim-create-ms", "2000",
                             "--sim-ready-ms", "11000", "--sim-sleep-ms", "0"});
  ASSERT_TRUE(read.options) << read.text;
  EXPECT_EQ(read.options->sim.blockMember, "IOSWITCHER_GetFullStatus");
  EXPECT_EQ(read.options->sim.blockFromCall, 4);
  EXPECT_EQ(read.options->sim.latencyMs, 3);
  EXPECT_EQ(read.options->hostTimeout, std::chrono::milliseconds(500));
  EXPECT_EQ(read.options->sim.config.createDelay, std::chrono::milliseconds(2000));
  EXPECT_EQ(read.options->sim.config.readyAfter, std::chrono::milliseconds(11000));
  EXPECT_EQ(read.options->sim.config.sleepTakes, std::chrono::milliseconds(0));
  EXPECT_FALSE(onLinux({}).options->sim.config.sleepTakes);
  EXPECT_TRUE(read.options->simulate);
}

// Each mistake is told with the option's name first, the same by both programs, with status 2.
TEST(CommandLine, MistakesAreToldTheSameWayByBothPrograms) {
  const std::vector<std::pair<Arguments, std::string>> mistakes = {
      {{"--trace"}, "--trace wants a value"},
      {{"--trace="}, "--trace wants a value"},
      {{"--trace", "--address", "3"}, "--trace: needs a file name"},
      {{"--address", "3", "--address", "4"}, "--address takes one value"},
      {{"--trace", ""}, "--trace: needs a file name, or - for standard error"},
      {{"--host-timeout-ms", "0"}, "--host-timeout-ms: wants milliseconds from 1 to 3600000"},
      {{"--host-timeout-ms=abc"}, "--host-timeout-ms: wants milliseconds from 1 to 3600000"},
      {{"--no-such-option"}, "--no-such-option"},
      {{"--address", "65"}, "--address: wants a switcher address from 0 to 64"},
      {{"--address", "-1"}, "--address: wants a switcher address from 0 to 64"},
      {{"--address", "3.5"}, "--address: wants a switcher address from 0 to 64"},
      {{"--address=abc"}, "--address: wants a switcher address from 0 to 64"},
      {{"--address"}, "--address"},
      {{"--follow-ms", "199"}, "--follow-ms: wants milliseconds from 200 to 3600000"},
  };
  for (const auto& [arguments, expected] : mistakes) {
    for (const Platform platform : {Platform::Linux, Platform::Windows}) {
      const auto read = readCommandLine(arguments, platform, "9.8.7");
      EXPECT_FALSE(read.options) << arguments[0];
      EXPECT_TRUE(read.textIsError);
      EXPECT_EQ(read.exitStatus, ExitBadCommandLine);
      EXPECT_NE(read.text.find(expected), std::string::npos) << read.text;
      EXPECT_TRUE(read.text.ends_with("Run 'orvane-panel --help' to see the options.\n"));
    }
  }
  // Qt 5's names that Qt 6 no longer reads, and anything after "--", are not Qt's.
  for (const auto& arguments : std::vector<Arguments>{
           {"-bg", "red"}, {"-fn", "fixed"}, {"-graphicssystem", "raster"}, {"--", "-reverse"}}) {
    const auto read = onLinux(arguments);
    EXPECT_FALSE(read.options) << arguments[0];
    EXPECT_NE(read.text.find("not an option of this program"), std::string::npos) << read.text;
  }
  for (const auto& arguments : std::vector<Arguments>{{"--sim-addresses", "65"},
                                                      {"--sim-block", ":3"},
                                                      {"--sim-block", "Nope"},
                                                      {"--sim-block", "ioswitcher_getfullstatus"},
                                                      {"--sim-seed", "-1"}}) {
    const auto read = onLinux(arguments);
    EXPECT_FALSE(read.options) << arguments[0];
    EXPECT_EQ(read.text.rfind(arguments[0] + ": wants", 0), 0u) << read.text;
  }
}

TEST(CommandLine, TheAddressAndTheFollowPeriodAreBothProgramsOptions) {
  for (const Platform platform : {Platform::Linux, Platform::Windows}) {
    const auto none = readCommandLine({}, platform, "9.8.7");
    EXPECT_FALSE(none.options->address);  // the prompt asks, as ever
    EXPECT_FALSE(none.options->followEvery);
    for (const auto& [text, address] :
         std::vector<std::pair<std::string, int>>{{"0", 0}, {"5", 5}, {"64", 64}}) {
      const auto read = readCommandLine({"--address", text, "--follow-ms=200"}, platform, "9.8.7");
      ASSERT_TRUE(read.options) << read.text;
      EXPECT_EQ(read.options->address, address);
      EXPECT_EQ(read.options->followEvery, std::chrono::milliseconds(200));
    }
  }
  EXPECT_EQ(onLinux({"--sim-other-client", "300"}).options->sim.config.otherClientEvery,
            std::chrono::milliseconds(300));
}

TEST(CommandLine, SimulateIsTheWindowsProgramsChoiceAndTheSimulatorsOptionsLinuxOnly) {
  const auto windows = readCommandLine({"--simulate"}, Platform::Windows, "9.8.7");
  ASSERT_TRUE(windows.options);
  EXPECT_TRUE(windows.options->simulate);
  EXPECT_FALSE(readCommandLine({}, Platform::Windows, "9.8.7").options->simulate);
  EXPECT_FALSE(onLinux({"--simulate"}).options);
  EXPECT_FALSE(readCommandLine({"--sim-seed", "3"}, Platform::Windows, "9.8.7").options);
}

TEST(CommandLine, HelpAndVersionLeaveAtOnceWithoutAMistake) {
  for (const Platform platform : {Platform::Linux, Platform::Windows}) {
    const auto help = readCommandLine({"--help"}, platform, "9.8.7");
    EXPECT_FALSE(help.options);
    EXPECT_FALSE(help.textIsError);
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_NE(help.text.find("--trace FILE"), std::string::npos) << help.text;
    EXPECT_NE(help.text.find("--host-timeout-ms N"), std::string::npos) << help.text;
    EXPECT_NE(help.text.find("Exit status: 0"), std::string::npos) << help.text;

    const auto version = readCommandLine({"--version"}, platform, "9.8.7");
    EXPECT_EQ(version.text, "orvane-panel 9.8.7\n");
    EXPECT_EQ(version.exitStatus, 0);
  }
}

}  // namespace
}  // namespace orvane::app
