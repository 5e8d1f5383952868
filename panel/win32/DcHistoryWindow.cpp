// The DC history window on the Win32 panel: its controls, layout and timer. The chart itself is
// painted by paintDcChart.
#include "panel/win32/DcHistoryWindow.h"

#include <commdlg.h>

#include "controller/Controller.h"
#include "host/com/WideText.h"
#include "panel/win32/DcChartPainting.h"
#include "panel/win32/Dpi.h"

namespace orvane::panel::win32 {

namespace {

using host::com::toUtf8;
using host::com::toWide;

constexpr wchar_t WindowClass[] = L"OrvaneDcHistory";
constexpr UINT_PTR RefreshTimer = 1;
constexpr int SpansId = 10;
constexpr int SaveId = 11;
constexpr int FirstLegendId = 20;
// Sizes at 96 dpi.
constexpr int Gap = 8;
constexpr int RowHeight = 24;
constexpr int LineSampleWidth = 28;
constexpr int LegendEntryWidth = 150;

void registerClass(HINSTANCE instance, WNDPROC proc) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = proc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = WindowClass;
  RegisterClassExW(&windowClass);  // fails harmlessly once registered
}

}  // namespace

DcHistoryWindow::DcHistoryWindow(HINSTANCE instance, HWND owner, DcHistoryActions& actions)
    : instance_(instance), actions_(actions) {
  registerClass(instance, &DcHistoryWindow::windowProc);
  dpi_ = windowDpi(owner);
  window_ =
      CreateWindowExW(WS_EX_CONTROLPARENT, WindowClass, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                      CW_USEDEFAULT, px(680), px(400), owner, nullptr, instance, this);
  if (!window_) return;
  dpi_ = windowDpi(window_);
  createControls();
  applyDpi(dpi_);
}

DcHistoryWindow::~DcHistoryWindow() {
  annotations_.clear();
  if (window_) DestroyWindow(window_);
  if (font_) DeleteObject(font_);
}

int DcHistoryWindow::px(int pixelsAt96) const {
  return scaledPixels(pixelsAt96, dpi_);
}

// Where a terminal's legend entry (its line sample, then its text) begins.
int DcHistoryWindow::legendLeft(std::size_t terminal) const {
  return px(Gap) + static_cast<int>(terminal) * px(LegendEntryWidth);
}

void DcHistoryWindow::createControls() {
  spans_ =
      CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 0,
                      0, 0, 0, window_, reinterpret_cast<HMENU>(SpansId), instance_, nullptr);
  for (const DcSpan& span : DcSpans) {
    SendMessageW(spans_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(span.caption).c_str()));
  }
  SendMessageW(spans_, CB_SETCURSEL, 0, 0);
  annotations_.name(spans_, L"Time span");
  save_ = CreateWindowExW(0, L"BUTTON", toWide(SaveAsCsvCaption).c_str(),
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0, window_,
                          reinterpret_cast<HMENU>(SaveId), instance_, nullptr);
  for (std::size_t t = 0; t < legend_.size(); ++t) {
    legend_[t] = CreateWindowExW(
        0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, window_,
        reinterpret_cast<HMENU>(FirstLegendId + static_cast<int>(t)), instance_, nullptr);
    annotations_.name(legend_[t], toWide(DcTraceNames[t]));
  }
}

void DcHistoryWindow::applyDpi(UINT dpi) {
  dpi_ = dpi;
  if (font_) DeleteObject(font_);
  font_ = createGuiFont(dpi_);
  for (HWND control : {spans_, save_}) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  }
  for (HWND entry : legend_)
    SendMessageW(entry, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  layOut();
}

void DcHistoryWindow::layOut() {
  RECT client;
  GetClientRect(window_, &client);
  const int row = px(RowHeight);
  MoveWindow(spans_, px(Gap), px(Gap), px(150), px(200), TRUE);
  MoveWindow(save_, client.right - px(Gap) - px(110), px(Gap), px(110), row, TRUE);
  const int legendTop = client.bottom - px(Gap) - row;
  for (std::size_t t = 0; t < legend_.size(); ++t) {
    const int left = legendLeft(t) + px(LineSampleWidth + 4);
    MoveWindow(legend_[t], left, legendTop + px(4), px(LegendEntryWidth - LineSampleWidth - 8), row,
               TRUE);
  }
  chart_ = {px(Gap), px(Gap) * 2 + row, client.right - px(Gap), legendTop - px(Gap)};
  InvalidateRect(window_, nullptr, TRUE);
}

