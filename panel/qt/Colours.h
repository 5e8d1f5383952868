#pragma once

#include <QColor>

#include "panel/ControlId.h"

namespace orvane::panel::qt {

// The panel's colours are written 0xBBGGRR: red in the low byte.
inline QColor toQColor(Colour colour) {
  return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                static_cast<int>((colour >> 16) & 0xFF));
}

inline Colour fromQColor(const QColor& colour) {
  return static_cast<Colour>(colour.red()) | static_cast<Colour>(colour.green()) << 8 |
         static_cast<Colour>(colour.blue()) << 16;
}

}  // namespace orvane::panel::qt
