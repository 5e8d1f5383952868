// Form_Load and Form_Unload: starting the host, asking for the address, and letting go again.
#include <algorithm>
#include <cmath>

#include "controller/Controller.h"
#include "controller/RunEnded.h"
#include "controller/SkipAndContinue.h"
#include "host/CallWaiter.h"
#include "host/NumericText.h"

namespace orvane::controller {

// No error handler here: a failure escapes to the dispatcher, which reports it and ends the run.
void Controller::Form_Load() {
  s_.HostApp = createObject_(HostProgId);
  s_.Switcher = s_.HostApp->get("IOSwitcher").toObject();  // before the host says it is ready
  s_.Switcher_Address = 0;
  s_.Address_Text = host::decimalText(0);
  s_.Link_Mode = 0;
  s_.Keep_Running = true;
  s_.DC_On = false;
  s_.Title_Text = "Orvane I/O Switcher";
  s_.Status_Width = 18;

  auto roundBegan = std::chrono::steady_clock::now();
  while (!s_.HostApp->get("IsInitialised").toBool()) {
    s_.HostApp->call("Sleep", {host::Arg(std::int16_t{10})});
    services_.pauseUntil(roundBegan + StartupRoundEvery);
    roundBegan = std::chrono::steady_clock::now();
  }

  s_.Msg_Text = "Please enter the address of the switcher";
  s_.Msg_Text += CrLf;
  s_.Msg_Text += CrLf;
  s_.Msg_Text += "This should be a number between 0 and 64 corresponding to the DIP switch ";
  s_.Msg_Text += "settings on";
  s_.Msg_Text += CrLf;
  s_.Msg_Text += "the back of the switcher to be controlled.";
  s_.Address_Text =
      services_.inputBox(s_.Msg_Text, s_.Title_Text, s_.Address_Text).value_or(std::string());

  setAddressFromText();
  if (s_.Address_Text.empty()) endAtOnce();  // Cancel, or an emptied box: no reset, no window

  for (std::int16_t index = 0; index < 6; ++index) {
    view_.addListEntry(std::string(LinkModeNames[static_cast<std::size_t>(index)]), index);
  }
  view_.setListIndex(0);  // runs Mode_Droplist_Click, which resets the switcher and polls
  throwIfEnded();
  view_.setTimerInterval(TimerIntervalMs);
  Initialise_Switcher();
}

// Numeric text becomes the nearest whole number (halves to even), clamped to 0..64; anything else
// is address 0. A number beyond the 16-bit range is clamped like any other.
std::int16_t addressFromText(const std::string& text) {
  std::int16_t address = 0;
  if (const auto number = host::parseNumericText(text)) {
    const double rounded = std::clamp(std::nearbyint(*number), -32768.0, 32767.0);
    address = static_cast<std::int16_t>(rounded);
  }
  if (address > 64) {
    address = 64;
  } else if (address < 0) {
    address = 0;
  }
  return address;
}

void Controller::setAddressFromText() {
  s_.Switcher_Address = addressFromText(s_.Address_Text);
}

void Controller::Form_Unload(std::int16_t& /*Cancel: never set, the close always proceeds*/) {
  sendUnloadReset();
  s_.Switcher.reset();
  s_.HostApp.reset();
  unloaded_ = true;
}

// Sent once a run: a session end that comes while the unload's own reset waits for the host
// must not queue a second one.
void Controller::sendUnloadReset() {
  s_.Keep_Running = false;
  if (unloadResetSent_) return;
  unloadResetSent_ = true;
  try {
    skipOnFailure([&] {
      s_.Call_OK =
          switcher()
              .call("ORVANE_Reset", {addressRef(), host::Arg(true), host::Arg::ref(s_.Reset_Info)})
              .toBool();
    });
  } catch (const host::CallGivenUp&) {
    unloadResetGivenUp_ = true;
    connectionLost_ = true;
  }
}

}  // namespace orvane::controller
