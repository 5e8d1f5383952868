// The wait for the host as every panel runs it, with the headless steps and an answer the test
// controls: the box's words, Retry and Cancel, an answer that beats Cancel, start-up's window
// instead of the box, and the bounded end of a session.
#include "panel/HostWait.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "controller/PlatformServices.h"
#include "panel/headless/HeadlessCallWaiter.h"

namespace orvane::panel {
namespace {

using namespace std::chrono_literals;
using Outcome = host::CallWaiter::Outcome;
namespace box = controller::box;

TEST(HostWaitTexts, TheBoxAndTheStartupWindowSayHowLongInTheirOwnUnits) {
  const std::vector<std::pair<std::chrono::milliseconds, const char*>> notAnswering = {
      {5000ms, "5 seconds."},
      {1000ms, "1 second."},
      {1500ms, "1.5 seconds."},
      {20ms, "0.02 seconds."}};
  for (const auto& [waited, figure] : notAnswering) {
    EXPECT_EQ(notAnsweringText(waited), std::string("Qelvix has not answered for ") + figure +
                                            "\r\nRetry keeps waiting; Cancel closes this program.");
  }
  const std::vector<std::pair<std::chrono::milliseconds, const char*>> starting = {
      {0ms, "0 s"}, {500ms, "1 s"}, {1499ms, "1 s"}, {1500ms, "2 s"}, {12400ms, "12 s"}};
  for (const auto& [waited, figure] : starting) {
    EXPECT_EQ(startingText(waited), std::string("Waiting for Qelvix to start\u2026 ") + figure);
  }
}

class Waiting : public ::testing::Test {
 protected:
  Outcome waitFor(const char* member) { return waiter.wait(member, isAnswered); }

  HeadlessCallWaiter waiter{10ms, 0ms};
  bool answered = false;  // only this thread sets it
  std::function<bool()> isAnswered = [this] { return answered; };
};

// Each box counts the whole wait since the call was sent, the time a box was left open included.
TEST_F(Waiting, EachRetryWaitsAnotherLimitAndTheBoxCountsTheWholeWait) {
  waiter.title = [] { return std::string("Orvane I/O Switcher 7"); };
  waiter.operatorAnswer = [this](const HostWait::Box&) {
    if (waiter.boxes.size() == 2) std::this_thread::sleep_for(50ms);  // the operator reads it
    return waiter.boxes.size() < 3 ? box::AnswerRetry : box::AnswerCancel;
  };
  EXPECT_EQ(waitFor("IOSWITCHER_GetFullStatus"), Outcome::GivenUp);
  ASSERT_EQ(waiter.boxes.size(), 3u);
  const auto secondsTold = [](const std::string& text) {
    return std::stod(text.substr(std::string("Qelvix has not answered for ").size()));
  };
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(waiter.boxes[i].member, "IOSWITCHER_GetFullStatus");
    EXPECT_EQ(waiter.boxes[i].title, "Orvane I/O Switcher 7");
    EXPECT_GE(secondsTold(waiter.boxes[i].text), 0.01 * static_cast<double>(i + 1));
  }
  EXPECT_GE(secondsTold(waiter.boxes[2].text), 0.08);  // 10 + 10 + 50 open + 10 ms
  EXPECT_FALSE(waiter.busyCursor);
}

TEST_F(Waiting, AnAnswerThatCameWhileTheBoxWasOpenBeatsCancelAndTheTitleFallsBack) {
  waiter.operatorAnswer = [this](const HostWait::Box&) {
    answered = true;  // the host answers while the operator reads the box
    return box::AnswerCancel;
  };
  EXPECT_EQ(waitFor("ORVANE_Reset"), Outcome::Answered);
  ASSERT_EQ(waiter.boxes.size(), 1u);
  EXPECT_EQ(waiter.boxes[0].title, "Orvane I/O Switcher");  // no Title_Text yet, or any more
}

// Start-up: however long past the limit, no box; the window counts, and goes at the prompt.
TEST_F(Waiting, WhileStartingThereIsNoBoxButTheStartupWindowUntilStartupEnds) {
  waiter.beginStartup();
  int looks = 0;
  waiter.operatorCancelsStartup = [&](const std::string&) {
    if (++looks == 2) answered = true;  // half a second on, far past the limit
    return false;
  };
  EXPECT_EQ(waitFor("IsInitialised"), Outcome::Answered);
  EXPECT_TRUE(waiter.boxes.empty());
  ASSERT_FALSE(waiter.startupTexts.empty());
  EXPECT_TRUE(waiter.startupWindowOpen);
  EXPECT_EQ(waiter.startupTitle, "Orvane I/O Switcher");

  waiter.endStartup();  // the prompt comes: the window goes, and the limit holds again
  EXPECT_FALSE(waiter.startupWindowOpen);
  answered = false;
  EXPECT_EQ(waitFor("IOSWITCHER_GetFullStatus"), Outcome::GivenUp);
  EXPECT_EQ(waiter.boxes.size(), 1u);
}

TEST_F(Waiting, TheStartupWindowsCancelEndsTheWaitAsCancelled) {
  waiter.beginStartup();
  waiter.operatorCancelsStartup = [](const std::string&) { return true; };
  EXPECT_EQ(waitFor("CreateObject(Qelvix.Application)"), Outcome::Cancelled);
  EXPECT_TRUE(waiter.boxes.empty());
}

// The session is ending: nobody is there to answer a box, so the deadline gives the call up.
TEST_F(Waiting, AtTheEndOfTheSessionTheDeadlineGivesUpWithoutABox) {
  waiter.beginStartup();
  waiter.endSession(20ms);
  EXPECT_FALSE(waiter.startupWindowOpen);
  EXPECT_EQ(waitFor("ORVANE_Reset"), Outcome::GivenUp);
  EXPECT_EQ(waitFor("Release"), Outcome::GivenUp);  // the same deadline for every later call
  EXPECT_TRUE(waiter.boxes.empty());
  EXPECT_TRUE(waiter.startupTexts.empty());
}

}  // namespace
}  // namespace orvane::panel
