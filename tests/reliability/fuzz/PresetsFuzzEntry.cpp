// libFuzzer's entry for the presets file: a finding is printed and ends the run as a crash would.
#include <cstdio>
#include <cstdlib>

#include "tests/reliability/fuzz/PresetsFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string finding = orvane::reliability::presetsFuzzFinding(data, size);
  if (!finding.empty()) {
    std::fprintf(stderr, "broken invariant: %s\n", finding.c_str());
    std::abort();
  }
  return 0;
}
