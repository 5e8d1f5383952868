#include "panel/qt/PaintingButton.h"

#include <QAccessible>
#include <QPaintEvent>
#include <QPainter>

#include "panel/AccessibleNames.h"
#include "panel/qt/Colours.h"

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
  const bool wasOn = isOn();
  colour_ = colour;
  update();
  if (showsOnOff_ && isOn() != wasOn) {
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
  }
}

bool PaintingButton::isOn() const {
  return isOnColour(fromQColor(colour_));
}

void PaintingButton::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect area = rect();
  painter.fillRect(area, colour_);

  // The frame as four one-pixel fills: the raster engine's solid fill is far cheaper than a
  // stroked rectangle.
  const int w = area.width();
  const int h = area.height();
  painter.fillRect(0, 0, w, 1, FrameColour);
  painter.fillRect(0, h - 1, w, 1, FrameColour);
  painter.fillRect(0, 1, 1, h - 2, FrameColour);
  painter.fillRect(w - 1, 1, 1, h - 2, FrameColour);
  painter.setPen(FrameColour);
  // Neighbours share a one-pixel border, so a neighbour's repaint reaches this button along its
  // frame only: the fill and the frame cover that, and the caption is not laid out again for it.
  if (!event->region().intersects(area.adjusted(1, 1, -1, -1))) return;
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
