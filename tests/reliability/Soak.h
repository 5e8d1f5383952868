#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvane::reliability {

struct SoakOptions {
  long ticks = 432000;   // DC-monitor ticks; 432,000 at 200 ms are 24 hours of simulated time
  long clicks = 100000;  // random clicks, mode changes, follow reads of another client's switching
                         // and preset recalls
  std::uint64_t seed = 1;
  int samples = 10;  // memory samples taken along the way, besides the first one
};

struct MemorySample {
  long step;    // ticks done when the sample was taken
  long rssKb;   // VmRSS
  long peakKb;  // VmHWM
};

struct SoakResult {
  long ticksRun = 0;
  long clicksRun = 0;
  long hostCalls = 0;
  long disagreements = 0;  // polls after which the panel did not show what the host holds
  int liveObjectsAtEnd = -1;
  std::size_t historyHeld = 0;  // DC history samples held at the end
  long rssHistoryFullKb = -1;   // VmRSS when the DC history had just filled up (an hour's ticks)
  bool endedCleanly = false;  // the close box ended the run with one unload and no error box
  std::vector<MemorySample> memory;
  std::vector<std::string> problems;
};

// Runs the program against a fault-free simulated host with the DC monitor on: every tick reads
// the four voltages into the DC history, on a clock of its own that moves 200 ms a tick, and the
// clicks are spread evenly between the ticks. The harness's own logs
// are emptied at every memory sample, so that what grows is the program, not the test.
SoakResult runSoak(const SoakOptions& options);

// The VmRSS and VmHWM lines of /proc/self/status, in kB; -1 where they cannot be read.
MemorySample sampleMemory(long step);

}  // namespace orvane::reliability
