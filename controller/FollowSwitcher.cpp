// Following the switcher: what another client of the host (its own measurement sequences, another
// program) switched shows on the panel without an operator action.
#include "controller/Controller.h"
#include "controller/SkipAndContinue.h"

namespace orvane::controller {

void Controller::followSwitcher() {
  throwIfEnded();
  if (!s_.Switcher) return;
  // The answer is kept to itself: Call_OK is what the operations' own calls left there.
  bool read = false;
  skipOnFailure([&] {
    read = switcher()
               .call("IOSWITCHER_GetFullStatus",
                     {addressRef(), host::Arg::ref(s_.StatusA), host::Arg::ref(s_.StatusB)})
               .toBool();
  });
  if (!read) return;
  // The view repaints only the buttons whose colour changed.
  skipOnFailure([&] { decodeStatusWord(s_.StatusA, 0); });
  skipOnFailure([&] { decodeStatusWord(s_.StatusB, 1); });
}

}  // namespace orvane::controller
