#include "panel/Controls.h"

#include <array>
#include <stdexcept>

namespace orvane::panel {

namespace {

using enum ControlName;
using K = ControlKind;
using A = TextAlignment;

constexpr std::string_view AllOffTip = "Turn all channels on this bus off";
constexpr std::string_view AllOnTip = "Turn all channels on this bus on";
constexpr std::string_view ChannelCaptions[] = {"All Off", "X1", "X2", "X3", "X4", "X5",
                                                "X6",      "X7", "X8", "Y1", "Y2", "Y3",
                                                "Y4",      "Y5", "Y6", "Y7", "Y8", "All On"};
constexpr int BusRowTop[] = {0, 240};
constexpr int BusRowFirstTab[] = {17, 36};

// Channel i of the X group sits at 720 + 360 (i - 1); the Y group starts 480 further right.
constexpr int channelLeft(int index) {
  if (index == 0) return 0;
  if (index == 17) return 7080;
  if (index <= 8) return 720 + 360 * (index - 1);
  return 4080 + 360 * (index - 9);
}

// "All Off" takes the row's first tab index, then the channels and "All On" follow after a gap of
// one (the gap in row A is Mode_Droplist's 18).
constexpr int channelTab(int bus, int index) {
  const int first = BusRowFirstTab[bus];
  if (bus == 0 && index > 0) return first + index + 1;
  return first + index;
}

constexpr ControlSpec busMember(int bus, int index) {
  const bool allButton = index == 0 || index == 17;
  return ControlSpec{
      {bus == 0 ? BusA : BusB, static_cast<std::int16_t>(index)},
      K::PaintingButton,
      ChannelCaptions[index],
      channelLeft(index),
      BusRowTop[bus],
      allButton ? 615 : 375,
      255,
      allButton ? colour::White : colour::Grey,
      std::nullopt,
      A::Default,
      channelTab(bus, index),
      index == 0 ? AllOffTip : (index == 17 ? AllOnTip : std::string_view{}),
  };
}

constexpr ControlSpec other(ControlName name, ControlKind kind, std::string_view caption, int left,
                            int top, int width, int height, std::optional<Colour> back,
                            std::optional<Colour> text, TextAlignment alignment, int tab,
                            std::string_view tooltip) {
  return ControlSpec{{name, 0}, kind, caption, left,      top, width,
                     height,    back, text,    alignment, tab, tooltip};
}

constexpr auto buildTable() {
  std::array<ControlSpec, 36 + 19> table{};
  std::size_t n = 0;
  for (int bus = 0; bus < 2; ++bus) {
    for (int index = 0; index < 18; ++index) table[n++] = busMember(bus, index);
  }
  constexpr auto none = std::nullopt;
  constexpr std::string_view balTip = "Toggle balanced measuring mode";
  constexpr std::string_view loadTip = "Toggle load relay";
  table[n++] = other(BalA_Button, K::PaintingButton, "Bal", 7800, 0, 495, 255, colour::Grey, none,
                     A::Default, 0, balTip);
  table[n++] = other(LoadA_Button, K::PaintingButton, "Load", 8280, 0, 495, 255, colour::Grey, none,
                     A::Default, 1, loadTip);
  table[n++] = other(BalB_Button, K::PaintingButton, "Bal", 7800, 240, 495, 255, colour::Grey, none,
                     A::Default, 2, balTip);
  table[n++] = other(LoadB_Button, K::PaintingButton, "Load", 8280, 240, 495, 255, colour::Grey,
                     none, A::Default, 3, loadTip);
  table[n++] = other(Label1, K::Label, "Bus A", 3600, 0, 495, 255, colour::Blue, colour::White,
                     A::Centre, 4, "");
  table[n++] = other(Label2, K::Label, "Bus B", 3600, 240, 495, 255, colour::Blue, colour::White,
                     A::Centre, 5, "");
  table[n++] = other(ResetButton, K::PaintingButton, "Disconnect All (reset)", 7080, 480, 1695, 255,
                     colour::Red, none, A::Default, 6, "Disconnect all relays and reset switcher");
  table[n++] = other(Label3, K::Label, "Link/Mode:", 0, 525, 855, 255, none, none, A::Left, 7,
                     "controls how channels are switched/linked");
  table[n++] = other(PrevButton, K::PlainButton, "<", 2640, 480, 495, 255, none, none, A::Default,
                     8, "Go to previous channel");
  table[n++] = other(NextButton, K::PlainButton, ">", 3120, 480, 495, 255, none, none, A::Default,
                     9, "Go to next channel");
  table[n++] = other(DCButton, K::PlainButton, "DC", 5040, 480, 615, 255, none, none, A::Default,
                     10, "Toggles reading of DC voltage on and off");
  table[n++] = other(Label4, K::Label, "- - V ", 4080, 480, 495, 255, colour::Black, colour::Teal,
                     A::Right, 11, "DC volts on Bus A +ve terminal");
  table[n++] = other(Label5, K::Label, "- - V ", 4560, 480, 495, 255, colour::Black, colour::Teal,
                     A::Right, 12, "DC volts on Bus A -ve terminal");
  table[n++] = other(Label6, K::Label, "- - V ", 6000, 480, 495, 255, colour::Black, colour::Teal,
                     A::Right, 13, "DC volts on Bus B +ve terminal");
  table[n++] = other(Label7, K::Label, "- - V ", 6480, 480, 495, 255, colour::Black, colour::Teal,
                     A::Right, 14, "DC volts on Bus B -ve terminal");
  table[n++] = other(Label8, K::Label, "A+/- ", 3705, 525, 375, 255, none, none, A::Right, 15, "");
  table[n++] = other(Label10, K::Label, "B+/- ", 5640, 510, 375, 255, none, none, A::Right, 16, "");
  table[n++] = other(Mode_Droplist, K::DropDownList, "", 840, 480, 1815, 315, none, none,
                     A::Default, 18, "Selection of operation modes");
  table[n++] = other(Timer1, K::Timer, "", 0, 0, 0, 0, none, none, A::Default, -1, "");
  return std::pair{table, n};
}

constexpr auto Built = buildTable();
static_assert(Built.second == Built.first.size(), "every row of the table is filled");
constexpr auto Table = Built.first;

}  // namespace

std::span<const ControlSpec> controlTable() {
  return Table;
}

const ControlSpec& controlSpec(ControlId id) {
  for (const auto& tableRow : Table) {
    if (tableRow.id == id) return tableRow;
  }
  throw std::out_of_range("no control " + controlText(id));
}

std::string controlText(ControlId id) {
  static constexpr std::string_view Names[] = {
      "BusA",     "BusB",          "BalA_Button", "LoadA_Button", "BalB_Button", "LoadB_Button",
      "Label1",   "Label2",        "ResetButton", "Label3",       "PrevButton",  "NextButton",
      "DCButton", "Label4",        "Label5",      "Label6",       "Label7",      "Label8",
      "Label10",  "Mode_Droplist", "Timer1"};
  std::string text(Names[static_cast<int>(id.name)]);
  if (id.name == BusA || id.name == BusB) {
    // Appended piece by piece: "(" + std::to_string(...) trips GCC 12's -Wrestrict at -O2.
    text += '(';
    text += std::to_string(id.index);
    text += ')';
  }
  return text;
}

}  // namespace orvane::panel