void DcHistoryWindow::show() {
  if (!window_) return;
  if (!IsWindowVisible(window_)) {
    // The first time below the main window, at the owner's left edge.
    RECT owner;
    GetWindowRect(GetWindow(window_, GW_OWNER), &owner);
    SetWindowPos(window_, nullptr, owner.left, owner.bottom + px(Gap), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
  refresh();
}

void DcHistoryWindow::setMainCaption(const std::string& caption) {
  if (window_) SetWindowTextW(window_, toWide(DcHistoryTitlePrefix + caption).c_str());
}

bool DcHistoryWindow::takeDialogMessage(MSG& message) {
  return window_ && IsWindowVisible(window_) && IsDialogMessageW(window_, &message);
}

// On the monitor's beat: the legend's latest readings, and the chart moved on with the clock.
void DcHistoryWindow::refresh() {
  for (std::size_t t = 0; t < legend_.size(); ++t) {
    const std::string reading = legendReading(actions_.dcHistory(), t);
    if (reading == legendText_[t]) continue;
    legendText_[t] = reading;
    SetWindowTextW(legend_[t], toWide(std::string(DcTraceNames[t]) + ": " + reading).c_str());
    annotations_.value(legend_[t], toWide(reading), false);
  }
  InvalidateRect(window_, &chart_, FALSE);
}

void DcHistoryWindow::paint() {
  PAINTSTRUCT ps;
  const HDC dc = BeginPaint(window_, &ps);
  // Each legend entry's line sample, left of its text.
  RECT client;
  GetClientRect(window_, &client);
  const int sampleRow = client.bottom - px(Gap) - px(RowHeight) / 2;
  for (std::size_t t = 0; t < legend_.size(); ++t) {
    drawLineSample(dc, DcTraceStyles[t], legendLeft(t), sampleRow, px(LineSampleWidth), dpi_);
  }
  plot_ = paintDcChart(dc, chart_, font_, dpi_, actions_.dcHistory(), spanSeconds_, area_);
  EndPaint(window_, &ps);
}

void DcHistoryWindow::saveAsCsv() {
  wchar_t file[MAX_PATH * 4] = L"dc-history.csv";
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = L"CSV files (*.csv)\0*.csv\0All files\0*.*\0";
  dialog.lpstrFile = file;
  dialog.nMaxFile = static_cast<DWORD>(std::size(file));
  dialog.lpstrDefExt = L"csv";
  const std::wstring title = toWide(SaveAsCsvCaption);
  dialog.lpstrTitle = title.c_str();
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (GetSaveFileNameW(&dialog)) actions_.saveDcHistory(toUtf8(file));
}

LRESULT CALLBACK DcHistoryWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<DcHistoryWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self || !self->window_) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    self->window_ = nullptr;
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  return self->handle(message, wParam, lParam);
}

LRESULT DcHistoryWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      paint();
      return 0;
    case WM_ERASEBKGND: {
      // The chart paints all of its rectangle; erasing it first would flicker on every refresh.
      const HDC dc = reinterpret_cast<HDC>(wParam);
      RECT client;
      GetClientRect(window_, &client);
      ExcludeClipRect(dc, chart_.left, chart_.top, chart_.right, chart_.bottom);
      FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_SIZE:
      layOut();
      return 0;
    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {px(460), px(260)};
      return 0;
    case WM_SHOWWINDOW:
      // Shown, it keeps up with the monitor; hidden, it costs nothing.
      if (wParam) {
        SetTimer(window_, RefreshTimer, controller::TimerIntervalMs, nullptr);
      } else {
        KillTimer(window_, RefreshTimer);
      }
      break;
    case WM_TIMER:
      if (wParam == RefreshTimer) refresh();
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) {
        ShowWindow(window_, SW_HIDE);
      } else if (LOWORD(wParam) == SaveId && HIWORD(wParam) == BN_CLICKED) {
        saveAsCsv();
      } else if (LOWORD(wParam) == SpansId && HIWORD(wParam) == CBN_SELCHANGE) {
        const auto chosen = SendMessageW(spans_, CB_GETCURSEL, 0, 0);
        if (chosen >= 0 && chosen < static_cast<LRESULT>(DcSpans.size())) {
          spanSeconds_ = DcSpans[static_cast<std::size_t>(chosen)].seconds;
          InvalidateRect(window_, &chart_, FALSE);
        }
      }
      return 0;
    case WM_CLOSE:
      ShowWindow(window_, SW_HIDE);
      return 0;
    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      dpi_ = HIWORD(wParam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      applyDpi(dpi_);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace orvane::panel::win32
