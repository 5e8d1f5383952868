#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

namespace orvane::controller {

// Message box style codes and answers, as the window system defines them.
namespace box {
inline constexpr std::int16_t RetryCancel = 5;     // Retry and Cancel, no icon, Retry default
inline constexpr std::int16_t YesNoQuestion = 36;  // question icon, Yes and No
inline constexpr std::int16_t SecondButtonDefault = 256;  // added to a style: No, not Yes
inline constexpr std::int16_t ExclamationOk = 48;         // exclamation icon, one OK button
inline constexpr std::int16_t AnswerOk = 1;
inline constexpr std::int16_t AnswerCancel = 2;  // also what closing the box answers
inline constexpr std::int16_t AnswerRetry = 4;
inline constexpr std::int16_t AnswerYes = 6;
inline constexpr std::int16_t AnswerNo = 7;
}  // namespace box

// The line break inside a box's text.
inline constexpr const char* CrLf = "\r\n";

// What the controller needs of the platform besides the panel. Every panel provides one; tests
// script the operator's answers through it.
class PlatformServices {
 public:
  virtual ~PlatformServices() = default;

  // The modal input box: the typed text (empty when the field was emptied), or nothing when
  // cancelled. The controller takes both as empty text; the trace tells them apart.
  virtual std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                              const std::string& defaultText) = 0;
  // A modal message box; returns the code of the button pressed. The text may hold CR LF.
  virtual std::int16_t messageBox(const std::string& text, std::int16_t style,
                                  const std::string& title) = 0;
  // The run is ending at once: stop the event loop without unloading the window. The controller
  // unwinds its own operation after this returns.
  virtual void endAtOnce() = 0;
  // Start-up's rest between its rounds; a panel keeps its window alive meanwhile.
  virtual void pauseUntil(std::chrono::steady_clock::time_point until) {
    std::this_thread::sleep_until(until);
  }
};

}  // namespace orvane::controller
