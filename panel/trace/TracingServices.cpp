#include "panel/trace/TracingServices.h"

#include <string>

#include "host/trace/TraceText.h"

namespace orvane::panel::trace {

using host::trace::quotedText;

std::string TracingServices::inputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) {
  const auto shown = host::trace::TraceLog::Clock::now();
  std::string answer = inner_.inputBox(prompt, title, defaultText);
  log_->write(shown, "box InputBox(" + quotedText(prompt) + ", " + quotedText(title) + ", " +
                         quotedText(defaultText) + ") -> " + quotedText(answer));
  return answer;
}

std::int16_t TracingServices::messageBox(const std::string& text, std::int16_t style,
                                         const std::string& title) {
  const auto shown = host::trace::TraceLog::Clock::now();
  const std::int16_t answer = inner_.messageBox(text, style, title);
  log_->write(shown, "box MsgBox(" + quotedText(text) + ", " + std::to_string(style) + ", " +
                         quotedText(title) + ") -> " + std::to_string(answer));
  return answer;
}

void TracingServices::endAtOnce() {
  log_->write("end at once");
  inner_.endAtOnce();
}

}  // namespace orvane::panel::trace
