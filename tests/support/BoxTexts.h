#pragma once

namespace orvane::testing {

// The box that ends a run whose connection was lost.
inline constexpr const char* LostConnectionText =
    "Connection with Qelvix and/or the switcher failed.\r\n\r\nThis program will now close.";

}  // namespace orvane::testing
