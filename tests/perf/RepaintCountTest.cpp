// Lean repaints on the Qt panel: a view operation that sets what a control already shows costs no
// repaint at all, and a change repaints only the changed control's own area. A status poll sets
// all 36 button colours and a DC tick all four captions, five times a second, so a repaint that is
// not needed here is paid for on every poll and every tick.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QPaintEvent>
#include <QWidget>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "controller/Controller.h"
#include "panel/Controls.h"
#include "panel/qt/PanelWindow.h"
#include "panel/qt/QtView.h"

namespace orvane::testing {
namespace {

using panel::ControlId;
using panel::ControlName;
namespace colour = panel::colour;

// Every paint event and every property-change event the window's widgets receive, by widget.
class EventTally : public QObject {
 public:
  void watch(QWidget& window) {
    window.installEventFilter(this);
    for (QWidget* child : window.findChildren<QWidget*>()) child->installEventFilter(this);
  }
  void clear() {
    painted.clear();
    changes = 0;
  }
  int paintCount() const {
    int n = 0;
    for (const auto& [widget, region] : painted) n += region.second;
    return n;
  }

  // widget -> (union of its painted regions, in window coordinates; number of paint events)
  std::map<const QWidget*, std::pair<QRegion, int>> painted;
  int changes = 0;  // title, enabled, palette, style and font changes

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* widget = static_cast<QWidget*>(watched);
    switch (event->type()) {
      case QEvent::Paint: {
        const QRegion region = static_cast<QPaintEvent*>(event)->region();
        auto& entry = painted[widget];
        entry.first += widget->isWindow() ? region : region.translated(widget->pos());
        ++entry.second;
        break;
      }
      case QEvent::WindowTitleChange:
      case QEvent::EnabledChange:
      case QEvent::PaletteChange:
      case QEvent::StyleChange:
      case QEvent::FontChange:
        ++changes;
        break;
      default:
        break;
    }
    return false;
  }
};

// A host that answers every member at once: two fixed status words, two fixed DC readings.
class FixedHost : public host::Object {
 public:
  host::Variant call(std::string_view member, host::Args args) override {
    if (member == "IOSWITCHER_GetFullStatus") {
      args[1].write(statusA);
      args[2].write(statusB);
    } else if (member == "IOSWITCHER_GetBusDC") {
      args[2].write(host::Variant(0.25));
      args[3].write(host::Variant(-0.5));
    }
    return host::Variant(true);
  }
  host::Variant get(std::string_view) override { return host::Variant(std::int16_t{1}); }
  void put(std::string_view, const host::Variant&) override {}

  host::Variant statusA{std::int32_t{0}};
  host::Variant statusB{std::int32_t{0}};
};

class NoBoxes : public controller::PlatformServices {
 public:
  std::optional<std::string> inputBox(const std::string&, const std::string&,
                                      const std::string& t) override {
    return t;
  }
  std::int16_t messageBox(const std::string&, std::int16_t, const std::string&) override {
    return controller::box::AnswerOk;
  }
  void endAtOnce() override {}
};

class Repaints : public ::testing::Test {
 protected:
  Repaints()
      : host(std::make_shared<FixedHost>()),
        view(window),
        controller(view, services, [this](const std::string&) { return host; }) {
    auto& s = controller.state();
    s.Switcher = host;
    s.Status_Width = 18;
    window.show();
    settle();
    tally.watch(window);
  }

  // Runs the posted update requests: this is where the widgets paint.
  static void settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  }
  QWidget& widget(ControlId id) { return *window.control(id); }
  QRegion area(ControlId id) { return QRegion(widget(id).geometry()); }
  // The control repainted its area, all but the one-pixel rim that a neighbour drawn above it
  // may cover.
  bool paintedWhole(const EventTally& t, ControlId id) {
    const auto found = t.painted.find(&widget(id));
    if (found == t.painted.end()) return false;
    const QRegion region = found->second.first;
    const QRect inner = widget(id).geometry().adjusted(1, 1, -1, -1);
    return region.intersected(inner) == QRegion(inner) && region.subtracted(area(id)).isEmpty();
  }

