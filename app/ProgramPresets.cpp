// The presets as the program offers them: the context menu's store and recall, and --preset.
#include "app/Program.h"

namespace orvane::app {

namespace {

constexpr const char* CrLf = "\r\n";
constexpr std::int16_t YesNoQuestion = 4 + 32;
constexpr std::int16_t AnswerYes = 6;

}  // namespace

void Program::presetProblem(const std::string& text) {
  services_->messageBox(text, controller::box::ExclamationOk, controller_->state().Title_Text);
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
  try {
    if (presets_.load().contains(name) &&
        services_->messageBox("A preset named \"" + name + "\" exists already." + CrLf +
                                  "Replace it with the switcher's routing?",
                              YesNoQuestion, title) != AnswerYes) {
      return;
    }
    std::optional<controller::Preset> read;
    dispatcher_->runOperation([&] { read = controller_->readPreset(name); });
    if (controller_->runEnded()) return;
    if (!read) {
      return presetProblem(std::string("The switcher's routing could not be read, so nothing was "
                                       "stored.") +
                           CrLf + "Check that Qelvix and the switcher are on, and try again.");
    }
    presets_.store(*read);
    if (trace_) trace_->write("preset \"" + name + "\" stored to " + presets_.displayName());
  } catch (const PresetFileError& error) {
    presetProblem(std::string("Nothing was stored.") + CrLf + CrLf + error.what());
  }
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
  if (trace_) trace_->write("preset \"" + name + "\" recalled from " + presets_.displayName());
  dispatcher_->runOperation([&] { controller_->recallPreset(*preset); });
}

}  // namespace orvane::app
