#pragma once

#include <windows.h>

#include "panel/DcPlot.h"

namespace orvane::panel::win32 {

// Paints the strip chart into `chart` (client coordinates, axis labels included), off screen first
// so that a refresh never flickers. Returns the plot it drew; `area` gets where its plot area lay.
DcPlot paintDcChart(HDC dc, const RECT& chart, HFONT font, UINT dpi,
                    const controller::DcHistory& history, int spanSeconds, RECT& area);

// A short stretch of a trace's line for the legend, centred on row y.
void drawLineSample(HDC dc, const TraceStyle& style, int left, int y, int width, UINT dpi);

}  // namespace orvane::panel::win32
