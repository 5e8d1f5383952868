// The call trace's sink and its host-call lines: escaping that keeps every line one line, a file
// that cannot be opened or written, and what one line says about a call.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "host/AutomationError.h"
#include "host/sim/SimulatedHost.h"
#include "host/trace/TraceLog.h"
#include "host/trace/TraceText.h"
#include "host/trace/TracingFactory.h"

namespace orvane::host::trace {
namespace {

std::string contentOf(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
  return text;
}

// Lines without their time stamps and durations, which differ from run to run.
std::vector<std::string> normalisedLines(const std::string& text) {
  static const std::regex stamp(R"(^\d+ms )");
  static const std::regex duration(R"(^host \d+us )");
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end = text.find('\n'); end != std::string::npos;
       start = end + 1, end = text.find('\n', start)) {
    const std::string line = text.substr(start, end - start);
    EXPECT_TRUE(std::regex_search(line, stamp)) << line;
    lines.push_back(std::regex_replace(std::regex_replace(line, stamp, ""), duration, "host "));
  }
  EXPECT_EQ(start, text.size()) << "the last line is not ended";
  return lines;
}

TEST(TraceText, EveryTextStaysOnOneLineAndReadsBackUnambiguously) {
  EXPECT_EQ(quotedText("BusA0"), "\"BusA0\"");
  EXPECT_EQ(quotedText("failed.\r\nThis program"), "\"failed.\\r\\nThis program\"");
  EXPECT_EQ(quotedText("say \"hi\"\\n"), "\"say \\\"hi\\\"\\\\n\"");
  EXPECT_EQ(quotedText(std::string("a\tb\0c\x1b\x7f", 7)), "\"a\\tb\\x00c\\x1B\\x7F\"");
  EXPECT_EQ(quotedText("Ω 5 V"), "\"Ω 5 V\"");  // UTF-8 passes as it is
  EXPECT_EQ(quotedText(""), "\"\"");

  EXPECT_EQ(valueText(Variant()), "Empty");
  EXPECT_EQ(valueText(Variant(true)), "True");
  EXPECT_EQ(valueText(Variant(std::int16_t{-3})), "-3");
  EXPECT_EQ(valueText(Variant(0.25)), "0.25");
  EXPECT_EQ(valueText(Variant("line\r\n")), "\"line\\r\\n\"");
  EXPECT_EQ(valueText(Variant("5")), "\"5\"");  // text that reads as a number stays text
}

TEST(TraceLog, AFileThatCannotBeCreatedIsRefusedWithItsNameAndTheReason) {
  const std::filesystem::path path = "/nonexistent-orvane-folder/session.trace";
  try {
    TraceLog::open(path);
    FAIL() << "opened " << path;
  } catch (const TraceFileError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find(path.string()), std::string::npos) << message;
    EXPECT_NE(message.find("No such file or directory"), std::string::npos) << message;
  }
  EXPECT_THROW(TraceLog::open(""), TraceFileError);
  EXPECT_FALSE(TraceLog::open("-")->failed());  // standard error
}

TEST(TraceLog, AFailedWriteIsToldOnceAndNothingElseHappens) {
  std::FILE* full = std::fopen("/dev/full", "wb");
  if (full == nullptr) GTEST_SKIP() << "no /dev/full here";
  std::FILE* errors = std::tmpfile();
  ASSERT_NE(errors, nullptr);
  {
    TraceLog log(full, "/dev/full", true, errors);
    for (int i = 0; i < 3; ++i) EXPECT_NO_THROW(log.write("event handled Timer1_Timer"));
    EXPECT_TRUE(log.failed());
  }
  EXPECT_EQ(contentOf(errors),
            "orvane-panel: cannot write the trace to /dev/full (No space left on device); the "
            "trace stops here\n");
  std::fclose(errors);
}

