// A host that stops answering, with the simulated host on the host thread and the headless
// waiter: the operator gives up (the lost-connection ending follows, with no reset at unload) or
// keeps waiting until the host answers (the operation goes on as if nothing had happened).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>

#include "tests/support/BoxTexts.h"
#include "tests/support/ThreadedControllerBench.h"

namespace orvane::testing {
namespace {

using host::Variant;
using host::sim::FaultKind;
using host::sim::FaultSpec;
using panel::ControlName;
namespace colour = panel::colour;
namespace box = controller::box;

constexpr const char* GetFullStatus = "IOSWITCHER_GetFullStatus";

// Cancels the box of the blocked member; any other call that happens to keep us waiting on a busy
// machine is waited for.
std::int16_t cancelOnly(const panel::HeadlessCallWaiter::Box& shown, const std::string& member) {
  return shown.member == member ? box::AnswerCancel : box::AnswerRetry;
}

class HungHost : public ::testing::Test {
 protected:
  void SetUp() override { b.start("5"); }
  static host::sim::SimConfig withSwitcher5() {
    host::sim::SimConfig config;
    config.addresses = {5};
    return config;
  }
  ThreadedControllerBench b{withSwitcher5()};
};

TEST_F(HungHost, CancelEndsWithTheLostConnectionBoxAndSkipsTheResetAtUnload) {
  b.sim.injectFault(GetFullStatus, FaultSpec(FaultKind::Block, 1));
  b.waiter.operatorAnswer = [](const auto& shown) { return cancelOnly(shown, GetFullStatus); };
  const int resets = b.sim.resetCount(5);
  const auto statusA = b.state().StatusA;

  b.view.click(panel::busButton(0, 5));

  ASSERT_FALSE(b.waiter.boxes.empty());
  const auto& asked = b.waiter.boxes.back();
  EXPECT_EQ(asked.member, GetFullStatus);
  EXPECT_EQ(asked.title, "Orvane I/O Switcher 5");
  EXPECT_NE(asked.text.find("Qelvix has not answered for 0.02 seconds."), std::string::npos);
  EXPECT_NE(asked.text.find("\r\nRetry keeps waiting; Cancel closes this program."),
            std::string::npos);
  EXPECT_TRUE(b.hostThread.givenUp());

  // The abandoned status call is a failing call: the poll's error path ends the run.
  ASSERT_EQ(b.services.boxes.size(), 1u);
  EXPECT_EQ(b.services.boxes[0].text, LostConnectionText);
  EXPECT_EQ(b.services.boxes[0].style, box::ExclamationOk);
  EXPECT_TRUE(b.controller.unloaded());
  EXPECT_TRUE(b.dispatcher.runEnded());
  // The unload's reset failed at once without reaching the (still blocked) host.
  const auto& calls = b.log->calls();
  ASSERT_GE(calls.size(), 2u);
  const auto reset = std::find_if(calls.begin(), calls.end(),
                                  [](const auto& call) { return call.member == "ORVANE_Reset"; });
  ASSERT_NE(reset, calls.end());
  EXPECT_EQ(reset->result, "raised: ORVANE_Reset: not sent: the host is not responding");
  EXPECT_EQ(b.sim.resetCount(5), resets);
  // Both objects are still the stuck host thread's: nothing was released behind its back.
  EXPECT_EQ(b.sim.liveObjects(), 2);

  // When the host finally answers, nothing reaches the controller's fields.
  while (b.sim.blockedCalls() == 0) std::this_thread::yield();
  b.sim.releaseBlocked();
  b.hostThread.waitUntilIdle();
  EXPECT_EQ(b.state().StatusA, statusA);
  EXPECT_FALSE(b.view.click(panel::busButton(0, 6)));
}

TEST_F(HungHost, RetryKeepsWaitingAndTheOperationGoesOnOnceTheHostAnswers) {
  b.sim.injectFault(GetFullStatus, FaultSpec(FaultKind::Block, 1));
  int asked = 0;
  b.waiter.operatorAnswer = [&](const auto& shown) {
    // Released once held: on a busy machine the boxes may come before the call is.
    if (shown.member == GetFullStatus && ++asked >= 2 && b.sim.blockedCalls() > 0) {
      b.sim.releaseBlocked();
    }
    return box::AnswerRetry;
  };

  b.view.click(panel::busButton(0, 5));

  EXPECT_GE(asked, 2);
  EXPECT_FALSE(b.hostThread.givenUp());
  EXPECT_TRUE(b.services.boxes.empty());
  EXPECT_FALSE(b.dispatcher.runEnded());
  EXPECT_EQ(b.view.colourOf(panel::busButton(0, 5)), colour::Green);  // polled and painted
  EXPECT_EQ(b.sim.statusWord(5, 0), 1u << 4);

  // The run goes on as before: the next click and the close reach the host.
  b.waiter.operatorAnswer = nullptr;
  EXPECT_TRUE(b.view.click(panel::busButton(0, 5)));
  EXPECT_EQ(b.view.colourOf(panel::busButton(0, 5)), colour::Grey);
  const int resets = b.sim.resetCount(5);
  EXPECT_TRUE(b.view.closeBox());
  EXPECT_EQ(b.sim.resetCount(5), resets + 1);
  b.hostThread.finish();              // the releases are queued, not waited for
  EXPECT_EQ(b.sim.liveObjects(), 0);  // both objects released, on the host thread
}

TEST_F(HungHost, AHangInTheUnloadsResetStillLetsTheProgramEnd) {
  b.sim.injectFault("ORVANE_Reset", FaultSpec(FaultKind::Block, FaultSpec::Always));
  b.waiter.operatorAnswer = [](const auto& shown) { return cancelOnly(shown, "ORVANE_Reset"); };

  EXPECT_TRUE(b.view.closeBox());

  EXPECT_TRUE(b.controller.unloaded());
  EXPECT_TRUE(b.dispatcher.runEnded());
  EXPECT_TRUE(b.services.boxes.empty());  // the unload skips a failing reset without a word
  EXPECT_FALSE(b.state().HostApp);
  EXPECT_FALSE(b.state().Switcher);
}

TEST_F(HungHost, AHostErrorOnTheHostThreadIsSkippedAsBefore) {
  FaultSpec refused(FaultKind::Raise, 1);
  refused.message = "Switcher busy";
  b.sim.injectFault("SWITCHER_AddChannel", refused);
  b.view.click(panel::busButton(0, 5));
  const auto& calls = b.log->calls();
  const auto add = std::find_if(calls.begin(), calls.end(), [](const auto& call) {
    return call.member == "SWITCHER_AddChannel";
  });
  ASSERT_NE(add, calls.end());
  EXPECT_EQ(add->result, "raised: SWITCHER_AddChannel: Switcher busy");
  EXPECT_FALSE(b.dispatcher.runEnded());  // skipped; the poll that follows reads the truth
  EXPECT_EQ(b.view.colourOf(panel::busButton(0, 5)), colour::Grey);
}

}  // namespace
}  // namespace orvane::testing
