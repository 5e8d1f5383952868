// The program as both entry points assemble it, with the headless panel: the simulated host's
// caption, a host slow to start, the end of a desktop session, and the end of a run whose host
// does not answer the releases.
#include "app/Program.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "controller/RunEnded.h"
#include "panel/Controls.h"
#include "panel/headless/HeadlessCallWaiter.h"
#include "panel/headless/HeadlessView.h"
#include "tests/support/ScriptedServices.h"

namespace orvane::app {
namespace {

using namespace std::chrono_literals;
using host::Variant;

// A gate a host thread can be held at until the test opens it, if ever.
struct Gate {
  std::mutex mutex;
  std::condition_variable opened;
  bool open = false;
  void pass() {
    std::unique_lock lock(mutex);
    opened.wait(lock, [this] { return open; });
  }
  void openUp() {
    const std::lock_guard lock(mutex);
    open = true;
    opened.notify_all();
  }
};

// A host whose objects answer at once but whose release never comes back.
class StuckOnRelease final : public host::Object {
 public:
  StuckOnRelease(std::shared_ptr<Gate> gate, host::ObjectRef switcher)
      : gate_(std::move(gate)), switcher_(std::move(switcher)) {}
  ~StuckOnRelease() override { gate_->pass(); }
  StuckOnRelease(const StuckOnRelease&) = delete;
  StuckOnRelease& operator=(const StuckOnRelease&) = delete;
  Variant call(std::string_view, host::Args) override { return Variant(true); }
  Variant get(std::string_view member) override {
    return member == "IOSwitcher" ? Variant(switcher_) : Variant(true);
  }
  void put(std::string_view, const Variant&) override {}
  using Object::call;

