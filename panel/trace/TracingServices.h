#pragma once

#include <memory>

#include "controller/PlatformServices.h"
#include "host/trace/TraceLog.h"

namespace orvane::panel::trace {

// The platform services of a panel, with one trace line for every box shown and its answer
// (stamped with the moment the box appeared), and one when the run ends at once:
//
//   3ms box InputBox("Enter the switcher address", "Orvane I/O Switcher", "0") -> "0"
//   812ms box MsgBox("Connection with ... failed.\r\n...", 48, "Orvane I/O Switcher 0") -> 1
//   900ms end at once
class TracingServices final : public controller::PlatformServices {
 public:
  TracingServices(controller::PlatformServices& inner, std::shared_ptr<host::trace::TraceLog> log)
      : inner_(inner), log_(std::move(log)) {}

  std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) override;
  std::int16_t messageBox(const std::string& text, std::int16_t style,
                          const std::string& title) override;
  void endAtOnce() override;

 private:
  controller::PlatformServices& inner_;
  std::shared_ptr<host::trace::TraceLog> log_;
};

}  // namespace orvane::panel::trace
