#pragma once

#include <QRect>
#include <QWidget>

#include "panel/DcPlot.h"

namespace orvane::panel::qt {

// A trace's line style as Qt draws it; the chart and the legend's line samples both use it.
Qt::PenStyle penStyleOf(LineStyle line);

// The DC history's strip chart: the four traces, the guard lines, the axes with their labels.
// Painted from the plot model; what it last painted stays readable, for checks of the pixels.
class DcChart : public QWidget {
 public:
  DcChart(const controller::DcHistory& history, QWidget* parent);

  void showSpan(int seconds);
  int span() const { return spanSeconds_; }
  const DcPlot& lastPlot() const { return plot_; }
  // Where the plot area lay in the widget when it was last painted.
  QRect lastArea() const { return area_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const controller::DcHistory& history_;
  int spanSeconds_ = DcSpans[0].seconds;
  DcPlot plot_;
  QRect area_;
};

}  // namespace orvane::panel::qt
