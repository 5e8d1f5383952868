// The strip chart painted with GDI from the plot model.
#include "panel/win32/DcChartPainting.h"

#include <string>
#include <vector>

#include "host/com/WideText.h"
#include "panel/win32/Dpi.h"

namespace orvane::panel::win32 {

namespace {

using host::com::toWide;

DWORD penStyleOf(LineStyle line) {
  switch (line) {
    case LineStyle::Dash:
      return PS_DASH;
    case LineStyle::Dot:
      return PS_DOT;
    case LineStyle::DashDot:
      return PS_DASHDOT;
    default:
      return PS_SOLID;
  }
}

// A geometric pen, so that its dashes hold at every width.
HPEN tracePen(const TraceStyle& style, UINT dpi) {
  const LOGBRUSH brush{BS_SOLID, style.colour, 0};
  return ExtCreatePen(PS_GEOMETRIC | penStyleOf(style.line) | PS_ENDCAP_FLAT | PS_JOIN_MITER,
                      static_cast<DWORD>(scaledPixels(2, dpi)), &brush, 0, nullptr);
}

void line(HDC dc, int x1, int y1, int x2, int y2) {
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

// One trace as polylines: each column's first, high, low and last readings, joined to the previous
// column where the model says so.
void drawTrace(HDC dc, const DcPlot& plot, const std::vector<PlotColumn>& columns, POINT origin) {
  std::vector<POINT> run;
  const auto flush = [&] {
    if (run.size() == 1) run.push_back({run.front().x + 1, run.front().y});  // a lone reading
    if (!run.empty()) Polyline(dc, run.data(), static_cast<int>(run.size()));
    run.clear();
  };
  for (int x = 0; x < static_cast<int>(columns.size()); ++x) {
    const PlotColumn& cell = columns[static_cast<std::size_t>(x)];
    if (!cell.hasData) continue;
    if (!cell.joinsPrevious) flush();
    const LONG at = origin.x + x;
    run.push_back({at, origin.y + plot.rowOf(cell.first)});
    if (cell.high != cell.low) {
      run.push_back({at, origin.y + plot.rowOf(cell.high)});
      run.push_back({at, origin.y + plot.rowOf(cell.low)});
    }
    run.push_back({at, origin.y + plot.rowOf(cell.last)});
  }
  flush();
}

}  // namespace

DcPlot paintDcChart(HDC target, const RECT& chart, HFONT font, UINT dpi,
                    const controller::DcHistory& history, int spanSeconds, RECT& area) {
  const int width = std::max<int>(chart.right - chart.left, 1);
  const int height = std::max<int>(chart.bottom - chart.top, 1);
  const HDC dc = CreateCompatibleDC(target);
  const HBITMAP bitmap = CreateCompatibleBitmap(target, width, height);
  const HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  const HGDIOBJ oldFont = SelectObject(dc, font);
  const RECT all{0, 0, width, height};
  const HBRUSH background = CreateSolidBrush(ChartBackground);
  FillRect(dc, &all, background);
  DeleteObject(background);

  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SIZE widest{};
  GetTextExtentPoint32W(dc, L"-888 V", 6, &widest);
  SIZE now{};
  GetTextExtentPoint32W(dc, L"now", 3, &now);
  const int left = widest.cx + scaledPixels(8, dpi);
  const int top = metrics.tmHeight / 2 + scaledPixels(4, dpi);
  const int bottom = metrics.tmHeight + scaledPixels(8, dpi);
  const int right = now.cx / 2 + scaledPixels(6, dpi);
  const RECT plotArea{left, top, std::max(width - right, left + 2),
                      std::max(height - bottom, top + 2)};
  const DcPlot plot = plotDc(history, std::chrono::steady_clock::now(), spanSeconds,
                             plotArea.right - plotArea.left, plotArea.bottom - plotArea.top);

  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  for (const AxisTick& tick : plot.voltTicks) {
    const int y = plotArea.top + tick.pixel;
    RECT label{0, y - metrics.tmHeight / 2, left - scaledPixels(6, dpi), y + metrics.tmHeight};
    DrawTextW(dc, toWide(tick.label).c_str(), -1, &label,
              DT_RIGHT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  }
  for (const AxisTick& tick : plot.timeTicks) {
    const int x = plotArea.left + tick.pixel;
    RECT label{x - 80, plotArea.bottom + scaledPixels(4, dpi), x + 80, height};
    DrawTextW(dc, toWide(tick.label).c_str(), -1, &label,
              DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  }

  const HPEN grid = CreatePen(PS_SOLID, 1, GridColour);
  HGDIOBJ oldPen = SelectObject(dc, grid);
  for (const AxisTick& tick : plot.voltTicks) {
    line(dc, plotArea.left, plotArea.top + tick.pixel, plotArea.right, plotArea.top + tick.pixel);
  }
  for (const AxisTick& tick : plot.timeTicks) {
    line(dc, plotArea.left + tick.pixel, plotArea.top, plotArea.left + tick.pixel, plotArea.bottom);
  }
  const HPEN guard = CreatePen(PS_SOLID, 1, GuardColour);
  SelectObject(dc, guard);
  for (const double volts : {GuardVolts, -GuardVolts}) {
    const int y = plotArea.top + plot.rowOf(volts);
    line(dc, plotArea.left, y, plotArea.right, y);
  }
  const HRGN clip = CreateRectRgn(plotArea.left, plotArea.top, plotArea.right, plotArea.bottom);
  SelectClipRgn(dc, clip);
  for (std::size_t t = 0; t < plot.traces.size(); ++t) {
    const HPEN pen = tracePen(DcTraceStyles[t], dpi);
    SelectObject(dc, pen);
    drawTrace(dc, plot, plot.traces[t], {plotArea.left, plotArea.top});
    SelectObject(dc, guard);
    DeleteObject(pen);
  }
  SelectClipRgn(dc, nullptr);
  DeleteObject(clip);
  const HPEN frame = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
  SelectObject(dc, frame);
  SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, plotArea.left - 1, plotArea.top - 1, plotArea.right + 1, plotArea.bottom + 1);
  SelectObject(dc, oldPen);
  DeleteObject(frame);
  DeleteObject(guard);
  DeleteObject(grid);

  BitBlt(target, chart.left, chart.top, width, height, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  area = {chart.left + plotArea.left, chart.top + plotArea.top, chart.left + plotArea.right,
          chart.top + plotArea.bottom};
  return plot;
}

void drawLineSample(HDC dc, const TraceStyle& style, int left, int y, int width, UINT dpi) {
  const HPEN pen = tracePen(style, dpi);
  const HGDIOBJ old = SelectObject(dc, pen);
  line(dc, left, y, left + width, y);
  SelectObject(dc, old);
  DeleteObject(pen);
}

}  // namespace orvane::panel::win32
