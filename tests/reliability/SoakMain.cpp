// The soak run as a program: `reliability_soak [--ticks N] [--clicks N] [--seed N] [--samples N]`.
// Prints the memory figures along the way; exits non-zero when the run misbehaved. Memory is
// reported, not judged: scripts/soak compares the figures.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/reliability/Soak.h"

int main(int argc, char** argv) {
  orvane::reliability::SoakOptions options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const long value = std::strtol(argv[i + 1], nullptr, 10);
    if (!std::strcmp(argv[i], "--ticks")) {
      options.ticks = value;
    } else if (!std::strcmp(argv[i], "--clicks")) {
      options.clicks = value;
    } else if (!std::strcmp(argv[i], "--seed")) {
      options.seed = static_cast<std::uint64_t>(value);
    } else if (!std::strcmp(argv[i], "--samples")) {
      options.samples = static_cast<int>(value);
    } else {
      std::fprintf(stderr, "unknown option %s\n", argv[i]);
      return 2;
    }
  }
  std::printf("soak: %ld ticks (%.1f h simulated), %ld clicks, seed %llu\n", options.ticks,
              static_cast<double>(options.ticks) * 0.2 / 3600.0, options.clicks,
              static_cast<unsigned long long>(options.seed));
  const auto result = orvane::reliability::runSoak(options);
  for (const auto& sample : result.memory) {
    std::printf("memory at tick %8ld: VmRSS %6ld kB  VmHWM %6ld kB\n", sample.step, sample.rssKb,
                sample.peakKb);
  }
  const auto& first = result.memory.front();
  const auto& last = result.memory.back();
  std::printf("ticks %ld, clicks %ld, host calls %ld, live host objects at end %d\n",
              result.ticksRun, result.clicksRun, result.hostCalls, result.liveObjectsAtEnd);
  std::printf("RSS start %ld kB, end %ld kB, peak %ld kB, growth %ld kB\n", first.rssKb, last.rssKb,
              last.peakKb, last.rssKb - first.rssKb);
  if (result.rssHistoryFullKb >= 0) {
    std::printf("DC history: %zu samples held; RSS %ld kB when it had filled, %ld kB at the end\n",
                result.historyHeld, result.rssHistoryFullKb, last.rssKb);
  }
  for (const auto& problem : result.problems) std::printf("PROBLEM: %s\n", problem.c_str());
  return result.problems.empty() ? 0 : 1;
}
