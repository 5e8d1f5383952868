// The Windows program: the Win32 panel and the controller, on the host application through COM,
// or on the built-in simulated host with --simulate. Either host lives on a thread of its own,
// which the window's thread waits for; --host-timeout-ms sets how long before the operator is
// asked whether to keep waiting.
#include "panel/win32/Win32Panel.h"
// After windows.h, which the panel's header brings.
#include <shellapi.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/windows/AppResources.h"
#include "app/windows/VersionReport.h"
#include "controller/Controller.h"
#include "host/HostThread.h"
#include "host/com/AddressWake.h"
#include "host/com/ComHost.h"
#include "host/com/HostApartment.h"
#include "host/sim/SimulatedHost.h"
#include "host/trace/TracingFactory.h"
#include "panel/Dispatcher.h"
#include "panel/SimulatedCaption.h"
#include "panel/trace/EventTrace.h"
#include "panel/trace/TracingServices.h"
#include "panel/win32/Win32CallWaiter.h"

namespace {

constexpr wchar_t Title[] = L"Orvane I/O Switcher";
constexpr wchar_t Usage[] =
    L"Usage: orvane-panel [--simulate] [--host-timeout-ms N] [--trace FILE] [--version]";
constexpr long long MaxHostTimeoutMs = 3'600'000;

int failStarting(const std::wstring& text) {
  MessageBoxW(nullptr, (L"The program could not start.\r\n\r\n" + text).c_str(), Title,
              MB_ICONERROR);
  return 2;
}

std::wstring widen(const std::string& text) {
  return std::wstring(text.begin(), text.end());  // our own ASCII messages only
}

// A whole number of milliseconds from 1 to MaxHostTimeoutMs, or nothing.
std::optional<std::chrono::milliseconds> millisecondsFrom(const std::wstring& text) {
  if (text.empty() || text.size() > 7) return std::nullopt;
  long long value = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + (c - L'0');
  }
  if (value < 1 || value > MaxHostTimeoutMs) return std::nullopt;
  return std::chrono::milliseconds(value);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  bool simulate = false;
  std::optional<std::wstring> tracePath;
  orvane::panel::win32::Win32CallWaiter::Settings waiting;
  int argc = 0;
  if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc)) {
    for (int i = 1; i < argc; ++i) {
      const std::wstring arg = argv[i];
      if (arg == L"--simulate") {
        simulate = true;
      } else if (arg == L"--version") {
        LocalFree(argv);
        return orvane::app::reportVersion();
      } else if (arg == L"--trace") {
        if (i + 1 == argc) {
          LocalFree(argv);
          return failStarting(L"--trace needs a file name, or - for standard error.");
        }
        tracePath = argv[++i];
      } else if (arg.rfind(L"--trace=", 0) == 0) {
        tracePath = arg.substr(8);
      } else if (arg == L"--host-timeout-ms") {
        const auto limit = i + 1 < argc ? millisecondsFrom(argv[++i]) : std::nullopt;
        if (!limit) {
          LocalFree(argv);
          return failStarting(L"--host-timeout-ms needs a whole number of milliseconds from 1 to " +
                              std::to_wstring(MaxHostTimeoutMs) + L".\r\n\r\n" + Usage);
        }
        waiting.limit = *limit;
      } else {
        LocalFree(argv);
        return failStarting(L"Unknown argument: " + arg + L"\r\n\r\n" + Usage);
      }
    }
    LocalFree(argv);
  }
  // A trace file that cannot be written is a mistake of the command line, told before anything.
  std::shared_ptr<orvane::host::trace::TraceLog> trace;
  if (tracePath) {
    try {
      trace = orvane::host::trace::TraceLog::open(*tracePath);
    } catch (const orvane::host::trace::TraceFileError& error) {
      return failStarting(L"--trace: " + widen(error.what()));
    }
  }

  try {
    orvane::panel::win32::Win32Panel panel(instance, ORVANE_IDI_APP);
    orvane::panel::win32::Win32CallWaiter waiter(waiting);
    waiter.setBoxOwner([&panel]() -> HWND {
      const HWND window = panel.window();
      return window && IsWindowVisible(window) ? window : nullptr;  // none during start-up
    });

    // The host objects are created, called and released on the host thread only; for COM that
    // thread is a single-threaded apartment of its own.
    orvane::host::com::HostApartment apartment;
    std::optional<orvane::host::sim::SimulatedHost> simulated;
    std::function<void()> enter;
    std::function<void()> leave;
    if (simulate) {
      simulated.emplace();
    } else {
      enter = [&apartment] { apartment.enter(); };
      leave = [&apartment] { apartment.leave(); };
    }
    orvane::host::HostThread hostThread(waiter, std::move(enter), std::move(leave),
                                        std::make_unique<orvane::host::com::AddressWake>());
    orvane::host::ObjectFactory factory =
        hostThread.wrap(simulate ? simulated->factory() : orvane::host::com::comFactory());

    // The caption tells a simulated switcher from a real one.
    std::optional<orvane::panel::SimulatedCaption> markedView;
    if (simulate) markedView.emplace(panel);
    orvane::panel::View& view = markedView ? static_cast<orvane::panel::View&>(*markedView) : panel;
    // With --trace, host calls, boxes and events are traced; without it nothing is put in between.
    // The trace sits outside the host thread, so a call's duration includes the wait for it and a
    // call given up on shows as an error.
    std::optional<orvane::panel::trace::TracingServices> tracedBoxes;
    std::optional<orvane::panel::trace::EventTrace> eventTrace;
    if (trace) {
      tracedBoxes.emplace(panel, trace);
      eventTrace.emplace(trace);
      factory = orvane::host::trace::tracingFactory(std::move(factory), trace);
    }
    orvane::controller::PlatformServices& services =
        tracedBoxes ? static_cast<orvane::controller::PlatformServices&>(*tracedBoxes) : panel;
    orvane::controller::Controller controller(view, services, std::move(factory));
    waiter.box.title = [&controller] { return controller.state().Title_Text; };
    orvane::panel::Dispatcher dispatcher(controller, services);
    if (eventTrace) dispatcher.setObserver(&*eventTrace);
    panel.attach(dispatcher);
    const int code = panel.run(showCommand);
    if (hostThread.givenUp()) {
      // The host thread is stuck in a call that may never return, and may still touch what would
      // be destroyed on the way out of here: end now, leaving it and its apartment as they are.
      ExitProcess(static_cast<UINT>(code));
    }
    return code;
  } catch (const std::exception& error) {
    return failStarting(widen(error.what()));
  }
}
