#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "panel/DcHistoryActions.h"
#include "panel/DcPlot.h"
#include "panel/win32/AccessibilityAnnotations.h"

namespace orvane::panel::win32 {

// The DC history window on plain Win32, owned by the main window: the span list, Save as CSV, the
// strip chart painted with GDI, and a legend of each terminal's latest reading. Its timer runs only
// while it is shown. Escape and the close box hide it; it goes with the main window.
class DcHistoryWindow {
 public:
  DcHistoryWindow(HINSTANCE instance, HWND owner, DcHistoryActions& actions);
  ~DcHistoryWindow();
  DcHistoryWindow(const DcHistoryWindow&) = delete;
  DcHistoryWindow& operator=(const DcHistoryWindow&) = delete;

  void show();
  void setMainCaption(const std::string& caption);
  // Tab between its controls and Escape; true when the message was its.
  bool takeDialogMessage(MSG& message);

  HWND window() const { return window_; }
  HWND spanList() const { return spans_; }
  HWND legendEntry(std::size_t terminal) const { return legend_[terminal]; }
  const DcPlot& lastPlot() const { return plot_; }
  // The plot area in the client area when the chart was last painted.
  RECT lastArea() const { return area_; }
  UINT dpi() const { return dpi_; }

 private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void createControls();
  void layOut();
  void applyDpi(UINT dpi);
  void refresh();
  void paint();
  void saveAsCsv();
  int px(int pixelsAt96) const;
  int legendLeft(std::size_t terminal) const;

  HINSTANCE instance_;
  DcHistoryActions& actions_;
  AccessibilityAnnotations annotations_;
  HWND window_ = nullptr;
  HWND spans_ = nullptr;
  HWND save_ = nullptr;
  std::array<HWND, controller::DcTerminals> legend_{};
  std::array<std::string, controller::DcTerminals> legendText_{};
  HFONT font_ = nullptr;
  UINT dpi_ = 96;
  int spanSeconds_ = DcSpans[0].seconds;
  RECT chart_{};  // where the chart goes in the client area, axis labels included
  RECT area_{};
  DcPlot plot_;
};

}  // namespace orvane::panel::win32
