#include "panel/qt/PaintingButton.h"

#include <QPainter>

namespace orvane::panel::qt {

namespace {

const QColor FrameColour(0x40, 0x40, 0x40);

}  // namespace

PaintingButton::PaintingButton(const QString& caption, QColor colour, QWidget* parent)
    : QPushButton(caption, parent), colour_(colour) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PaintingButton::setColour(QColor colour) {
  if (colour == colour_) return;
  colour_ = colour;
  update();
}

void PaintingButton::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QRect area = rect();
  painter.fillRect(area, colour_);

  painter.setPen(FrameColour);
  painter.drawRect(area.adjusted(0, 0, -1, -1));
  QRect textArea = area;
  if (isDown()) {
    // Pressed: a shadow along the inner top and left edges, and the caption moves with it.
    painter.drawLine(1, 1, area.width() - 2, 1);
    painter.drawLine(1, 1, 1, area.height() - 2);
    textArea.translate(1, 1);
  }
  if (hasFocus()) {
    QPen dotted(FrameColour, 1, Qt::DotLine);
    painter.setPen(dotted);
    painter.drawRect(area.adjusted(2, 2, -3, -3));
  }

  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  painter.drawText(textArea, Qt::AlignCenter | Qt::TextSingleLine, text());
}

}  // namespace orvane::panel::qt
