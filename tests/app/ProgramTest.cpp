// The program as both entry points assemble it, with the headless panel: the simulated host's
// caption, and the end of a run whose host does not answer the releases.
#include "app/Program.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

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
  explicit HeadlessProgram(const Options& options, RealHost real = {})
      : waiter(20ms),
        program(std::in_place, PanelParts{view, services, waiter}, options, nullptr,
                std::move(real)) {
    view.attach(program->dispatcher());
  }
  panel::HeadlessView view;
  testing::ScriptedServices services;
  panel::HeadlessCallWaiter waiter;
  std::optional<Program> program;
};

TEST(Program, OnTheSimulatedHostTheCaptionSaysSoAndTheBoxesKeepTheTitle) {
  Options options;
  options.simulate = true;
  HeadlessProgram p(options);
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

}  // namespace
}  // namespace orvane::app
