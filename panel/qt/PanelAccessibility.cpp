#include "panel/qt/PanelAccessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include "panel/qt/PaintingButton.h"
#include "panel/qt/ReadoutLabel.h"

namespace orvane::panel::qt {

namespace {

// A push button that never toggles itself: pressing it only clicks, as a mouse click does, while
// its checked state follows the colour the controller paints.
class PaintingButtonInterface : public QAccessibleWidget {
 public:
  explicit PaintingButtonInterface(PaintingButton* button)
      : QAccessibleWidget(button, QAccessible::Button) {}

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    const auto* self = button();
    if (self->showsOnOffState()) {
      state.checkable = true;
      state.checked = self->isOn();
    }
    state.pressed = self->isDown();
    return state;
  }

  QString text(QAccessible::Text kind) const override {
    QString text = QAccessibleWidget::text(kind);
    if (kind == QAccessible::Name && text.isEmpty()) text = button()->text();
    return text;
  }

  QStringList actionNames() const override {
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
  }

  void doAction(const QString& action) override {
    if (action != pressAction()) {
      QAccessibleWidget::doAction(action);
    } else if (button()->isEnabled()) {
      button()->click();
    }
  }

 private:
  PaintingButton* button() const { return static_cast<PaintingButton*>(widget()); }
};

class ReadoutInterface : public QAccessibleWidget {
 public:
  explicit ReadoutInterface(ReadoutLabel* label)
      : QAccessibleWidget(label, QAccessible::StaticText) {}

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Value) return static_cast<ReadoutLabel*>(widget())->text();
    return QAccessibleWidget::text(kind);
  }
};

QAccessibleInterface* panelInterfaces(const QString& className, QObject* object) {
  if (className == QLatin1String(PaintingButton::staticMetaObject.className())) {
    return new PaintingButtonInterface(static_cast<PaintingButton*>(object));
  }
  if (className == QLatin1String(ReadoutLabel::staticMetaObject.className())) {
    return new ReadoutInterface(static_cast<ReadoutLabel*>(object));
  }
  return nullptr;
}

}  // namespace

void installPanelAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&panelInterfaces);
    return true;
  }();
  (void)installed;
}

}  // namespace orvane::panel::qt
