#pragma once

#include <QColor>
#include <QPushButton>

namespace orvane::panel::qt {

// A push button that shows its background colour exactly, whatever the widget style: it paints
// itself (a flat fill, a one-pixel frame, the caption) instead of asking the style, which would
// wash the colour with its gradient.
class PaintingButton : public QPushButton {
 public:
  PaintingButton(const QString& caption, QColor colour, QWidget* parent);

  QColor colour() const { return colour_; }
  // Repaints only when the colour really changes.
  void setColour(QColor colour);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor colour_;
};

}  // namespace orvane::panel::qt
