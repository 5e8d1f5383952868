#pragma once

#include <array>
#include <chrono>
#include <string>
#include <vector>

#include "controller/DcHistory.h"
#include "panel/ControlId.h"

namespace orvane::panel {

// The DC history window's chart, worked out once for both panels: the spans the operator picks,
// the vertical range and its ticks, the time ticks, and each trace reduced to one column per pixel.
// Pixel coordinates are the plot area's own: column 0 is its left edge, row 0 its top.

inline constexpr const char* DcHistoryTitlePrefix = "DC history - ";
inline constexpr const char* DcHistoryMenuCaption = "DC history\u2026";
inline constexpr const char* SaveAsCsvCaption = "Save as CSV\u2026";
// The 6 V guard on the balance relays: its two lines are always in view.
inline constexpr double GuardVolts = 6.0;

struct DcSpan {
  int seconds;
  const char* caption;
};
inline constexpr std::array<DcSpan, 3> DcSpans{
    {{60, "Last minute"}, {600, "Last 10 minutes"}, {3600, "Last hour"}}};

// The traces' names in the legend and for screen readers, in the history's terminal order.
inline constexpr std::array<const char*, controller::DcTerminals> DcTraceNames{
    "Bus A +ve", "Bus A -ve", "Bus B +ve", "Bus B -ve"};

// How each trace is drawn, so that no trace is told from another by its colour alone: colours a
// colour-blind reader tells apart (0xBBGGRR, as the panel's), each with its own line style.
enum class LineStyle { Solid, Dash, Dot, DashDot };
struct TraceStyle {
  Colour colour;
  LineStyle line;
};
inline constexpr std::array<TraceStyle, controller::DcTerminals> DcTraceStyles{
    {{0xB27200, LineStyle::Solid},      // blue
     {0x009FE6, LineStyle::Dash},       // orange
     {0x739E00, LineStyle::Dot},        // bluish green
     {0xA779CC, LineStyle::DashDot}}};  // reddish purple
// The guard lines, solid, in a red no trace has.
inline constexpr Colour GuardColour = 0x0000C0;
inline constexpr Colour GridColour = 0xE0E0E0;
inline constexpr Colour ChartBackground = 0xFFFFFF;

struct AxisTick {
  double value;  // volts, or seconds ago
  int pixel;     // row, or column
  std::string label;
};

// What one trace does within one pixel column. A column no sample falls in has no data; it is a gap
// only where no line joins its neighbours.
struct PlotColumn {
  bool hasData = false;
  double low = 0;
  double high = 0;
  double first = 0;  // the column's first and last readings, where the line enters and leaves it
  double last = 0;
  // The line comes from the previous column that has data: no gap sample and no stall lies between.
  bool joinsPrevious = false;
};

struct DcPlot {
  int width = 0;
  int height = 0;
  double bottomVolts = -GuardVolts;
  double topVolts = GuardVolts;
  std::vector<AxisTick> voltTicks;
  std::vector<AxisTick> timeTicks;
  std::array<std::vector<PlotColumn>, controller::DcTerminals> traces;

  // The row a level of volts is drawn at (it may lie outside the area).
  int rowOf(double volts) const;
};

// Samples further apart than this are not joined: the monitor did not run in between.
inline constexpr std::chrono::milliseconds DcStall{1000};

// The chart of the last `spanSeconds` before `now`, newest on the right, in an area of
// width x height pixels.
DcPlot plotDc(const controller::DcHistory& history, std::chrono::steady_clock::time_point now,
              int spanSeconds, int width, int height);

// The legend's text of a terminal's latest reading: its volts to the millivolt, or "no reading".
std::string legendReading(const controller::DcHistory& history, std::size_t terminal);

}  // namespace orvane::panel
