// The program as both entry points assemble it, with the headless panel: the simulated host's
// caption, a host slow to start, the end of a desktop session, and the end of a run whose host
// does not answer the releases.
#include "app/Program.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "panel/Controls.h"
#include "tests/app/HeadlessProgram.h"

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

// A host of two such objects, held by nothing but the host thread once the program has them.
RealHost stuckOnRelease(const std::shared_ptr<Gate>& gate) {
  auto switcher = std::make_shared<StuckOnRelease>(gate, nullptr);
  auto app = std::make_shared<StuckOnRelease>(gate, std::move(switcher));
  return {[app](const std::string&) -> host::ObjectRef { return app; }, {}, {}};
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
  RealHost real = stuckOnRelease(gate);

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

// A session end that comes while the run's own releases are waited for does not run the session
// end again: the releases finish, and only then does the process end, once.
TEST(Program, ASessionEndDuringTheFinalReleaseWaitLetsTheReleasesFinishFirst) {
  auto gate = std::make_shared<Gate>();
  RealHost real = stuckOnRelease(gate);

  HeadlessProgram p(Options{}, std::move(real));
  p.services.addressAnswers.push_back(std::nullopt);  // Cancel at the address prompt
  p.view.load();
  int ends = 0;
  bool releasedFirst = false;
  p.program->endProcess = [&](int) {
    ++ends;
    const std::lock_guard lock(gate->mutex);
    releasedFirst = gate->open;
  };
  p.waiter.whileWaiting = [&] {
    p.program->endSession("SIGTERM");
    gate->openUp();  // the host answers the releases
  };
  p.program->end();
  EXPECT_EQ(ends, 1);
  EXPECT_TRUE(releasedFirst);
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

  p.program->endSession("SIGTERM");

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
  p.services.whileBoxOpen = [&p] { p.program->endSession("SIGTERM"); };

  p.view.click({panel::ControlName::BalA_Button});

  ASSERT_EQ(p.services.boxes.size(), 1u);
  EXPECT_EQ(p.endedWith, 0);
  EXPECT_EQ(p.sim().resetCount(0), resets + 1);
  EXPECT_FALSE(p.program->controller().unloaded());  // Form_Unload did not run nested
  EXPECT_EQ(p.sim().liveObjects(), 0);               // let go behind the operation's handles
}

// A host that splits its slow start into quick calls (a Sleep that returns at once) is timed as a
// whole: the start-up window comes, and its Cancel ends the program, although no call is slow.
TEST(Program, AStartOfQuickCallsStillShowsTheStartupWindowAndItsCancelEndsTheRun) {
  Options options = simulated();
  options.sim.config.sleepTakes = 0ms;
  options.sim.config.readyAfter = 3600s;  // never ready within the test
  HeadlessProgram p(options, {}, 1ms);
  p.waiter.operatorCancelsStartup = [](const std::string&) { return true; };
  p.view.load();

  EXPECT_FALSE(p.waiter.startupTexts.empty());
  EXPECT_FALSE(p.waiter.startupWindowOpen);
  EXPECT_TRUE(p.services.prompts.empty());
  EXPECT_EQ(p.services.endsAtOnce, 1);
  EXPECT_EQ(p.program->exitStatus(), ExitEnded);
}

// A Sleep that returns at once does not make start-up a tight loop: the rounds come no more often
// than every 10 ms, and the window's messages are still looked at.
TEST(Program, AStartOfQuickCallsIsPacedToARoundEveryTenMilliseconds) {
  host::sim::SimConfig config;
  config.sleepTakes = 0ms;
  config.readyAfter = 200ms;
  TracedProgram p(config, 1ms);
  const auto began = std::chrono::steady_clock::now();
  p.view.load();
  const auto took = std::chrono::steady_clock::now() - began;
  EXPECT_FALSE(p.waiter.startupTexts.empty());
  static const std::regex folded(R"(-> Empty: (\d+) more rounds?$)");
  long rounds = 1;
  for (const auto& line : p.lines()) {
    std::smatch found;
    if (std::regex_search(line, found, folded)) rounds += std::stol(found[1].str());
  }
  EXPECT_LE(rounds, took / controller::StartupRoundEvery + 1);
}

// A host that is not ready until the test says so; its Sleep returns at once.
class NotReadyYet final : public host::Object {
 public:
  explicit NotReadyYet(std::atomic<bool>& ready, std::atomic<int>& resets)
      : ready_(ready), resets_(resets) {}
  Variant call(std::string_view member, host::Args) override {
    if (member == "ORVANE_Reset") ++resets_;
    return Variant(true);
  }
  Variant get(std::string_view member) override {
    if (member == "IOSwitcher") return Variant(host::ObjectRef(new NotReadyYet(ready_, resets_)));
    return Variant(member != "IsInitialised" || ready_.load());
  }
  void put(std::string_view, const Variant&) override {}
  using Object::call;

 private:
  std::atomic<bool>& ready_;
  std::atomic<int>& resets_;
};

// The window's thread looks at its messages through a start of quick calls, so the end of the
// session is handled there too: no address has been chosen, so no reset.
TEST(Program, TheEndOfTheSessionReachesAStartOfQuickCalls) {
  std::atomic<bool> ready{false};
  std::atomic<int> resets{0};
  RealHost real{[&](const std::string&) -> host::ObjectRef {
                  return std::make_shared<NotReadyYet>(ready, resets);
                },
                {},
                {}};
  HeadlessProgram p(Options{}, std::move(real), 1ms);
  std::optional<int> resetsAtTheEnd;
  p.waiter.operatorCancelsStartup = [&](const std::string&) {
    p.program->endProcess = [&](int status) {
      p.endedWith = status;
      resetsAtTheEnd = resets.load();
      ready = true;  // the process would be gone; let the start-up loop end instead
    };
    if (!p.endedWith) p.program->endSession("SIGTERM");
    return false;
  };
  p.view.load();
  EXPECT_EQ(p.endedWith, ExitEnded);
  EXPECT_EQ(resetsAtTheEnd, 0);
}

// How each way of ending the run shows in the exit status.
TEST(Program, TheExitStatusTellsHowTheRunEnded) {
  const auto failingHost = [] {
    return RealHost{[](const std::string& progId) -> host::ObjectRef {
                      throw host::HostError(progId, "not registered");
                    },
                    {},
                    {}};
  };
  struct Case {
    const char* what;
    std::function<void(HeadlessProgram&)> run;
    ExitStatus expected;
  };
  const std::vector<Case> cases = {
      {"the close box", [](HeadlessProgram& p) { p.view.load(), p.view.closeBox(); }, ExitEnded},
      {"Cancel at the prompt",
       [](HeadlessProgram& p) {
         p.services.addressAnswers.push_back("");
         p.view.load();
       },
       ExitEnded},
      {"a lost connection",
       [](HeadlessProgram& p) {
         p.view.load();
         p.sim().injectFault("IOSWITCHER_GetFullStatus", {});
         p.view.click(panel::busButton(0, 5));
       },
       ExitConnectionLost},
      {"Cancel after a failed reset",
       [](HeadlessProgram& p) {
         p.services.addressAnswers.push_back("7");  // no switcher there
         p.view.load();
       },
       ExitConnectionLost},
      {"giving up on a host that does not answer",
       [](HeadlessProgram& p) {
         p.view.load();
         p.sim().injectFault("SWITCHER_AddChannel",
                             host::sim::FaultSpec(host::sim::FaultKind::Block, 1));
         p.view.click(panel::busButton(0, 5));
       },
       ExitConnectionLost},
  };
  for (const auto& c : cases) {
    HeadlessProgram p(simulated());
    c.run(p);
    EXPECT_TRUE(p.program->dispatcher().runEnded()) << c.what;
    EXPECT_EQ(p.program->exitStatus(), c.expected) << c.what;
    if (p.program->givenUp()) p.program.reset();  // leaves the stuck host thread to itself
  }

  HeadlessProgram failed(Options{}, failingHost());
  failed.view.load();
  EXPECT_EQ(failed.program->exitStatus(), ExitStartFailed);

  // The session ends while the start-up failure's box is open: still a failed start.
  HeadlessProgram ending(Options{}, failingHost());
  ending.services.whileBoxOpen = [&ending] { ending.endSessionHere(); };
  EXPECT_THROW(ending.view.load(), controller::RunEnded);
  EXPECT_EQ(ending.endedWith, ExitStartFailed);
}

// The close box's unload waits for its reset when the session ends: no second reset is queued.
TEST(Program, TheEndOfTheSessionDuringTheUnloadSendsNoSecondReset) {
  HeadlessProgram p(simulated());
  p.view.load();
  std::atomic<int> resetsAsked{0};
  p.sim().setCallHook([&](const std::string& member) {
    if (member == "ORVANE_Reset") ++resetsAsked;
  });
  p.sim().injectFault("ORVANE_Reset", host::sim::FaultSpec(host::sim::FaultKind::Block, 1));
  p.waiter.operatorAnswer = [&p](const panel::HostWait::Box&) -> std::int16_t {
    p.endSessionHere();  // the not-answering box of the unload's reset is open
    return controller::box::AnswerRetry;
  };
  p.view.closeBox();

  EXPECT_EQ(p.endedWith, ExitEnded);
  EXPECT_EQ(resetsAsked, 1);
  p.program.reset();
}

// --address: everything after the prompt happens as if the address had been typed.
TEST(Program, AnAddressFromTheCommandLineControlsThatSwitcherWithoutAPrompt) {
  Options options = simulated();
  options.address = 5;
  options.sim.config.addresses = {0, 5};
  HeadlessProgram p(options);
  ASSERT_TRUE(p.view.load());
  EXPECT_TRUE(p.services.prompts.empty());
  EXPECT_EQ(p.view.windowCaption(), "Orvane I/O Switcher 5 (simulated)");
  EXPECT_EQ(p.sim().resetCount(5), 2);
  EXPECT_EQ(p.sim().resetCount(0), 0);
  p.view.click(panel::busButton(0, 5));
  EXPECT_EQ(p.sim().statusWord(5, 0), 1u << 4);
}

// A switcher that another panel controls is left alone, whether its address was typed or given on
// the command line: no reset, no array call, the host let go, and the run ends as Cancel at the
// prompt ends it.
TEST(Program, ASwitcherAnotherPanelControlsIsLeftAlone) {
  for (const bool given : {false, true}) {
    host::sim::SimConfig config;
    config.addresses = {0, 3};
    host::sim::SimulatedHost sim(config);
    std::vector<std::string> switcherCalls;  // only the host thread writes it, before it is read
    sim.setCallHook([&switcherCalls](const std::string& member) {
      if (member.find("SWITCHER_") != std::string::npos || member.starts_with("ORVANE_")) {
        switcherCalls.push_back(member);
      }
    });
    std::vector<int> asked;
    RealHost real{sim.factory(), {}, [&asked](int address) {
                    asked.push_back(address);
                    return address != 3;
                  }};
    Options options;
    if (given) options.address = 3;
    HeadlessProgram p(options, std::move(real));
    p.services.addressAnswers.push_back("2.6");  // rounds to 3, as the controller reads it
    p.view.load();

    EXPECT_EQ(asked, std::vector<int>{3}) << given;
    EXPECT_EQ(p.services.prompts.size(), given ? 0u : 1u);
    EXPECT_EQ(sim.resetCount(3), 0);
    EXPECT_TRUE(switcherCalls.empty()) << switcherCalls.front();
    EXPECT_EQ(p.services.endsAtOnce, 1);
    EXPECT_EQ(p.program->exitStatus(), ExitEnded);
    p.program->end();
    EXPECT_EQ(sim.liveObjects(), 0);
  }
}

}  // namespace
}  // namespace orvane::app
