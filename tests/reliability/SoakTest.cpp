// A short soak in the unit suite: the run stays correct and lets go of the host at the end. Memory
// figures are printed by reliability_soak, never judged here.
#include <gtest/gtest.h>

#include "tests/reliability/Soak.h"

namespace orvane::reliability {
namespace {

TEST(Soak, ShortRunStaysInStepWithTheHostAndReleasesEverything) {
  SoakOptions options;
  options.ticks = 3000;
  options.clicks = 800;
  options.seed = 3;
  options.samples = 3;
  const auto result = runSoak(options);
  EXPECT_EQ(result.ticksRun, 3000);
  EXPECT_EQ(result.clicksRun, 800);
  EXPECT_EQ(result.disagreements, 0);
  EXPECT_EQ(result.liveObjectsAtEnd, 0);
  EXPECT_TRUE(result.endedCleanly);
  for (const auto& problem : result.problems) ADD_FAILURE() << problem;
  // Each tick reads two bus constants and two voltages.
  EXPECT_GE(result.hostCalls, 4 * 3000);
}

}  // namespace
}  // namespace orvane::reliability
