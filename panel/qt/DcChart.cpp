// The strip chart painted with QPainter from the plot model; no antialiasing, so that the lines
// sit on whole pixels at every scale.
#include "panel/qt/DcChart.h"

#include <QPainter>
#include <QPolygon>

#include "panel/qt/Colours.h"

namespace orvane::panel::qt {

Qt::PenStyle penStyleOf(LineStyle line) {
  switch (line) {
    case LineStyle::Dash:
      return Qt::DashLine;
    case LineStyle::Dot:
      return Qt::DotLine;
    case LineStyle::DashDot:
      return Qt::DashDotLine;
    default:
      return Qt::SolidLine;
  }
}

namespace {

// One trace as polylines: each column's first, high, low and last readings, joined to the previous
// column where the model says so.
void drawTrace(QPainter& painter, const DcPlot& plot, const std::vector<PlotColumn>& columns) {
  QPolygon run;
  const auto flush = [&] {
    if (run.size() == 1) run << run.front();  // a lone reading is still a dot
    if (!run.isEmpty()) painter.drawPolyline(run);
    run.clear();
  };
  for (int x = 0; x < static_cast<int>(columns.size()); ++x) {
    const PlotColumn& cell = columns[static_cast<std::size_t>(x)];
    if (!cell.hasData) continue;
    if (!cell.joinsPrevious) flush();
    run << QPoint(x, plot.rowOf(cell.first));
    if (cell.high != cell.low)
      run << QPoint(x, plot.rowOf(cell.high)) << QPoint(x, plot.rowOf(cell.low));
    run << QPoint(x, plot.rowOf(cell.last));
  }
  flush();
}

}  // namespace

DcChart::DcChart(const controller::DcHistory& history, QWidget* parent)
    : QWidget(parent), history_(history) {
  setMinimumSize(240, 140);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void DcChart::showSpan(int seconds) {
  spanSeconds_ = seconds;
  update();
}

void DcChart::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), toQColor(ChartBackground));
  const QFontMetrics metrics(font());
  const int left = metrics.horizontalAdvance("-888 V") + 8;
  const int right = metrics.horizontalAdvance("now") / 2 + 6;
  const int top = metrics.height() / 2 + 4;
  const int bottom = metrics.height() + 8;
  area_ =
      QRect(left, top, std::max(width() - left - right, 2), std::max(height() - top - bottom, 2));
  plot_ = plotDc(history_, std::chrono::steady_clock::now(), spanSeconds_, area_.width(),
                 area_.height());

  painter.setPen(palette().color(QPalette::WindowText));
  for (const AxisTick& tick : plot_.voltTicks) {
    const int y = area_.top() + tick.pixel;
    painter.drawText(QRect(0, y - metrics.height() / 2, left - 6, metrics.height()),
                     Qt::AlignRight | Qt::AlignVCenter, QString::fromStdString(tick.label));
  }
  for (const AxisTick& tick : plot_.timeTicks) {
    const int x = area_.left() + tick.pixel;
    painter.drawText(QRect(x - 60, area_.bottom() + 4, 120, metrics.height()), Qt::AlignHCenter,
                     QString::fromStdString(tick.label));
  }

  painter.translate(area_.topLeft());
  painter.setPen(toQColor(GridColour));
  for (const AxisTick& tick : plot_.voltTicks)
    painter.drawLine(0, tick.pixel, plot_.width - 1, tick.pixel);
  for (const AxisTick& tick : plot_.timeTicks)
    painter.drawLine(tick.pixel, 0, tick.pixel, plot_.height - 1);
  painter.setPen(toQColor(GuardColour));
  for (const double guard : {GuardVolts, -GuardVolts}) {
    painter.drawLine(0, plot_.rowOf(guard), plot_.width - 1, plot_.rowOf(guard));
  }
  painter.setClipRect(0, 0, plot_.width, plot_.height);
  for (std::size_t t = 0; t < plot_.traces.size(); ++t) {
    QPen pen(toQColor(DcTraceStyles[t].colour));
    pen.setStyle(penStyleOf(DcTraceStyles[t].line));
    pen.setWidth(2);  // a dotted line one pixel wide is hard to see
    painter.setPen(pen);
    drawTrace(painter, plot_, plot_.traces[t]);
  }
  painter.setClipping(false);
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(-1, -1, plot_.width + 1, plot_.height + 1);
}

}  // namespace orvane::panel::qt
