// Presets: the switcher's routing read into one, and one recalled onto the switcher in one step.
#include "controller/Controller.h"
#include "controller/RunEnded.h"
#include "controller/SkipAndContinue.h"
#include "panel/ControlId.h"

namespace orvane::controller {

std::optional<Preset> Controller::readPreset(const std::string& name) {
  if (!readSwitcher()) return std::nullopt;
  return shownAsPreset(name);
}

Preset Controller::shownAsPreset(const std::string& name) const {
  Preset preset{name, s_.Link_Mode, {}, {s_.BalA_On, s_.BalB_On}, {s_.LoadA_On, s_.LoadB_On}, {}};
  for (int channel = 1; channel <= 16; ++channel) {
    preset.on[0][channel - 1] = s_.BusA_State[channel];
    preset.on[1][channel - 1] = s_.BusB_State[channel];
  }
  return preset;
}

// The mode first (its own reset turns every channel off), then the channels that differ, removals
// before additions so that two sources are never joined on a bus for a moment, then Load and Bal
// where they differ, Bal through the DC guard as a click goes. Each channel call names its bus's
// array whatever the link mode: a preset states the end state. A poll ends it; what the switcher
// did not take is told in a box.
void Controller::recallPreset(const Preset& preset) {
  throwIfEnded();
  if (preset.mode && *preset.mode != s_.Link_Mode) {
    view_.setListIndex(*preset.mode);  // runs Mode_Droplist_Click: reset and poll
    throwIfEnded();
  } else if (!readSwitcher()) {
    // What differs cannot be worked out from what the panel showed before.
    s_.Msg_Text = "The switcher's routing could not be read, so nothing was switched." +
                  std::string(CrLf) + "Check that Qelvix and the switcher are on, and try again.";
    services_.messageBox(s_.Msg_Text, box::ExclamationOk, s_.Title_Text);
    return;
  }
  switchChannels(preset);
  // The relays as the operator's clicks switch them: Bal through the DC guard and its box.
  if (s_.LoadA_On != preset.load[0]) LoadA_Button_Click();
  if (s_.LoadB_On != preset.load[1]) LoadB_Button_Click();
  std::array<bool, 2> dcUnread{};
  for (int bus = 0; bus < 2; ++bus) {
    const bool on = bus == 0 ? s_.BalA_On : s_.BalB_On;
    if (on == preset.balance[bus]) continue;
    throwIfEnded();
    dcUnread[bus] = !recallBalance(bus);
  }
  Get_Status();
  tellWhatDiffers(preset, dcUnread);
}

// Each channel is painted as asked once its call returns, so that a box during the recall sits
// over a panel that shows the routing so far; the closing poll shows the switcher's truth.
void Controller::switchChannels(const Preset& preset) {
  using host::Arg;
  for (const bool adding : {false, true}) {
    for (int bus = 0; bus < 2; ++bus) {
      const auto& shown = bus == 0 ? s_.BusA_State : s_.BusB_State;
      for (std::int16_t channel = 1; channel <= 16; ++channel) {
        const bool wanted = preset.on[bus][channel - 1];
        if (wanted == shown[channel] || wanted != adding) continue;
        skipOnFailure([&] {
          std::int16_t named = channel;
          s_.Call_OK = switcher()
                           .call(adding ? "SWITCHER_AddChannel" : "SWITCHER_RemoveChannel",
                                 {Arg(arrayName(bus)), Arg::ref(named)})
                           .toBool();
        });
        view_.setBackColor(panel::busButton(bus, channel),
                           adding ? panel::colour::Green : panel::colour::Grey);
      }
    }
  }
}

void Controller::tellWhatDiffers(const Preset& preset, const std::array<bool, 2>& dcUnread) {
  const Preset now = shownAsPreset(preset.name);
  std::string differs;
  for (int bus = 0; bus < 2; ++bus) {
    const auto tell = [&](const std::string& what, bool wanted, const char* why = "") {
      differs +=
          (bus == 0 ? "Bus A: " : "Bus B: ") + what + (wanted ? " is off" : " is on") + why + CrLf;
    };
    for (int channel = 1; channel <= 16; ++channel) {
      const bool wanted = preset.on[bus][channel - 1];
      if (now.on[bus][channel - 1] != wanted) tell(channelName(channel), wanted);
    }
    if (now.load[bus] != preset.load[bus]) tell("Load", preset.load[bus]);
    if (now.balance[bus] != preset.balance[bus]) {
      tell("Bal", preset.balance[bus],
           dcUnread[bus] && !now.balance[bus] ? ": the DC could not be read" : "");
    }
  }
  for (const auto& key : preset.unknownKeys) differs += "unknown key " + key + " ignored" + CrLf;
  if (differs.empty()) return;
  s_.Msg_Text =
      "The switcher did not take the whole preset \"" + preset.name + "\":" + CrLf + CrLf + differs;
  s_.Msg_Text.resize(s_.Msg_Text.size() - 2);  // no line break after the last line
  services_.messageBox(s_.Msg_Text, box::ExclamationOk, s_.Title_Text);
}

}  // namespace orvane::controller
