#include "tests/reliability/Soak.h"

#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "tests/support/ControllerBench.h"

namespace orvane::reliability {

namespace {

using panel::ControlName;

long statusField(const std::string& name) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(name + ":", 0) == 0) {
      std::istringstream fields(line.substr(name.size() + 1));
      long kb = -1;
      fields >> kb;
      return kb;
    }
  }
  return -1;
}

// The host's own status words against what the panel shows and the controller holds.
bool panelAgreesWithHost(testing::ControllerBench& b) {
  const auto& s = b.state();
  for (int bus = 0; bus < 2; ++bus) {
    const std::uint32_t word = b.sim.statusWord(s.Switcher_Address, bus);
    const auto& channels = bus == 0 ? s.BusA_State : s.BusB_State;
    for (int i = 1; i <= 16; ++i) {
      const bool on = ((word >> (i - 1)) & 1u) != 0;
      if (channels[static_cast<std::size_t>(i)] != on) return false;
      if (b.view.colourOf(panel::busButton(bus, i)) !=
          (on ? panel::colour::Green : panel::colour::Grey)) {
        return false;
      }
    }
    const bool balance = (word >> 16 & 1u) != 0;
    const bool load = (word >> 17 & 1u) != 0;
    if ((bus == 0 ? s.BalA_On : s.BalB_On) != balance) return false;
    if ((bus == 0 ? s.LoadA_On : s.LoadB_On) != load) return false;
  }
  return true;
}

// A recall's box that names only Bal relays left off: the excessive-DC warning came before it.
bool onlyBalLeftOff(const std::string& text) {
  const std::string intro = "The switcher did not take the whole preset ";
  if (text.rfind(intro, 0) != 0) return false;
  std::istringstream lines(text.substr(text.find("\r\n\r\n") + 4));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line != "Bus A: Bal is off" && line != "Bus B: Bal is off") return false;
  }
  return true;
}

// The only boxes a fault-free run may show are the excessive-DC warning (X3 carries 9 V) and a
// recall's word that Bal stayed off because of it.
void checkBoxes(const testing::ControllerBench& b, SoakResult& result) {
  for (const auto& box : b.services.boxes) {
    if (box.style != controller::box::ExclamationOk ||
        (box.text.rfind("There is excessive DC", 0) != 0 && !onlyBalLeftOff(box.text))) {
      result.problems.push_back("unexpected box: " + box.text);
    }
  }
}

// A preset drawn at random: any mode or none, any channels and relays.
controller::Preset randomPreset(const std::function<int(int)>& pick) {
  controller::Preset preset{
      "soak", std::nullopt, {}, {pick(2) == 1, pick(2) == 1}, {pick(2) == 1, pick(2) == 1}};
  if (pick(2) == 1) preset.mode = static_cast<std::int16_t>(pick(6));
  for (auto& bus : preset.on) {
    for (auto& on : bus) on = pick(4) == 0;
  }
  return preset;
}

constexpr long HarnessClearEvery = 500;

}  // namespace

MemorySample sampleMemory(long step) {
  return {step, statusField("VmRSS"), statusField("VmHWM")};
}

