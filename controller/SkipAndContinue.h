#pragma once

#include "host/AutomationError.h"

namespace orvane::controller {

// Skip-and-continue: a statement that fails in the host or in a conversion is abandoned as a whole
// and the operation goes on with the next one. Anything else, the signal that ends the run
// included, passes through.
template <class Statement>
void skipOnFailure(Statement&& statement) {
  try {
    statement();
  } catch (const host::AutomationError&) {
  }
}

// The condition of a decision under skip-and-continue: when evaluating it fails, execution goes on
// inside the decision's then-branch, so a failed condition counts as true.
template <class Condition>
bool holdsOrFails(Condition&& condition) {
  try {
    return condition();
  } catch (const host::AutomationError&) {
    return true;
  }
}

}  // namespace orvane::controller
