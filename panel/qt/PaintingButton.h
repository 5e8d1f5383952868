#pragma once

#include <QColor>
#include <QPushButton>

namespace orvane::panel::qt {

// A push button that shows its background colour exactly, whatever the widget style: it paints
// itself (a flat fill, a one-pixel frame, the caption) instead of asking the style, which would
// wash the colour with its gradient.
class PaintingButton : public QPushButton {
  Q_OBJECT

 public:
  PaintingButton(const QString& caption, QColor colour, QWidget* parent);

  QColor colour() const { return colour_; }
  // Repaints only when the colour really changes; a change between off and on is announced to
  // assistive technology as a change of the checked state.
  void setColour(QColor colour);

  // A channel or relay button: its colour is an on/off state (PanelAccessibility reports it).
  void setShowsOnOffState(bool shows) { showsOnOff_ = shows; }
  bool showsOnOffState() const { return showsOnOff_; }
  bool isOn() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor colour_;
  bool showsOnOff_ = false;
};

}  // namespace orvane::panel::qt
