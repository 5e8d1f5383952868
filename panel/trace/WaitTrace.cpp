#include "panel/trace/WaitTrace.h"

#include "controller/PlatformServices.h"
#include "host/trace/TraceText.h"

namespace orvane::panel::trace {

using host::trace::quotedText;

std::string messageBoxText(const std::string& text, int style, const std::string& title) {
  return "box MsgBox(" + quotedText(text) + ", " + std::to_string(style) + ", " +
         quotedText(title) + ")";
}

namespace {

std::string notAnsweringBoxText(const HostWait::Box& box) {
  return messageBoxText(box.text, controller::box::RetryCancel, box.title);
}

}  // namespace

void WaitTrace::boxShown(const HostWait::Box& box) {
  const auto now = Clock::now();
  box_ = Shown{now, log_->opened(now, notAnsweringBoxText(box))};
}

void WaitTrace::boxClosed(const HostWait::Box& box, BoxAnswer answer) {
  const Shown shown = box_.value_or(Shown{Clock::now(), 0});
  log_->closed(shown.open);
  box_.reset();
  const char* outcome = answer == BoxAnswer::Retry    ? " -> 4"
                        : answer == BoxAnswer::Cancel ? " -> 2"
                                                      : " -> closed: the host answered";
  log_->write(shown.at, notAnsweringBoxText(box) + outcome);
}

void WaitTrace::startupWindowShown(const std::string& title, const std::string& text) {
  const auto now = Clock::now();
  const std::string line = "box StartupWindow(" + quotedText(title) + ", " + quotedText(text) + ")";
  log_->write(now, line + " shown");
  startupWindow_ = Shown{now, log_->opened(now, line)};
}

void WaitTrace::startupWindowClosed(StartupEnd why) {
  if (startupWindow_) log_->closed(startupWindow_->open);
  startupWindow_.reset();
  log_->write(why == StartupEnd::Cancelled ? "box StartupWindow -> Cancel"
              : why == StartupEnd::Ready   ? "box StartupWindow -> closed: the host is ready"
                                           : "box StartupWindow -> closed: the session is ending");
}

}  // namespace orvane::panel::trace
