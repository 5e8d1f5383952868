#pragma once

#include <QApplication>
#include <QEvent>
#include <QPaintEvent>
#include <QWidget>
#include <memory>

#include "bench/BenchSupport.h"
#include "controller/Controller.h"
#include "panel/qt/PanelWindow.h"
#include "panel/qt/QtView.h"

namespace orvane::bench {

// Counts the paint events of every widget it watches and the area they repaint.
class PaintCounter : public QObject {
 public:
  void watch(QWidget& window) {
    window.installEventFilter(this);
    for (QWidget* child : window.findChildren<QWidget*>()) child->installEventFilter(this);
  }
  long paints = 0;
  long long pixels = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints;
      for (const QRect& r : static_cast<QPaintEvent*>(event)->region()) {
        pixels += static_cast<long long>(r.width()) * r.height();
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

// Lets the posted update requests run: this is where the widgets paint.
inline void paintNow() {
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// The Qt window driven by the controller, on a host that answers at once with the words set.
struct QtPanel {
  QtPanel()
      : host(std::make_shared<InstantHost>(host::Variant(std::int32_t{0}),
                                           host::Variant(std::int32_t{0}))),
        view(window),
        controller(view, services, factoryFor(host)) {
    auto& s = controller.state();
    s.Switcher = host;
    s.HostApp = host;
    s.Status_Width = 18;
    s.Keep_Running = true;
    window.show();
    for (int i = 0; i < 5; ++i) paintNow();  // the first show and its exposes
    counter.watch(window);
  }

  std::shared_ptr<InstantHost> host;
  panel::qt::PanelWindow window;
  panel::qt::QtView view;
  AcceptingServices services;
  controller::Controller controller;
  PaintCounter counter;
};

}  // namespace orvane::bench
