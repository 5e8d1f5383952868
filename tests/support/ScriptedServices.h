#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "controller/PlatformServices.h"

namespace orvane::testing {

// The operator, scripted: answers the input box and message boxes from queues and remembers every
// box that was shown.
class ScriptedServices : public controller::PlatformServices {
 public:
  struct Box {
    std::string text;
    std::int16_t style;
    std::string title;
  };
  struct Prompt {
    std::string prompt;
    std::string title;
    std::string defaultText;
  };

  std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) override {
    prompts.push_back({prompt, title, defaultText});
    if (whilePromptOpen) whilePromptOpen();
    if (addressAnswers.empty()) return defaultText;  // the operator presses OK
    auto answer = addressAnswers.front();
    addressAnswers.pop_front();
    return answer;
  }

  std::int16_t messageBox(const std::string& text, std::int16_t style,
                          const std::string& title) override {
    boxes.push_back({text, style, title});
    if (whileBoxOpen) whileBoxOpen();
    if (boxAnswers.empty()) {
      return style == controller::box::RetryCancel ? controller::box::AnswerCancel
                                                   : controller::box::AnswerOk;
    }
    const std::int16_t answer = boxAnswers.front();
    boxAnswers.pop_front();
    return answer;
  }

  void endAtOnce() override {
    ++endsAtOnce;
    if (endAtOnceHook) endAtOnceHook();
  }

  // Start-up's rests between its rounds: recorded, not slept.
  void pauseUntil(std::chrono::steady_clock::time_point until) override { pauses.push_back(until); }

  std::deque<std::optional<std::string>>
      addressAnswers;                     // nothing: Cancel  // empty: accept the default
  std::deque<std::int16_t> boxAnswers;    // empty: Cancel for Retry/Cancel, OK otherwise
  std::function<void()> whileBoxOpen;     // runs while a box is "open", e.g. to send a tick
  std::function<void()> whilePromptOpen;  // runs while the address prompt is "open"
  std::function<void()> endAtOnceHook;    // runs when the program ends at once
  std::vector<Prompt> prompts;
  std::vector<Box> boxes;
  int endsAtOnce = 0;
  std::vector<std::chrono::steady_clock::time_point> pauses;
};

}  // namespace orvane::testing
