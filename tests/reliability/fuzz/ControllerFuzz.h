#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace orvane::reliability {

// Plays one fuzz input against the whole program without a window: the bytes choose the address
// text, the operator's events and answers, and the faults of the simulated host. After every
// event the run is checked against the invariants listed in ControllerFuzz.cpp. Returns a
// description of the first invariant that broke, or nothing when the run was sound.
std::optional<std::string> runFuzzInput(const std::uint8_t* data, std::size_t size);

// How far the last run got, for tuning the input format and for the figures in the docs.
struct FuzzStats {
  int operations = 0;       // operations read from the input
  int eventsHandled = 0;    // operator events that ran a handler
  bool panelShown = false;  // start-up got through to the panel
  std::string ending;       // "unload", "at once", "failed start" or "still running"
};
const FuzzStats& lastFuzzStats();

// Called by the fuzz entry point when an invariant breaks; by default it prints the description
// and aborts, so that libFuzzer keeps the input. The corpus replay test replaces it.
extern void (*onInvariantBroken)(const std::string& description);

}  // namespace orvane::reliability
