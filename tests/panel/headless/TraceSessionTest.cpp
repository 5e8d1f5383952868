// A traced session of the whole program without a window: the lines a fault report would carry,
// and a trace that cannot be written, which must change nothing for the operator.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "controller/Controller.h"
#include "host/sim/SimulatedHost.h"
#include "host/trace/TracingFactory.h"
#include "panel/Dispatcher.h"
#include "panel/headless/HeadlessView.h"
#include "panel/trace/EventTrace.h"
#include "panel/trace/TracingServices.h"
#include "tests/support/ScriptedServices.h"

namespace orvane::testing {
namespace {

using panel::ControlName;

// The program wired as `--trace` wires it, writing to a temporary file (or any stream).
struct TracedProgram {
  explicit TracedProgram(std::FILE* out = std::tmpfile())
      : file(out),
        log(std::make_shared<host::trace::TraceLog>(file, "trace", true)),
        services(scripted, log),
        events(log),
        controller(view, services, host::trace::tracingFactory(sim.factory(), log)),
        dispatcher(controller, services) {
    view.setRaisedEvents(&dispatcher);
    view.attach(dispatcher);
    dispatcher.setObserver(&events);
  }

  // Every line so far, with the time stamp and the host call's duration taken out.
  std::vector<std::string> lines() {
    static const std::regex stamp(R"(^\d+ms (host \d+us )?)");
    std::fflush(file);
    std::rewind(file);
    std::vector<std::string> result;
    std::string line;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
      if (c != '\n') {
        line += static_cast<char>(c);
        continue;
      }
      std::smatch found;
      EXPECT_TRUE(std::regex_search(line, found, stamp)) << line;
      result.push_back((found[1].matched ? "host " : "") + found.suffix().str());
      line.clear();
    }
    EXPECT_TRUE(line.empty()) << "an unfinished line: " << line;
    return result;
  }
  // The lines from the first one equal to `from`.
  std::vector<std::string> linesFrom(const std::string& from) {
    auto all = lines();
    const auto first = std::find(all.begin(), all.end(), from);
    return {first, all.end()};
  }

  host::sim::SimulatedHost sim;
  std::FILE* file;
  std::shared_ptr<host::trace::TraceLog> log;
  panel::HeadlessView view;
  ScriptedServices scripted;
  panel::trace::TracingServices services;
  panel::trace::EventTrace events;
  controller::Controller controller;
  panel::Dispatcher dispatcher;
};

TEST(TraceSession, AClickADroppedTickAndALostConnectionReadAsTheyHappened) {
  TracedProgram program;
  program.scripted.addressAnswers.push_back("0");
  program.view.load();
  const auto startUp = program.lines();
  ASSERT_FALSE(startUp.empty());
  EXPECT_EQ(startUp.front(), "event handled Form_Load");
  EXPECT_NE(std::find(startUp.begin(), startUp.end(), "event raised Mode_Droplist_Click"),
            startUp.end());

  // A tick that arrives while X5's switching call runs is dropped, and makes no line.
  program.sim.setCallHook([&](const std::string& member) {
    if (member == "SWITCHER_AddChannel") program.view.tick();
  });
  program.view.click({ControlName::BusA, 5});
  program.sim.setCallHook({});
  // The status read fails: the lost-connection box, the window closes, Form_Unload resets.
  program.sim.injectFault("IOSWITCHER_GetFullStatus",
                          {host::sim::FaultKind::Raise, 1, {}, {}, "switcher 0 does not answer"});
  program.view.click({ControlName::BusB, 9});
  // A click that a window delivers after the run has ended.
  program.dispatcher.handle({panel::EventKind::BusBClick, 10});

  EXPECT_EQ(program.linesFrom("event handled BusA_Click(5)"),
            (std::vector<std::string>{
                "event handled BusA_Click(5)",
                "host IOSwitcher.SWITCHER_AddChannel(\"BusA0\", &5) -> True",
                "host IOSwitcher.IOSWITCHER_GetFullStatus(&0, &0 => 16, &0) -> True",
                "event handled BusB_Click(9)",
                "host IOSwitcher.SWITCHER_AddChannel(\"BusB0\", &9) -> True",
                "host IOSwitcher.IOSWITCHER_GetFullStatus(&0, &16, &0) -> error "
                "\"IOSWITCHER_GetFullStatus: switcher 0 does not answer\"",
                "box MsgBox(\"Connection with Qelvix and/or the switcher failed.\\r\\n\\r\\n"
                "This program will now close.\", 48, \"Orvane I/O Switcher 0\") -> 1",
                "event raised Form_Unload",
                "host IOSwitcher.ORVANE_Reset(&0, True, &\"Switcher 0 reset\") -> True",
                "host release IOSwitcher",
                "host release HostApp",
                "event dropped BusB_Click(10): run ended",
            }));
}

// An idle panel ticks five times a second: only a tick that calls the host is written.
TEST(TraceSession, OnlyTicksThatCallTheHostAreWritten) {
  TracedProgram program;
  program.scripted.addressAnswers.push_back("0");
  program.view.load();
  const auto before = program.lines().size();
  program.view.tick();
  program.view.tick();
  EXPECT_EQ(program.lines().size(), before);

  program.view.click({ControlName::DCButton});
  program.view.tick();
  const auto after = program.linesFrom("event handled DCButton_Click");
  ASSERT_GE(after.size(), 3u);
  EXPECT_EQ(after[1], "event handled Timer1_Timer");
  for (std::size_t i = 2; i < after.size(); ++i) {
    EXPECT_EQ(after[i].rfind("host IOSwitcher.IOSWITCHER_", 0), 0u) << after[i];
  }
}

TEST(TraceSession, CancelAtTheAddressPromptEndsAtOnceAndSaysSo) {
  TracedProgram program;
  program.scripted.addressAnswers.push_back("");
  program.view.load();
  const auto lines = program.lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2].rfind("box InputBox(", 0), 0u);
  EXPECT_EQ(lines.back(), "end at once");
}

TEST(TraceSession, ATraceThatCannotBeWrittenChangesNothingForTheOperator) {
  std::FILE* full = std::fopen("/dev/full", "wb");
  if (full == nullptr) GTEST_SKIP() << "no /dev/full here";
  TracedProgram program(full);
  program.scripted.addressAnswers.push_back("0");
  program.view.load();
  program.view.click({ControlName::BusA, 5});
  EXPECT_TRUE(program.log->failed());
  EXPECT_EQ(program.view.colourOf({ControlName::BusA, 5}), panel::colour::Green);
  EXPECT_EQ(program.sim.statusWord(0, 0), 1u << 4);
  EXPECT_FALSE(program.dispatcher.failure());
}

}  // namespace
}  // namespace orvane::testing
