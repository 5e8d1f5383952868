#include "panel/qt/ReadoutLabel.h"

#include <QAccessible>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <string>

#include "panel/ReadoutFitter.h"

namespace orvane::panel::qt {

ReadoutLabel::ReadoutLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
  setTextFormat(Qt::PlainText);
}

void ReadoutLabel::setReading(const QString& caption) {
  if (text() == caption) return;
  setText(caption);
  QAccessibleValueChangeEvent changed(this, caption);
  QAccessible::updateAccessibility(&changed);
}

QString ReadoutLabel::shownText() const {
  const int room = contentsRect().width();
  if (room == fittedRoom_ && text() == fittedFor_) return fitted_;
  const QFontMetrics metrics = fontMetrics();
  const auto fits = [&](std::string_view candidate) {
    const auto size = static_cast<qsizetype>(candidate.size());
    return metrics.horizontalAdvance(QString::fromUtf8(candidate.data(), size)) <= room;
  };
  fitted_ = QString::fromStdString(fitReadout(text().toStdString(), fits));
  fittedFor_ = text();
  fittedRoom_ = room;
  return fitted_;
}

void ReadoutLabel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine, shownText());
}

void ReadoutLabel::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) fittedRoom_ = -1;
  QLabel::changeEvent(event);
}

}  // namespace orvane::panel::qt
