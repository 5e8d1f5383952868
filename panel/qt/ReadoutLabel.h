#pragma once

#include <QLabel>
#include <QString>

namespace orvane::panel::qt {

// A DC readout. Its text() is the caption exactly as the controller set it, for tests and for
// assistive technology; what it paints is that caption fitted to its width (fitReadout): a rounded
// reading or a mark, never the reading's first few characters.
class ReadoutLabel : public QLabel {
  Q_OBJECT

 public:
  ReadoutLabel(const QString& caption, QWidget* parent);

  // Sets the caption and tells assistive technology of the new value; an equal caption does
  // nothing.
  void setReading(const QString& caption);
  // The text painted for the current caption in the current font and width.
  QString shownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // The fitted text of the last caption, width and font: paints come more often than captions.
  mutable QString fittedFor_;
  mutable int fittedRoom_ = -1;
  mutable QString fitted_;
};

}  // namespace orvane::panel::qt