 private:
  std::shared_ptr<Gate> gate_;
  host::ObjectRef switcher_;
};

struct HeadlessProgram {
  explicit HeadlessProgram(const Options& options, RealHost real = {},
                           std::chrono::milliseconds startupWindowAfter = panel::StartupWindowAfter)
      : waiter(20ms, startupWindowAfter),
        program(std::in_place, PanelParts{view, services, waiter}, options, nullptr,
                std::move(real)) {
    view.attach(program->dispatcher());
    program->endProcess = [this](int status) { endedWith = status; };
  }
  host::sim::SimulatedHost& sim() { return *program->simulatedHost(); }
  panel::HeadlessView view;
  testing::ScriptedServices services;
  panel::HeadlessCallWaiter waiter;
  std::optional<Program> program;
  std::optional<int> endedWith;
};

Options simulated() {
  Options options;
  options.simulate = true;
  return options;
}

TEST(Program, OnTheSimulatedHostTheCaptionSaysSoAndTheBoxesKeepTheTitle) {
  HeadlessProgram p(simulated());
  ASSERT_TRUE(p.view.load());
  EXPECT_EQ(p.view.windowCaption(), "Orvane I/O Switcher 0 (simulated)");
  EXPECT_EQ(p.program->controller().state().Title_Text, "Orvane I/O Switcher 0");
  EXPECT_TRUE(p.view.closeBox());
  p.program.reset();
  EXPECT_TRUE(p.waiter.boxes.empty());
}

// The releases come after the controller is gone: a host that does not answer them gets the box
// with the program's own title, and giving up there lets the program end.
TEST(Program, AHostThatNeverAnswersAReleaseAfterACancelledPromptLetsTheProgramEnd) {
  auto gate = std::make_shared<Gate>();
  auto switcher = std::make_shared<StuckOnRelease>(gate, nullptr);
  auto app = std::make_shared<StuckOnRelease>(gate, switcher);
  RealHost real{[app](const std::string&) -> host::ObjectRef { return app; }, {}};
  switcher.reset();
  app.reset();  // the host thread holds the only references from here on

  HeadlessProgram p(Options{}, std::move(real));
  p.services.addressAnswers.push_back("");  // Cancel at the address prompt
  p.view.load();
  EXPECT_TRUE(p.program->dispatcher().runEnded());
  EXPECT_EQ(p.services.endsAtOnce, 1);
  p.program.reset();

  ASSERT_EQ(p.waiter.boxes.size(), 1u);
  EXPECT_EQ(p.waiter.boxes[0].title, "Orvane I/O Switcher");
  EXPECT_EQ(p.waiter.boxes[0].member, "Release");
  gate->openUp();  // the host thread is left to itself; it may finish now or never
}

// Each of start-up's three waits for the host: the start-up window comes instead of the box, and
// its Cancel ends the program at once, with no reset and without waiting for the host.
TEST(Program, TheStartupWindowsCancelEndsTheProgramAtOnceAtEachWaitForTheHost) {
  for (const char* member : {"CreateObject(Qelvix.Application)", "IOSwitcher", "IsInitialised"}) {
    HeadlessProgram p(simulated(), {}, 1ms);
    p.sim().injectFault(member, host::sim::FaultSpec(host::sim::FaultKind::Block, 1));
    p.waiter.operatorCancelsStartup = [](const std::string&) { return true; };
    p.view.load();

    ASSERT_FALSE(p.waiter.startupTexts.empty()) << member;
    EXPECT_EQ(p.waiter.startupTexts[0].rfind("Waiting for Qelvix to start\u2026 ", 0), 0u);
    EXPECT_EQ(p.waiter.startupTitle, "Orvane I/O Switcher");
    EXPECT_FALSE(p.waiter.startupWindowOpen);
    EXPECT_TRUE(p.waiter.boxes.empty()) << member;  // not the not-responding box
    EXPECT_TRUE(p.services.boxes.empty()) << member;
    EXPECT_TRUE(p.services.prompts.empty());
    EXPECT_EQ(p.services.endsAtOnce, 1);
    EXPECT_TRUE(p.program->dispatcher().runEnded());
    EXPECT_FALSE(p.program->dispatcher().failure());
    EXPECT_TRUE(p.program->givenUp());
    EXPECT_EQ(p.sim().resetCount(0), 0);
    p.program.reset();  // does not wait for the stuck host thread, which is left to itself
  }
}

TEST(Program, AHostThatStartsSlowlyShowsTheWindowUntilThePromptAndNoBox) {
  Options options = simulated();
  options.sim.config.readyAfter = 100ms;  // much longer than the 20 ms limit of the box
  HeadlessProgram p(options, {}, 1ms);
  p.view.load();
  EXPECT_FALSE(p.waiter.startupTexts.empty());
  EXPECT_FALSE(p.waiter.startupWindowOpen);
  EXPECT_TRUE(p.waiter.boxes.empty());
  EXPECT_EQ(p.services.prompts.size(), 1u);
  EXPECT_FALSE(p.program->dispatcher().runEnded());

  HeadlessProgram quick(simulated());  // ready at once: no window at all
  quick.view.load();
  EXPECT_TRUE(quick.waiter.startupTexts.empty());
}

TEST(Program, TheEndOfTheSessionBetweenOperationsRunsTheUnloadAndReleasesTheHost) {
  HeadlessProgram p(simulated());
  p.view.load();
  p.view.click(panel::busButton(0, 5));
  ASSERT_EQ(p.sim().statusWord(0, 0), 1u << 4);
  const int resets = p.sim().resetCount(0);

  p.program->endSession();

  EXPECT_EQ(p.endedWith, 0);
  EXPECT_EQ(p.sim().resetCount(0), resets + 1);
  EXPECT_EQ(p.sim().statusWord(0, 0), 0u);
  EXPECT_EQ(p.sim().liveObjects(), 0);
  EXPECT_TRUE(p.waiter.boxes.empty());
}

// A box is open: the operation is not resumed and no handler runs inside it, but the reset goes.
TEST(Program, TheEndOfTheSessionDuringAnOperationSendsTheResetAlone) {
  HeadlessProgram p(simulated());
  p.view.load();
  p.view.click(panel::busButton(0, 3));  // X3 carries DC: balance on bus A gets the warning
  const int resets = p.sim().resetCount(0);
  p.program->endProcess = [&p](int status) {
    p.endedWith = status;
    throw controller::RunEnded{};  // the process would end here; unwind the test instead
  };
  p.services.whileBoxOpen = [&p] { p.program->endSession(); };

  p.view.click({panel::ControlName::BalA_Button});

  ASSERT_EQ(p.services.boxes.size(), 1u);
  EXPECT_EQ(p.endedWith, 0);
  EXPECT_EQ(p.sim().resetCount(0), resets + 1);
  EXPECT_FALSE(p.program->controller().unloaded());  // Form_Unload did not run nested
  EXPECT_EQ(p.sim().liveObjects(), 2);               // still the operation's
}

}  // namespace
}  // namespace orvane::app