TEST(TraceLog, EachLineIsStampedWithWhenItsActionBeganAndIsOnDiskAtOnce) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("orvane-trace-test-" + std::to_string(::getpid()) + ".trace");
  {
    const auto log = TraceLog::open(path);
    log->write(TraceLog::Clock::now() + std::chrono::milliseconds(1500), "later");
    log->write(TraceLog::Clock::now() - std::chrono::hours(1), "before the start");
    // Read while the log is still open: each line has been flushed as it was written.
    std::ifstream reader(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(reader)), {});
    EXPECT_TRUE(std::regex_match(text, std::regex("15\\d\\dms later\n0ms before the start\n")))
        << text;
  }
  std::filesystem::remove(path);
}

struct TracedHost {
  TracedHost() : file(std::tmpfile()) {
    log = std::make_shared<TraceLog>(file, "tmp", false);
    app = tracingFactory(sim.factory(), log)("Qelvix.Application");
    switcher = app->get("IOSwitcher").toObject();
  }
  ~TracedHost() { std::fclose(file); }
  std::vector<std::string> lines() { return normalisedLines(contentOf(file)); }

  sim::SimulatedHost sim;
  std::FILE* file;
  std::shared_ptr<TraceLog> log;
  ObjectRef app;
  ObjectRef switcher;
};

TEST(TracingFactory, ALineTellsTheCallItsArgumentsBeforeAndAfterAndItsOutcome) {
  TracedHost host;
  std::int16_t address = 0;
  std::int16_t channel = 5;
  Variant wordA = "before";
  Variant wordB;
  host.switcher->put("ORVANE_ShowErrorMessages", false);
  host.switcher->call("SWITCHER_AddChannel", {"BusA0", Arg::ref(channel)});
  EXPECT_TRUE(
      host.switcher
          ->call("IOSWITCHER_GetFullStatus", {Arg::ref(address), Arg::ref(wordA), Arg::ref(wordB)})
          .toBool());
  host.sim.injectFault("SWITCHER_Balance",
                       {sim::FaultKind::Raise, 1, {}, {}, "relay \"A\"\r\nstuck"});
  EXPECT_THROW(host.switcher->call("SWITCHER_Balance", {"BusA0", true}), HostError);
  host.switcher.reset();
  host.app.reset();

  const auto lines = host.lines();
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "host CreateObject(\"Qelvix.Application\") -> <object>");
  EXPECT_EQ(lines[1], "host HostApp.IOSwitcher -> <object>");
  EXPECT_EQ(lines[2], "host IOSwitcher.ORVANE_ShowErrorMessages = False");
  // No array defined yet: the simulated host answers False.
  EXPECT_EQ(lines[3], "host IOSwitcher.SWITCHER_AddChannel(\"BusA0\", &5) -> False");
  // An out that the call changed shows both values; one it left as it was shows one.
  EXPECT_EQ(lines[4],
            "host IOSwitcher.IOSWITCHER_GetFullStatus(&0, &\"before\" => 0, &Empty => 0) -> True");
  EXPECT_EQ(lines[5],
            "host IOSwitcher.SWITCHER_Balance(\"BusA0\", True) -> error "
            "\"SWITCHER_Balance: relay \\\"A\\\"\\r\\nstuck\"");
  EXPECT_EQ(lines[6], "host release IOSwitcher");
  EXPECT_EQ(lines[7], "host release HostApp");
}

TEST(TracingFactory, AHostThatCannotBeCreatedIsTracedAndStillFails) {
  sim::SimulatedHost sim;
  std::FILE* file = std::tmpfile();
  auto log = std::make_shared<TraceLog>(file, "tmp", false);
  EXPECT_THROW(tracingFactory(sim.factory(), log)("No.Such"), HostError);
  const auto lines = normalisedLines(contentOf(file));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("host CreateObject(\"No.Such\") -> error \"", 0), 0u) << lines[0];
  std::fclose(file);
}

}  // namespace
}  // namespace orvane::host::trace
