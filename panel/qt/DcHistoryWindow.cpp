// The DC history window on the Qt panel.
#include "panel/qt/DcHistoryWindow.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "controller/Controller.h"
#include "panel/qt/Colours.h"

namespace orvane::panel::qt {

namespace {

// A short stretch of a trace's line, so that the legend shows each trace's colour and style.
class LineSample : public QWidget {
 public:
  LineSample(const TraceStyle& style, QWidget* parent) : QWidget(parent), style_(style) {
    setFixedSize(32, 12);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QPen pen(toQColor(style_.colour));
    pen.setWidth(2);
    pen.setStyle(penStyleOf(style_.line));
    painter.setPen(pen);
    painter.drawLine(0, height() / 2, width(), height() / 2);
  }

 private:
  TraceStyle style_;
};

}  // namespace

DcHistoryWindow::DcHistoryWindow(DcHistoryActions& actions, QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Window), actions_(actions) {
  auto* layout = new QVBoxLayout(this);
  auto* controls = new QHBoxLayout;
  spans_ = new QComboBox(this);
  for (const DcSpan& span : DcSpans) spans_->addItem(QString::fromUtf8(span.caption));
  spans_->setAccessibleName("Time span");
  auto* save = new QPushButton(QString::fromUtf8(SaveAsCsvCaption), this);
  controls->addWidget(spans_);
  controls->addStretch();
  controls->addWidget(save);
  layout->addLayout(controls);

  chart_ = new DcChart(actions.dcHistory(), this);
  chart_->setAccessibleName("DC history chart");
  layout->addWidget(chart_, 1);

  auto* legend = new QHBoxLayout;
  for (std::size_t t = 0; t < readings_.size(); ++t) {
    legend->addWidget(new LineSample(DcTraceStyles[t], this));
    auto* name = new QLabel(QString::fromUtf8(DcTraceNames[t]) + ":", this);
    readings_[t] = new QLabel(this);
    readings_[t]->setAccessibleName(QString::fromUtf8(DcTraceNames[t]));
    readings_[t]->setMinimumWidth(readings_[t]->fontMetrics().horizontalAdvance("-88.888 V"));
    name->setBuddy(readings_[t]);
    legend->addWidget(name);
    legend->addWidget(readings_[t]);
    legend->addSpacing(12);
  }
  legend->addStretch();
  layout->addLayout(legend);

  connect(spans_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) chart_->showSpan(DcSpans[static_cast<std::size_t>(index)].seconds);
  });
  connect(save, &QPushButton::clicked, this, &DcHistoryWindow::saveAsCsv);
  refresher_.setInterval(controller::TimerIntervalMs);
  connect(&refresher_, &QTimer::timeout, this, &DcHistoryWindow::refresh);
  resize(680, 380);
  refresh();
}

void DcHistoryWindow::setMainCaption(const QString& caption) {
  setWindowTitle(QString::fromUtf8(DcHistoryTitlePrefix) + caption);
}

void DcHistoryWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  refresh();
  refresher_.start();
}

void DcHistoryWindow::hideEvent(QHideEvent* event) {
  refresher_.stop();
  QWidget::hideEvent(event);
}

void DcHistoryWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

// On the monitor's beat: the chart moves on with the clock, the legend shows the latest readings.
void DcHistoryWindow::refresh() {
  for (std::size_t t = 0; t < readings_.size(); ++t) {
    const QString text = QString::fromStdString(panel::legendReading(actions_.dcHistory(), t));
    if (readings_[t]->text() != text) readings_[t]->setText(text);
  }
  chart_->update();
}

void DcHistoryWindow::saveAsCsv() {
  const QString file = QFileDialog::getSaveFileName(this, QString::fromUtf8(SaveAsCsvCaption),
                                                    "dc-history.csv", "CSV files (*.csv)");
  if (!file.isEmpty()) actions_.saveDcHistory(file.toStdString());
}

}  // namespace orvane::panel::qt
