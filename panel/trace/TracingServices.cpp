#include "panel/trace/TracingServices.h"

#include <string>

#include "host/trace/TraceText.h"
#include "panel/trace/WaitTrace.h"

namespace orvane::panel::trace {

using host::trace::quotedText;
using Clock = host::trace::TraceLog::Clock;

namespace {

// Listed as open while the box is on screen.
class OpenBox {
 public:
  OpenBox(host::trace::TraceLog& log, Clock::time_point shown, const std::string& text)
      : log_(log), id_(log.opened(shown, text)) {}
  ~OpenBox() { log_.closed(id_); }
  OpenBox(const OpenBox&) = delete;
  OpenBox& operator=(const OpenBox&) = delete;

 private:
  host::trace::TraceLog& log_;
  host::trace::TraceLog::OpenId id_;
};

}  // namespace

std::string TracingServices::inputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) {
  const auto shown = Clock::now();
  const std::string box = "box InputBox(" + quotedText(prompt) + ", " + quotedText(title) + ", " +
                          quotedText(defaultText) + ")";
  std::string answer;
  {
    const OpenBox open(*log_, shown, box);
    answer = inner_.inputBox(prompt, title, defaultText);
  }
  log_->write(shown, box + " -> " + quotedText(answer));
  return answer;
}

std::int16_t TracingServices::messageBox(const std::string& text, std::int16_t style,
                                         const std::string& title) {
  const auto shown = Clock::now();
  const std::string box = messageBoxText(text, style, title);
  std::int16_t answer = 0;
  {
    const OpenBox open(*log_, shown, box);
    answer = inner_.messageBox(text, style, title);
  }
  log_->write(shown, box + " -> " + std::to_string(answer));
  return answer;
}

void TracingServices::endAtOnce() {
  log_->write("end at once");
  inner_.endAtOnce();
}

}  // namespace orvane::panel::trace
