#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "panel/Controls.h"
#include "panel/DcHistoryActions.h"
#include "panel/Dispatcher.h"
#include "panel/PresetActions.h"

class QComboBox;
class QLabel;

namespace orvane::panel::qt {

class DcHistoryWindow;

// The main window, built from the control table alone: painting buttons, plain buttons, labels,
// the mode list and the timer, at the table's positions (15 twips to a logical pixel) in a client
// area the operator cannot resize. It turns the operator's clicks, list choices, the close box and
// timer ticks into events for the dispatcher, and offers the changes the view operations make.
// The run ends when the window is unloaded or the program ends at once; runFinished then fires.
class PanelWindow : public QWidget {
  Q_OBJECT

 public:
  explicit PanelWindow(QWidget* parent = nullptr);

  void attach(Dispatcher& dispatcher) { dispatcher_ = &dispatcher; }
  // Sends the load event; the program shows the window afterwards, if the run goes on.
  bool load();

  // The widget that stands for a control (nullptr for the timer).
  QWidget* control(ControlId id) const;
  QComboBox& modeList() const { return *modeList_; }
  QTimer& timer() { return timer_; }
  bool finished() const { return finished_; }

  // What the view operations change. Setting a value equal to the current one does no work.
  void setControlColour(ControlId id, Colour colour);
  void setControlEnabled(ControlId id, bool enabled);
  void setControlCaption(ControlId id, const std::string& text);
  void setCaption(const std::string& text);
  void setCaptionSuffix(const std::string& suffix);
  void insertModeEntry(const std::string& text, std::int16_t index);
  // Selects an entry without any event; false when it was selected already or does not exist.
  bool selectMode(std::int16_t index);
  std::int16_t modeIndex() const;
  void setTickInterval(int milliseconds);
  // --follow-ms: the follow timer's period, from when the window is shown.
  void followEvery(std::chrono::milliseconds period);
  // The context menu's presets (right-click, Shift+F10, the menu key); without them, no menu.
  void offerPresets(PresetActions& presets) { presets_ = &presets; }
  // The context menu's last item, "DC history…": opens (or brings up) the history window.
  void offerDcHistory(DcHistoryActions& history) { dcHistory_ = &history; }
  void openDcHistory();
  DcHistoryWindow* dcHistoryWindow() const { return historyWindow_; }
  // Runs `then` once, as soon as the window has first been painted where the window system put it:
  // a box raised from there sits over the window, not at the screen's corner.
  void whenOnScreen(std::function<void()> then) { onScreen_ = std::move(then); }
  // True while a handler runs (a host call, a box of an operation's).
  bool operationRunning() const;
  // The operator's close while a handler runs: kept, and run once the operation has ended.
  void closeDuringOperation();

  // The run is over: stop the timers, take the window off the screen without unloading it.
  void finishRun();

 signals:
  void runFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void buildControls();
  void buildTabOrder();
  QWidget* makeControl(const ControlSpec& tableRow);
  void modeChosen(int index);
  void openContextMenu(const QPoint& at);
  bool send(ControlEvent event);

  std::map<std::pair<int, int>, QWidget*> controls_;
  QComboBox* modeList_ = nullptr;
  std::string caption_{WindowCaptionAtLoad};
  std::string captionSuffix_;
  int selectedMode_ = -1;  // the entry selected before the operator's latest choice
  QTimer timer_;
  QTimer followTimer_;
  Dispatcher* dispatcher_ = nullptr;
  PresetActions* presets_ = nullptr;
  DcHistoryActions* dcHistory_ = nullptr;
  DcHistoryWindow* historyWindow_ = nullptr;  // made when first opened, a child of this window
  std::function<void()> onScreen_;
  bool finished_ = false;
};

// The platform's default font, made smaller (a pixel at a time) until every caption of the table
// fits its control: the layout was drawn for a compact 8-point interface font.
QFont panelFont(const QFont& base);

// Twips to logical pixels.
constexpr int toPixels(int twips) {
  return twips / TwipsPerPixel;
}

}  // namespace orvane::panel::qt
