#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "app/Program.h"
#include "controller/RunEnded.h"
#include "panel/headless/HeadlessCallWaiter.h"
#include "panel/headless/HeadlessView.h"
#include "tests/support/ScriptedServices.h"

namespace orvane::app {

// The program as both entry points assemble it, with the headless panel, a scripted operator and a
// 20 ms limit for the not-answering box. The end of the process is recorded instead of made.
struct HeadlessProgram {
  explicit HeadlessProgram(const Options& options, RealHost real = {},
                           std::chrono::milliseconds startupWindowAfter = panel::StartupWindowAfter,
                           std::shared_ptr<host::trace::TraceLog> trace = nullptr)
      : waiter(std::chrono::milliseconds(20), startupWindowAfter),
        program(std::in_place, PanelParts{view, services, waiter}, options, trace,
                std::move(real)) {
    view.attach(program->dispatcher());
    program->endProcess = [this](int status) { endedWith = status; };
  }
  host::sim::SimulatedHost& sim() { return *program->simulatedHost(); }
  // The session ends from inside whatever is open; the process would end there, so the test
  // unwinds instead.
  void endSessionHere() {
    program->endProcess = [this](int status) {
      endedWith = status;
      throw controller::RunEnded{};
    };
    program->endSession("SIGTERM");
  }
  panel::HeadlessView view;
  testing::ScriptedServices services;
  panel::HeadlessCallWaiter waiter;
  std::optional<Program> program;
  std::optional<int> endedWith;
};

inline Options simulated() {
  Options options;
  options.simulate = true;
  return options;
}

// A trace log writing to a temporary file, and the lines written so far: without their time
// stamps, and with each duration written as "N".
struct TraceFile {
  std::FILE* file = std::tmpfile();
  std::shared_ptr<host::trace::TraceLog> log =
      std::make_shared<host::trace::TraceLog>(file, "trace", true);

  std::vector<std::string> lines() {
    static const std::regex stamp(R"(^\d+ms )");
    static const std::regex duration(R"(^host \d+us )");
    static const std::regex openFor(R"(, open for \d+ ms$)");
    std::fflush(file);
    std::rewind(file);
    std::vector<std::string> result;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, file)) {
      std::string line(buffer);
      if (!line.empty() && line.back() == '\n') line.pop_back();
      line = std::regex_replace(line, stamp, "");
      line = std::regex_replace(line, duration, "host N ");
      result.push_back(std::regex_replace(line, openFor, ", open for N ms"));
    }
    return result;
  }
  bool has(const std::string& line) {
    const auto all = lines();
    return std::find(all.begin(), all.end(), line) != all.end();
  }
};

// The program with --trace into a temporary file.
struct TracedProgram : TraceFile, HeadlessProgram {
  explicit TracedProgram(host::sim::SimConfig config = {},
                         std::chrono::milliseconds startupWindowAfter = panel::StartupWindowAfter,
                         std::optional<std::filesystem::path> presets = std::nullopt)
      : HeadlessProgram(withSimulator(config, presets), {}, startupWindowAfter, log) {}
  static Options withSimulator(const host::sim::SimConfig& config,
                               const std::optional<std::filesystem::path>& presets = {}) {
    Options options = simulated();
    options.sim.config = config;
    if (presets) options.presetsPath = presets->string();
    return options;
  }
};

}  // namespace orvane::app
