#include "panel/trace/TracingServices.h"

#include <optional>
#include <string>

#include "host/trace/TraceText.h"
#include "panel/trace/WaitTrace.h"

namespace orvane::panel::trace {

using host::trace::quotedText;
using Clock = host::trace::TraceLog::Clock;

std::optional<std::string> TracingServices::inputBox(const std::string& prompt,
                                                     const std::string& title,
                                                     const std::string& defaultText) {
  const auto shown = Clock::now();
  const std::string box = "box InputBox(" + quotedText(prompt) + ", " + quotedText(title) + ", " +
                          quotedText(defaultText) + ")";
  std::optional<std::string> answer;
  {
    const host::trace::OpenWhile open(*log_, shown, box);
    answer = inner_.inputBox(prompt, title, defaultText);
  }
  log_->write(shown, box + (answer ? " -> " + quotedText(*answer) : " -> Cancel"));
  return answer;
}

std::int16_t TracingServices::messageBox(const std::string& text, std::int16_t style,
                                         const std::string& title) {
  const auto shown = Clock::now();
  const std::string box = messageBoxText(text, style, title);
  std::int16_t answer = 0;
  {
    const host::trace::OpenWhile open(*log_, shown, box);
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
