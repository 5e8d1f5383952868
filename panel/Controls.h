#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "panel/ControlId.h"

namespace orvane::panel {

// The one table of the main window's controls. Every panel builds its window from it and the
// tests check every panel against it; nothing about the layout is written anywhere else.

enum class ControlKind { PaintingButton, PlainButton, Label, DropDownList, Timer };
enum class TextAlignment { Default, Left, Centre, Right };

struct ControlSpec {
  ControlId id;
  ControlKind kind;
  std::string_view caption;
  // Position and size in twips from the top left of the client area; 15 twips are one pixel at
  // 96 dots per inch.
  int left, top, width, height;
  std::optional<Colour> backColour;  // nullopt: the platform's default
  std::optional<Colour> textColour;
  TextAlignment alignment;
  int tabIndex;              // -1 for the timer, which takes no focus
  std::string_view tooltip;  // empty: none
};

inline constexpr int ClientWidthTwips = 8775;
inline constexpr int ClientHeightTwips = 765;
inline constexpr int TwipsPerPixel = 15;
inline constexpr std::string_view WindowCaptionAtLoad = "Orvane I/O Switcher";

// Every control, the two rows' 36 members included; the order is the tab order of neither.
std::span<const ControlSpec> controlTable();
// The row of one control; every ControlId the controller uses has one.
const ControlSpec& controlSpec(ControlId id);

}  // namespace orvane::panel
