#include "panel/HostWaitBox.h"

#include <cstdio>

#include "panel/Controls.h"

namespace orvane::panel {

std::string HostWaitBox::titleText() const {
  std::string shown = title ? title() : std::string();
  if (shown.empty())
    shown = std::string(WindowCaptionAtLoad);  // a box during start-up's first call
  return shown;
}

// Whole seconds as a whole number, shorter waits (tests) with up to three decimals.
std::string HostWaitBox::text(std::chrono::milliseconds waited) {
  const auto ms = waited.count();
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%lld.%03lld", static_cast<long long>(ms / 1000),
                static_cast<long long>(ms % 1000));
  std::string number = buffer;
  number.erase(number.find_last_not_of('0') + 1);
  if (number.back() == '.') number.pop_back();
  const std::string unit = number == "1" ? " second." : " seconds.";
  return "Qelvix has not answered for " + number + unit +
         "\r\nRetry keeps waiting; Cancel closes this program.";
}

}  // namespace orvane::panel
