#pragma once

#include <string>

#include "controller/DcHistory.h"

namespace orvane::panel {

// What the DC history window needs of the program: the history it draws, and a way to keep it.
class DcHistoryActions {
 public:
  virtual ~DcHistoryActions() = default;
  virtual const controller::DcHistory& dcHistory() const = 0;
  // Writes the whole history held as CSV to the file (a UTF-8 name) in one step; a box says so
  // where it cannot.
  virtual void saveDcHistory(const std::string& file) = 0;
};

}  // namespace orvane::panel