SoakResult runSoak(const SoakOptions& options) {
  SoakResult result;
  host::sim::SimConfig config;
  config.addresses = {5};
  config.seed = options.seed;
  auto bench = std::make_unique<testing::ControllerBench>(config);
  auto& b = *bench;
  b.start("5");
  std::mt19937_64 random(options.seed);
  const std::function<int(int)> pick = [&random](int n) {
    return static_cast<int>(random() % static_cast<std::uint64_t>(n));
  };

  // The history on simulated time: a day of ticks passes in minutes.
  auto simulated = std::chrono::steady_clock::time_point{};
  controller::DcRecorder recorder(
      {[&simulated] { return simulated += std::chrono::milliseconds(controller::TimerIntervalMs); },
       [&simulated] {
         return std::chrono::system_clock::time_point{} + simulated.time_since_epoch();
       }});
  b.controller.observeDc(&recorder);
  if (!b.view.click({ControlName::DCButton})) result.problems.push_back("DC button did nothing");
  const long sampleEvery = std::max(1L, options.ticks / std::max(1, options.samples));
  result.memory.push_back(sampleMemory(0));

  for (long tick = 0; tick < options.ticks && !b.dispatcher.runEnded(); ++tick) {
    if (!b.view.tick()) result.problems.push_back("a tick was dropped");
    ++result.ticksRun;
    // Spread the clicks evenly over the ticks.
    const long clicksDue = options.clicks * (tick + 1) / std::max(1L, options.ticks);
    while (result.clicksRun < clicksDue && !b.dispatcher.runEnded()) {
      ++result.clicksRun;
      bool polls = true;
      switch (pick(12)) {
        case 0:
        case 1:
        case 2:
          b.view.click(panel::busButton(pick(2), pick(18)));
          break;
        case 3:
          b.view.click({ControlName::PrevButton});
          break;
        case 4:
          b.view.click({ControlName::NextButton});
          break;
        case 5:
          b.view.chooseListEntry(static_cast<std::int16_t>(pick(6)));
          break;
        case 6:
          b.view.click({ControlName::ResetButton});
          break;
        case 7:  // another client of the host switches, and the follow read shows it
          b.sim.switchAsAnotherClient(5, pick(2), 1 + pick(16), pick(2) == 1);
          b.view.followTick();
          break;
        case 8: {
          const auto preset = randomPreset(pick);
          b.dispatcher.runOperation([&] { b.controller.recallPreset(preset); });
          break;
        }
        default: {  // a relay: no poll, so the check waits for the next click that polls
          const ControlName relays[] = {ControlName::BalA_Button, ControlName::LoadA_Button,
                                        ControlName::BalB_Button, ControlName::LoadB_Button};
          b.view.click({relays[pick(4)]});
          polls = false;
        }
      }
      if (polls && !panelAgreesWithHost(b)) ++result.disagreements;
    }
    if ((tick + 1) % HarnessClearEvery == 0) {
      // Empty the harness's own records (call log, view operations, boxes): they are the test's
      // memory, not the program's.
      checkBoxes(b, result);
      result.hostCalls += static_cast<long>(b.log->calls().size());
      b.log->clear();
      b.view.clearOperations();
      b.services.boxes.clear();
    }
    if (recorder.history().size() == controller::DcHistory::Capacity &&
        result.rssHistoryFullKb < 0) {
      result.rssHistoryFullKb = sampleMemory(tick + 1).rssKb;
    }
    if ((tick + 1) % sampleEvery == 0 || tick + 1 == options.ticks) {
      result.memory.push_back(sampleMemory(tick + 1));
    }
  }
  result.hostCalls += static_cast<long>(b.log->calls().size());
  result.historyHeld = recorder.history().size();
  if (result.ticksRun >= static_cast<long>(controller::DcHistory::Capacity) &&
      result.historyHeld != controller::DcHistory::Capacity) {
    result.problems.push_back("the DC history holds " + std::to_string(result.historyHeld) +
                              " samples, not an hour's");
  }

  checkBoxes(b, result);
  const bool closed = b.view.closeBox();
  result.liveObjectsAtEnd = b.sim.liveObjects();
  result.endedCleanly = closed && b.dispatcher.runEnded() && !b.dispatcher.failure() &&
                        b.log->count("ORVANE_Reset") == 1 && result.liveObjectsAtEnd == 0;
  if (result.disagreements > 0) {
    result.problems.push_back(std::to_string(result.disagreements) +
                              " polls left the panel disagreeing with the host");
  }
  if (!result.endedCleanly) result.problems.push_back("the run did not end cleanly");
  return result;
}

}  // namespace orvane::reliability
