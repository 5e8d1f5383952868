// Following the switcher: what another client of the host (its own measurement sequences, another
// program) switched shows on the panel without an operator action.
#include "controller/Controller.h"
#include "controller/SkipAndContinue.h"

namespace orvane::controller {

void Controller::followSwitcher() {
  throwIfEnded();
  if (s_.Switcher) readSwitcher();
}

// The status read on its own: no reset, no box. Its answer is kept to itself: Call_OK is what the
// operations' own calls left there. False when the switcher could not be read or a word could not
// be decoded; the view repaints only the buttons whose colour changed.
bool Controller::readSwitcher() {
  throwIfEnded();
  bool read = false;
  skipOnFailure([&] {
    read = switcher()
               .call("IOSWITCHER_GetFullStatus",
                     {addressRef(), host::Arg::ref(s_.StatusA), host::Arg::ref(s_.StatusB)})
               .toBool();
  });
  if (!read) return false;
  bool decoded = true;
  for (int bus = 0; bus < 2; ++bus) {
    try {
      decodeStatusWord(bus == 0 ? s_.StatusA : s_.StatusB, bus);
    } catch (const host::AutomationError&) {
      decoded = false;
    }
  }
  return decoded;
}

}  // namespace orvane::controller
