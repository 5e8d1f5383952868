#include "panel/headless/HeadlessCallWaiter.h"

#include "controller/PlatformServices.h"

namespace orvane::panel {

bool HeadlessCallWaiter::showBox(const Box& box) {
  boxes.push_back(box);
  const std::int16_t answer =
      operatorAnswer ? operatorAnswer(boxes.back()) : controller::box::AnswerCancel;
  return answer == controller::box::AnswerRetry;
}

void HeadlessCallWaiter::showStartupWindow(const std::string& title, const std::string& text) {
  startupTitle = title;
  startupTexts.push_back(text);
  startupWindowOpen = true;
}

void HeadlessCallWaiter::pumpStartupUntil(Clock::time_point until) {
  if (operatorCancelsStartup && operatorCancelsStartup(startupTexts.back())) {
    startupCancelled();
    return;
  }
  pumpPaintUntil(until);
}

}  // namespace orvane::panel
