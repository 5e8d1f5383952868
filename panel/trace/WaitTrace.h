#pragma once

#include <memory>
#include <optional>
#include <string>

#include "host/trace/TraceLog.h"
#include "panel/HostWait.h"

namespace orvane::panel::trace {

// What the wait for the host shows the operator, in the trace. The not-responding box is written
// like the other boxes, stamped with the moment it appeared, with its answer: 4 (Retry), 2
// (Cancel), or that it closed by itself because the host answered:
//
//   5210ms box MsgBox("Qelvix has not answered for 5 seconds.\r\n...", 5, "Orvane I/O Switcher 0")
//          -> closed: the host answered
//
// The start-up window gets a line when it appears and one when it goes:
//
//   500ms box StartupWindow("Orvane I/O Switcher", "Waiting for Qelvix to start… 1 s") shown
//   2140ms box StartupWindow -> Cancel
class WaitTrace final : public HostWait::Observer {
 public:
  explicit WaitTrace(std::shared_ptr<host::trace::TraceLog> log) : log_(std::move(log)) {}

  void boxShown(const HostWait::Box& box) override;
  void boxClosed(const HostWait::Box& box, BoxAnswer answer) override;
  void startupWindowShown(const std::string& title, const std::string& text) override;
  void startupWindowClosed(StartupEnd why) override;

 private:
  using Clock = host::trace::TraceLog::Clock;
  struct Shown {
    Clock::time_point at;
    host::trace::TraceLog::OpenId open;
  };

  std::shared_ptr<host::trace::TraceLog> log_;
  std::optional<Shown> box_;
  std::optional<Shown> startupWindow_;
};

// "box MsgBox(<text>, <style>, <title>)", as every box's line begins.
std::string messageBoxText(const std::string& text, int style, const std::string& title);

}  // namespace orvane::panel::trace
