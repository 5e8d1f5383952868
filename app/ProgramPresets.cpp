// The presets as the program offers them: the context menu's store and recall, and --preset.
#include "app/Program.h"
#include "host/trace/TraceText.h"

namespace orvane::app {

using controller::CrLf;
namespace box = controller::box;

void Program::presetProblem(const std::string& text) {
  services_->messageBox(text, box::ExclamationOk, controller_->state().Title_Text);
}

void Program::tracePreset(const std::string& name, const std::string& what) {
  if (trace_) {
    trace_->write("preset " + host::trace::quotedText(name) + " " + what + " " +
                  presets_.displayName());
  }
}

std::vector<std::string> Program::presetNames() {
  std::vector<std::string> names;
  try {
    for (const auto& [name, preset] : presets_.load()) names.push_back(name);
  } catch (const PresetFileError& error) {
    presetProblem(std::string("The presets file cannot be read.") + CrLf + CrLf + error.what());
  }
  return names;
}

void Program::storePreset() {
  const auto& title = controller_->state().Title_Text;
  const auto answer = services_->inputBox(
      "Store the switcher's routing as the preset named:", title, std::string());
  if (!answer || answer->empty()) return;
  const std::string& name = *answer;
  if (const auto problem = controller::presetNameProblem(name)) {
    return presetProblem("Nothing was stored: " + *problem + " (1 to 40 printable characters).");
  }
  const auto nothingStored = [this](const PresetFileError& error) {
    presetProblem(std::string("Nothing was stored.") + CrLf + CrLf + error.what());
  };
  try {
    if (presets_.load().contains(name) &&
        services_->messageBox("A preset named \"" + name + "\" exists already." + CrLf +
                                  "Replace it with the switcher's routing?",
                              box::YesNoQuestion, title) != box::AnswerYes) {
      return;
    }
  } catch (const PresetFileError& error) {
    return nothingStored(error);
  }
  // The read and the store are one operation: a close that comes meanwhile runs once the preset
  // has been written (or its box has told why not), so a confirmed store is never dropped.
  dispatcher_->runOperation([&] {
    const auto read = controller_->readPreset(name);
    if (!read) {
      return presetProblem(std::string("The switcher's routing could not be read, so nothing was "
                                       "stored.") +
                           CrLf + "Check that Qelvix and the switcher are on, and try again.");
    }
    try {
      presets_.store(*read, storeWait());
      tracePreset(name, "stored to");
    } catch (const PresetFileError& error) {
      nothingStored(error);
    }
  });
}

StoreWait Program::storeWait() {
  StoreWait wait;
  wait.lockLimit = presetLockLimit;
  wait.pause = [this](std::chrono::steady_clock::time_point until) { wait_.pausePainting(until); };
  return wait;
}

void Program::recallPreset(const std::string& name) {
  std::optional<controller::Preset> preset;
  try {
    const auto all = presets_.load();
    if (const auto found = all.find(name); found != all.end()) preset = found->second;
  } catch (const PresetFileError& error) {
    return presetProblem(std::string("The presets file cannot be read; nothing was switched.") +
                         CrLf + CrLf + error.what());
  }
  if (!preset) {
    return presetProblem("There is no preset \"" + name + "\" in " + presets_.displayName() + ".");
  }
  dispatcher_->runOperation([&] {
    tracePreset(name, "recalled from");
    controller_->recallPreset(*preset);
  });
}

}  // namespace orvane::app
