#pragma once

#include <cstdint>
#include <string>

namespace orvane::panel {

// The controls of the main window, by role. BusA and BusB are indexed rows of 18 buttons:
// 0 "All Off", 1..16 the channels X1..X8 and Y1..Y8, 17 "All On".
enum class ControlName {
  BusA,
  BusB,
  BalA_Button,
  LoadA_Button,
  BalB_Button,
  LoadB_Button,
  Label1,
  Label2,
  ResetButton,
  Label3,
  PrevButton,
  NextButton,
  DCButton,
  Label4,
  Label5,
  Label6,
  Label7,
  Label8,
  Label10,
  Mode_Droplist,
  Timer1,
};

struct ControlId {
  ControlName name;
  std::int16_t index = 0;  // the member of an indexed row; 0 for every other control

  friend bool operator==(const ControlId&, const ControlId&) = default;
};

inline ControlId busButton(int bus, int index) {
  return {bus == 0 ? ControlName::BusA : ControlName::BusB, static_cast<std::int16_t>(index)};
}

// "BusA(5)", "BalA_Button": the name a reader of the code and of test failures knows.
std::string controlText(ControlId id);

// Colours are 24-bit values written 0xBBGGRR (blue in the high byte).
using Colour = std::uint32_t;

namespace colour {
inline constexpr Colour Grey = 0x808080;
inline constexpr Colour Green = 0x00FF00;
inline constexpr Colour Orange = 0x0080FF;
inline constexpr Colour White = 0xFFFFFF;
inline constexpr Colour Red = 0x0000FF;
inline constexpr Colour Blue = 0xFF0000;
inline constexpr Colour Black = 0x000000;
inline constexpr Colour Teal = 0xC0C000;
}  // namespace colour

}  // namespace orvane::panel
