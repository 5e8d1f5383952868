#pragma once

#include <QTimer>
#include <QWidget>
#include <array>

#include "panel/DcHistoryActions.h"
#include "panel/qt/DcChart.h"

class QComboBox;
class QLabel;

namespace orvane::panel::qt {

// The DC history window: the span the operator picks, Save as CSV, the strip chart and a legend
// with each terminal's latest reading. It keeps up with the monitor's ticks only while it is on
// the screen; closed, it costs nothing. It never holds up the main window.
class DcHistoryWindow : public QWidget {
  Q_OBJECT

 public:
  DcHistoryWindow(DcHistoryActions& actions, QWidget* mainWindow);

  // The title follows the main window's caption.
  void setMainCaption(const QString& caption);
  DcChart& chart() { return *chart_; }
  QComboBox& spanList() { return *spans_; }
  QLabel& legendReading(std::size_t terminal) { return *readings_[terminal]; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void refresh();
  void saveAsCsv();

  DcHistoryActions& actions_;
  DcChart* chart_ = nullptr;
  QComboBox* spans_ = nullptr;
  std::array<QLabel*, controller::DcTerminals> readings_{};
  QTimer refresher_;
};

}  // namespace orvane::panel::qt
