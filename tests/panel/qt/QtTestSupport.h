#pragma once

#include <QApplication>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "panel/Controls.h"
#include "panel/qt/Colours.h"
#include "panel/qt/PanelWindow.h"

namespace orvane::testing {

// The pixel rectangle of a control, from the table.
inline QRect pixelRect(const panel::ControlSpec& tableRow) {
  using panel::qt::toPixels;
  return {toPixels(tableRow.left), toPixels(tableRow.top), toPixels(tableRow.width),
          toPixels(tableRow.height)};
}

// The colour the window really shows at a point of its client area, as 0xBBGGRR.
inline panel::Colour shownColour(QWidget& window, QPoint at) {
  const QImage image = window.grab().toImage();
  return panel::qt::fromQColor(image.pixelColor(at));
}

// A point just inside a control's top left corner: inside the frame of a painting button, clear
// of its caption, its focus rectangle and the neighbours that share its borders.
inline QPoint insideCorner(const panel::ControlSpec& tableRow) {
  return pixelRect(tableRow).topLeft() + QPoint(1, 1);
}

// Acts on the next modal widget once its event loop runs: a box opened by the code under test
// is answered without a human. Tries again on later turns of the loop until a modal widget is up.
inline void whenModalOpens(std::function<void(QWidget*)> act, int turnsLeft = 1000) {
  QTimer::singleShot(0, [act = std::move(act), turnsLeft]() mutable {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      act(modal);
    } else if (turnsLeft > 0) {
      whenModalOpens(std::move(act), turnsLeft - 1);
    }
  });
}

}  // namespace orvane::testing
