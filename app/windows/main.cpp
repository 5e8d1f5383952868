// The Windows program: the Win32 panel and the controller, on the host application through COM,
// or on the built-in simulated host with --simulate.
#include "panel/win32/Win32Panel.h"
// After windows.h, which the panel's header brings.
#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>

#include "app/windows/AppResources.h"
#include "app/windows/VersionReport.h"
#include "controller/Controller.h"
#include "host/com/BusyHostRetry.h"
#include "host/com/ComHost.h"
#include "host/sim/SimulatedHost.h"
#include "host/trace/TracingFactory.h"
#include "panel/Dispatcher.h"
#include "panel/SimulatedCaption.h"
#include "panel/trace/EventTrace.h"
#include "panel/trace/TracingServices.h"

namespace {

constexpr wchar_t Title[] = L"Orvane I/O Switcher";

int failStarting(const std::wstring& text) {
  MessageBoxW(nullptr, (L"The program could not start.\r\n\r\n" + text).c_str(), Title,
              MB_ICONERROR);
  return 2;
}

std::wstring widen(const std::string& text) {
  return std::wstring(text.begin(), text.end());  // our own ASCII messages only
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  bool simulate = false;
  std::optional<std::wstring> tracePath;
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
      } else {
        LocalFree(argv);
        return failStarting(L"Unknown argument: " + arg +
                            L"\r\n\r\nUsage: orvane-panel [--simulate] [--trace FILE] [--version]");
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
    // Declared first, ended last: every COM object is released before COM is left.
    const orvane::host::com::Apartment apartment;
    if (apartment.kind() != orvane::host::com::Apartment::Kind::SingleThreaded) {
      return failStarting(L"The user-interface thread is not a single-threaded COM apartment.");
    }
    // A host that is busy for a moment (its own box is open) is asked again instead of being
    // taken for a lost connection; after 30 s of refusals the call fails as any other.
    const orvane::host::com::BusyHostRetry busyHostRetry;
    std::optional<orvane::host::sim::SimulatedHost> simulated;
    orvane::host::ObjectFactory factory;
    if (simulate) {
      simulated.emplace();
      factory = simulated->factory();
    } else {
      factory = orvane::host::com::comFactory();
    }

    orvane::panel::win32::Win32Panel panel(instance, ORVANE_IDI_APP);
    // The caption tells a simulated switcher from a real one.
    std::optional<orvane::panel::SimulatedCaption> markedView;
    if (simulate) markedView.emplace(panel);
    orvane::panel::View& view = markedView ? static_cast<orvane::panel::View&>(*markedView) : panel;
    // With --trace, host calls, boxes and events are traced; without it nothing is put in between.
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
    orvane::panel::Dispatcher dispatcher(controller, services);
    if (eventTrace) dispatcher.setObserver(&*eventTrace);
    panel.attach(dispatcher);
    return panel.run(showCommand);
  } catch (const std::exception& error) {
    return failStarting(widen(error.what()));
  }
}
