// The Linux program's command line: the trace option beside the simulator's options.
#include <gtest/gtest.h>

#include "app/linux/Options.h"

namespace orvane::app {
namespace {

TEST(Options, TheTraceIsOffUntilAFileIsNamedEitherWay) {
  EXPECT_FALSE(parseOptions({}).options->tracePath);
  EXPECT_EQ(parseOptions({"--trace", "session.trace"}).options->tracePath, "session.trace");
  EXPECT_EQ(parseOptions({"--trace=/tmp/a b.trace"}).options->tracePath, "/tmp/a b.trace");
  EXPECT_EQ(parseOptions({"--trace", "-"}).options->tracePath, "-");  // standard error

  const auto both = parseOptions({"--sim-addresses", "0,5", "--trace", "-", "--sim-seed=7"});
  ASSERT_TRUE(both.options);
  EXPECT_EQ(both.options->tracePath, "-");
  EXPECT_EQ(both.options->sim.addresses, (std::set<int>{0, 5}));
  EXPECT_EQ(both.options->sim.seed, 7u);

  // Before Qt has taken its options out, the trace is read all the same.
  const auto early = parseOptions({"-platform", "offscreen", "--trace", "x.trace"}, true);
  EXPECT_EQ(early.options->tracePath, "x.trace");
}

TEST(Options, ATraceWithoutAFileIsAMistakeOfTheCommandLine) {
  for (const auto& arguments : std::vector<std::vector<std::string>>{{"--trace"}, {"--trace="}}) {
    const auto parsed = parseOptions(arguments);
    EXPECT_FALSE(parsed.options);
    EXPECT_EQ(parsed.error.rfind("--trace: ", 0), 0u) << parsed.error;
  }
  EXPECT_NE(usageText("orvane-panel").find("--trace FILE"), std::string::npos);
}

}  // namespace
}  // namespace orvane::app
