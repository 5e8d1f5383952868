// The presets as the program offers them: the context menu's store, recall, rename and delete,
// and --preset.
#include <algorithm>

#include "app/Program.h"
#include "host/trace/TraceText.h"

namespace orvane::app {

using controller::CrLf;
namespace box = controller::box;

namespace {

// A name as typed into the name box: what the file takes, and no blank at either end, which a menu
// would not show.
std::optional<std::string> typedNameProblem(const std::string& name) {
  if (const auto problem = controller::presetNameProblem(name)) return problem;
  if (name.front() == ' ' || name.back() == ' ') return "a name may not begin or end with a blank";
  return std::nullopt;
}

std::string quotedName(const std::string& name) {
  return "\"" + name + "\"";
}

}  // namespace

void Program::presetProblem(const std::string& text) {
  services_->messageBox(text, box::ExclamationOk, controller_->state().Title_Text);
}

// Every trace line about a preset: "preset "NAME" ...", the name escaped.
void Program::tracePreset(const std::string& name, const std::string& rest) {
  if (trace_) trace_->write("preset " + host::trace::quotedText(name) + rest);
}

bool Program::mayReplace(const std::string& name, const std::string& replacement) {
  const auto all = presets_.list();
  const bool taken = std::any_of(all.begin(), all.end(),
                                 [&](const FilePreset& entry) { return entry.name == name; });
  return !taken || confirmed("A preset named " + quotedName(name) + " exists already." + CrLf +
                             "Replace it with " + replacement + "?");
}

bool Program::confirmed(const std::string& question) {
  return services_->messageBox(question, box::YesNoQuestion + box::SecondButtonDefault,
                               controller_->state().Title_Text) == box::AnswerYes;
}

StoreWait Program::storeWait() {
  StoreWait wait;
  wait.lockLimit = presetLockLimit;
  wait.pause = [this](std::chrono::steady_clock::time_point until) { wait_.pausePainting(until); };
  return wait;
}

std::vector<panel::MenuPreset> Program::menuPresets() {
  std::vector<panel::MenuPreset> menu;
  try {
    const auto shown = controller_->shownAsPreset({});
    for (const auto& entry : presets_.list()) {
      menu.push_back({entry.name, entry.preset.has_value(),
                      entry.preset && controller::routingMatches(*entry.preset, shown)});
    }
  } catch (const PresetFileError& error) {
    presetProblem(std::string("The presets file cannot be read.") + CrLf + CrLf + error.what());
  }
  return menu;
}

// Asks until the operator gives a name the panel takes, or cancels: a refused name is told, then
// the box comes again holding it as typed.
std::optional<std::string> Program::askPresetName(const std::string& prompt, std::string typed,
                                                  const std::string& refused) {
  for (;;) {
    const auto answer = services_->inputBox(prompt, controller_->state().Title_Text, typed);
    if (!answer || answer->empty()) return std::nullopt;
    typed = *answer;
    const auto problem = typedNameProblem(typed);
    if (!problem) return typed;
    presetProblem(refused + ": " + *problem + " (1 to 40 printable characters).");
  }
}

void Program::storePreset() {
  const auto nothingStored = [this](const PresetFileError& error) {
    presetProblem(std::string("Nothing was stored.") + CrLf + CrLf + error.what());
  };
  try {
    presets_.list();  // a file that cannot take a store says so before a name is asked
  } catch (const PresetFileError& error) {
    return presetProblem(std::string("Nothing can be stored.") + CrLf + CrLf + error.what());
  }
  const auto name =
      askPresetName("Store the switcher's routing as the preset named:", {}, "Nothing was stored");
  if (!name) return;
  try {
    if (!mayReplace(*name, "the switcher's routing")) return;
  } catch (const PresetFileError& error) {
    return nothingStored(error);
  }
  // The read and the store are one operation: a close that comes meanwhile runs once the preset
  // has been written (or its box has told why not), so a confirmed store is never dropped.
  dispatcher_->runOperation([&] {
    const auto read = controller_->readPreset(*name);
    if (!read) {
      return presetProblem(std::string("The switcher's routing could not be read, so nothing was "
                                       "stored.") +
                           CrLf + "Check that Qelvix and the switcher are on, and try again.");
    }
    try {
      presets_.store(*read, storeWait());
      tracePreset(*name, " stored to " + presets_.displayName());
    } catch (const PresetFileError& error) {
      nothingStored(error);
    }
  });
}

void Program::recallPreset(const std::string& name) {
  std::optional<FilePreset> found;
  try {
    for (auto& entry : presets_.list()) {
      if (entry.name == name) found = std::move(entry);
    }
  } catch (const PresetFileError& error) {
    return presetProblem(std::string("The presets file cannot be read; nothing was switched.") +
                         CrLf + CrLf + error.what());
  }
  if (!found) {
    return presetProblem("There is no preset " + quotedName(name) + " in " +
                         presets_.displayName() + ".");
  }
  if (!found->preset) {
    return presetProblem("The preset " + quotedName(name) + " cannot be recalled; nothing was " +
                         "switched." + CrLf + CrLf + found->problem);
  }
  dispatcher_->runOperation([&] {
    tracePreset(name, " recalled from " + presets_.displayName());
    for (const auto& key : found->preset->unknownKeys) {
      tracePreset(name, ": unknown key " + key + " ignored");
    }
    controller_->recallPreset(*found->preset);
  });
}

void Program::renamePreset(const std::string& name) {
  const auto renamed =
      askPresetName("Rename the preset " + quotedName(name) + " to:", name, "Nothing was renamed");
  if (!renamed || *renamed == name) return;
  try {
    if (!mayReplace(*renamed, quotedName(name))) return;
  } catch (const PresetFileError& error) {
    return presetProblem(std::string("Nothing was renamed.") + CrLf + CrLf + error.what());
  }
  dispatcher_->runOperation([&] {
    try {
      presets_.rename(name, *renamed, storeWait());
      tracePreset(name, " renamed to " + host::trace::quotedText(*renamed) + " in " +
                            presets_.displayName());
    } catch (const PresetFileError& error) {
      presetProblem(std::string("Nothing was renamed.") + CrLf + CrLf + error.what());
    }
  });
}

void Program::deletePreset(const std::string& name) {
  if (!confirmed("Delete the preset " + quotedName(name) + " from " + presets_.displayName() +
                 "?")) {
    return;
  }
  dispatcher_->runOperation([&] {
    try {
      presets_.remove(name, storeWait());
      tracePreset(name, " deleted from " + presets_.displayName());
    } catch (const PresetFileError& error) {
      presetProblem(std::string("Nothing was deleted.") + CrLf + CrLf + error.what());
    }
  });
}

}  // namespace orvane::app
