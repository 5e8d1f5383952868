// The libFuzzer entry point. The same function is compiled into the corpus replay test, which
// feeds it every kept input with any compiler.
#include <cstddef>
#include <cstdint>

#include "tests/reliability/fuzz/ControllerFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (const auto broken = orvane::reliability::runFuzzInput(data, size)) {
    orvane::reliability::onInvariantBroken(*broken);
  }
  return 0;
}
