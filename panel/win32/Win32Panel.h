#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controller/PlatformServices.h"
#include "panel/Controls.h"
#include "panel/DcHistoryActions.h"
#include "panel/Dispatcher.h"
#include "panel/PresetActions.h"
#include "panel/View.h"
#include "panel/win32/AccessibilityAnnotations.h"
#include "panel/win32/DcHistoryWindow.h"

namespace orvane::panel::win32 {

// The main window on plain Win32, built from the control table: owner-drawn painting buttons,
// coloured labels, the mode list, tooltips and the 200 ms timer. It is the controller's view and
// its platform services (message box, input box, ending at once). One per thread; the thread's
// message loop runs in messageLoop().
class Win32Panel final : public View, public controller::PlatformServices {
 public:
  // Creates the window, hidden, with every control; iconResource 0 uses the system's icon.
  // Throws std::runtime_error when the window system refuses.
  explicit Win32Panel(HINSTANCE instance, int iconResource = 0);
  ~Win32Panel() override;
  Win32Panel(const Win32Panel&) = delete;
  Win32Panel& operator=(const Win32Panel&) = delete;

  void attach(Dispatcher& dispatcher);
  // What runs when the desktop session ends with the window open; it does not return.
  void onSessionEnding(std::function<void()> ending) { sessionEnding_ = std::move(ending); }
  // --follow-ms: the follow timer's period, from when the window is shown.
  void followEvery(std::chrono::milliseconds period) {
    followPeriod_ = static_cast<UINT>(period.count());
  }

  // Load, show and pump until the run ends; `shown` runs once the window is up (--preset).
  void run(int showCommand, const std::function<void()>& shown = nullptr);
  // The context menu's presets (right-click, Shift+F10, the menu key); without them, no menu.
  void offerPresets(PresetActions& presets) { presets_ = &presets; }
  // The context menu's last item, "DC history…": opens (or brings up) the history window.
  void offerDcHistory(DcHistoryActions& history) { dcHistory_ = &history; }
  void openDcHistory();
  DcHistoryWindow* dcHistoryWindow() const { return history_.get(); }
  // Runs Form_Load; true when the window is to be shown, false when the run ended during start-up.
  bool load();
  void show(int showCommand);
  int messageLoop();
  // An error of the program's own escaped a window message: the run ended there.
  bool failedUnexpectedly() const { return fatal_.has_value(); }

  // View
  void setBackColor(ControlId control, Colour colour) override;
  void setEnabled(ControlId control, bool enabled) override;
  void setCaption(ControlId control, const std::string& text) override;
  void setWindowCaption(const std::string& text) override;
  void setCaptionSuffix(const std::string& suffix) override;
  void addListEntry(const std::string& text, std::int16_t index) override;
  void setListIndex(std::int16_t index) override;
  std::int16_t listIndex() const override { return listIndex_; }
  void setTimerInterval(int milliseconds) override;
  void close() override;

  // PlatformServices
  std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) override;
  std::int16_t messageBox(const std::string& text, std::int16_t style,
                          const std::string& title) override;
  void endAtOnce() override;

  // What the window shows, for tests.
  HWND window() const { return window_; }
  HWND tooltipWindow() const { return tooltips_; }
  HWND controlWindow(ControlId id) const;
  Colour backColour(ControlId id) const;
  const std::string& caption(ControlId id) const;
  // A readout: what it paints now for its caption, and what its last paint showed.
  std::string readoutText(ControlId id) const;
  std::string paintedText(ControlId id) const;
  const AccessibilityAnnotations& annotations() const { return annotations_; }
  int repaintRequests() const { return repaintRequests_; }
  int timerInterval() const { return timerInterval_; }
  bool wasShown() const { return shown_; }
  // The DPI the window is laid out for: its monitor's, or the one the last WM_DPICHANGED gave.
  UINT dpi() const { return dpi_; }
  // A length in twips as pixels at the window's DPI.
  int pixelsX(int twips) const;
  int pixelsY(int twips) const;

 private:
  struct Child {
    const ControlSpec* tableRow = nullptr;
    HWND hwnd = nullptr;
    Colour back = 0;
    std::string caption;
    std::wstring tooltip;
    bool enabled = true;
    HBRUSH brush = nullptr;
    std::string painted;  // a readout: the text its last paint showed
  };

  static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void createControls();
  void applyFont();
  void layOutControls();
  RECT controlRect(const ControlSpec& tableRow) const;
  void fitClientArea();
  void onDpiChanged(UINT dpi, const RECT& suggested);
  SIZE windowSizeAt(UINT dpi) const;
  void addTooltips();
  void onCommand(WORD id, WORD code, HWND from);
  void onClose();
  void onContextMenu(LPARAM where);
  void showCaption();
  void drawButton(const DRAWITEMSTRUCT& item);
  void drawReadout(const DRAWITEMSTRUCT& item);
  std::string fittedReadout(HDC dc, const Child& c) const;
  void annotateControls();
  LRESULT labelColours(HDC dc, HWND label);
  Child& child(ControlId id);
  const Child& child(ControlId id) const;
  Child* childByCommandId(int id);
  void send(ControlEvent event);
  void destroyWindow();
  void quit();
  HWND owner() const;

  HINSTANCE instance_;
  AccessibilityAnnotations annotations_;
  HWND window_ = nullptr;
  HWND tooltips_ = nullptr;
  HFONT font_ = nullptr;  // the default GUI font at dpi_, owned
  UINT dpi_ = 96;
  std::vector<Child> children_;  // in table order; the command id is 100 + the position
  std::string windowCaption_;
  std::string captionSuffix_;
  std::int16_t listIndex_ = -1;
  int listCount_ = 0;
  int timerInterval_ = 0;
  UINT followPeriod_ = 0;
  int repaintRequests_ = 0;
  bool closed_ = false;
  bool endedAtOnce_ = false;
  bool inLoop_ = false;
  bool shown_ = false;
  std::optional<std::string> fatal_;
  Dispatcher* dispatcher_ = nullptr;
  PresetActions* presets_ = nullptr;
  DcHistoryActions* dcHistory_ = nullptr;
  std::unique_ptr<DcHistoryWindow> history_;  // made when first opened
  std::function<void()> sessionEnding_;
};

}  // namespace orvane::panel::win32
