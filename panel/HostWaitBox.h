#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace orvane::panel {

// How long a host call may go unanswered before the operator is asked, and after how long the
// pointer turns busy.
inline constexpr std::chrono::milliseconds DefaultHostTimeout{5000};
inline constexpr std::chrono::milliseconds BusyCursorAfter{250};

// The box that asks the operator whether to keep waiting for the host: Retry/Cancel (style 5),
// titled like every other box of the program.
struct HostWaitBox {
  // The title the controller's boxes carry now (its Title_Text); empty before start-up has set it.
  std::function<std::string()> title;

  std::string titleText() const;
  // "Qelvix has not answered for 5 seconds." CR LF "Retry keeps waiting; Cancel closes this
  // program."
  static std::string text(std::chrono::milliseconds waited);
};

}  // namespace orvane::panel