  // Applies a change, paints, and returns what it cost.
  template <class Change>
  const EventTally& costOf(Change&& change) {
    settle();
    tally.clear();
    change();
    settle();
    return tally;
  }

  std::shared_ptr<FixedHost> host;
  panel::qt::PanelWindow window;
  panel::qt::QtView view;
  NoBoxes services;
  controller::Controller controller;
  EventTally tally;
};

TEST_F(Repaints, SettingWhatIsShownAlreadyCostsNothing) {
  const auto& t = costOf([&] {
    for (const auto& tableRow : panel::controlTable()) {
      if (tableRow.kind == panel::ControlKind::PaintingButton && tableRow.backColour) {
        view.setBackColor(tableRow.id, *tableRow.backColour);
      }
    }
    for (auto label :
         {ControlName::Label4, ControlName::Label5, ControlName::Label6, ControlName::Label7}) {
      view.setCaption({label}, "- - V ");
    }
    for (auto button : {ControlName::PrevButton, ControlName::NextButton}) {
      view.setEnabled({button}, true);
    }
    view.setWindowCaption(window.windowTitle().toStdString());
  });
  EXPECT_EQ(t.paintCount(), 0);
  EXPECT_EQ(t.changes, 0);
}

TEST_F(Repaints, AColourChangeRepaintsOnlyThatButtonsArea) {
  for (const ControlId id :
       {panel::busButton(0, 5), panel::busButton(1, 16), ControlId{ControlName::BalA_Button}}) {
    const auto& t = costOf([&] { view.setBackColor(id, colour::Orange); });
    ASSERT_TRUE(t.painted.count(&widget(id))) << panel::controlText(id);
    EXPECT_TRUE(paintedWhole(t, id)) << panel::controlText(id);
    EXPECT_EQ(t.painted.at(&widget(id)).second, 1) << panel::controlText(id);
    // Neighbours share a one-pixel border with it; nothing outside its own area is repainted.
    for (const auto& [painted, entry] : t.painted) {
      EXPECT_TRUE(area(id).contains(entry.first.boundingRect()))
          << panel::controlText(id) << " also repainted " << painted->objectName().toStdString();
    }
    EXPECT_EQ(t.changes, 0);
  }
}

TEST_F(Repaints, ACaptionChangeRepaintsThatLabelOnly) {
  const ControlId label{ControlName::Label6};
  const auto& t = costOf([&] { view.setCaption(label, "0.25V "); });
  EXPECT_TRUE(paintedWhole(t, label));
  for (const auto& [painted, entry] : t.painted) {  // the window's background under the label
    EXPECT_TRUE(area(label).contains(entry.first.boundingRect()))
        << "also repainted " << painted->objectName().toStdString();
  }
  EXPECT_EQ(costOf([&] { view.setCaption(label, "0.25V "); }).paintCount(), 0);
}

TEST_F(Repaints, APollThatFindsNothingNewPaintsNothing) {
  host->statusA = host::Variant(std::int32_t{0x10010});  // X5 and Bal of bus A
  controller.Get_Status();
  EXPECT_EQ(costOf([&] { controller.Get_Status(); }).paintCount(), 0);

  host->statusA = host::Variant(std::int32_t{0x10000});  // X5 off again
  const auto& t = costOf([&] { controller.Get_Status(); });
  const ControlId x5 = panel::busButton(0, 5);
  EXPECT_TRUE(paintedWhole(t, x5));
  for (const auto& [painted, entry] : t.painted) {
    EXPECT_TRUE(area(x5).contains(entry.first.boundingRect()));
  }
}

TEST_F(Repaints, MonitorTicksWithSteadyReadingsRepaintNothing) {
  controller.state().DC_On = true;
  controller.Timer1_Timer();
  EXPECT_EQ(costOf([&] { controller.Timer1_Timer(); }).paintCount(), 0);
}

}  // namespace
}  // namespace orvane::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();  // no window system needed
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QT_SCALE_FACTOR", "1");
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
