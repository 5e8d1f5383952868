// The balance and load relays of each bus. Balance is refused while either terminal of the bus
// carries more than 6 V DC. No status poll: the next one brings flags and colours back in line.
#include "controller/Controller.h"
#include "controller/SkipAndContinue.h"

namespace orvane::controller {

namespace {
constexpr std::int16_t ExcessiveDcVolts = 6;
}

struct Controller::RelayRow {
  int bus;
  panel::ControlName button;
  bool ControllerState::*flag;
  host::Variant ControllerState::*plus;
  host::Variant ControllerState::*minus;
};

namespace {
using enum panel::ControlName;
}

Controller::RelayRow Controller::balanceRow(int bus) {
  return bus == 0 ? RelayRow{0, BalA_Button, &ControllerState::BalA_On, &ControllerState::DC_APlus,
                             &ControllerState::DC_AMinus}
                  : RelayRow{1, BalB_Button, &ControllerState::BalB_On, &ControllerState::DC_BPlus,
                             &ControllerState::DC_BMinus};
}

void Controller::BalA_Button_Click() {
  balanceClick(balanceRow(0), WhenDcUnread::CompareStale);
}
void Controller::BalB_Button_Click() {
  balanceClick(balanceRow(1), WhenDcUnread::CompareStale);
}
bool Controller::recallBalance(int bus) {
  return balanceClick(balanceRow(bus), WhenDcUnread::LeaveOff);
}

void Controller::LoadA_Button_Click() {
  loadClick({0, LoadA_Button, &ControllerState::LoadA_On, nullptr, nullptr});
}
void Controller::LoadB_Button_Click() {
  loadClick({1, LoadB_Button, &ControllerState::LoadB_On, nullptr, nullptr});
}

// Returns false when Bal was left off because the DC could not be read (LeaveOff only).
bool Controller::balanceClick(const RelayRow& row, WhenDcUnread unread) {
  using host::Arg;
  throwIfEnded();
  bool& on = s_.*row.flag;
  if (on) {
    skipOnFailure([&] {
      s_.Call_OK =
          switcher().call("SWITCHER_Balance", {Arg(arrayName(row.bus)), Arg(false)}).toBool();
    });
    on = false;
    view_.setBackColor({row.button}, panel::colour::Grey);
    return true;
  }

  host::Variant& plus = s_.*row.plus;
  host::Variant& minus = s_.*row.minus;
  bool read = false;
  skipOnFailure([&] {
    host::Variant bus = busConstant(row.bus);
    s_.Call_OK =
        switcher()
            .call("IOSWITCHER_GetBusDC", {addressRef(), Arg(bus), Arg::ref(plus), Arg::ref(minus)})
            .toBool();
    read = s_.Call_OK;
  });
  // The guard would compare the readings of an earlier call. An operator who clicked sees the
  // readout; a recall may have nobody watching, so it leaves Bal off.
  if (!read && unread == WhenDcUnread::LeaveOff) return false;
  // A reading that is no number, NaN included, fails the check and so counts as excessive.
  const auto excessive = [](const host::Variant& volts) {
    return host::compareNumeric(host::absoluteValue(volts), host::Variant(ExcessiveDcVolts)) > 0;
  };
  if (holdsOrFails([&] { return excessive(plus) || excessive(minus); })) {
    s_.Msg_Text = "There is excessive DC on this bus for balance mode.";
    services_.messageBox(s_.Msg_Text, box::ExclamationOk, s_.Title_Text);
    return true;
  }
  skipOnFailure([&] {
    s_.Call_OK = switcher().call("SWITCHER_Balance", {Arg(arrayName(row.bus)), Arg(true)}).toBool();
  });
  on = true;
  view_.setBackColor({row.button}, panel::colour::Orange);
  return true;
}

void Controller::loadClick(const RelayRow& row) {
  using host::Arg;
  throwIfEnded();
  bool& on = s_.*row.flag;
  const bool switchOn = !on;
  skipOnFailure([&] {
    host::Variant bus = busConstant(row.bus);
    s_.Call_OK =
        switcher().call("IOSWITCHER_BusLoad", {addressRef(), Arg(bus), Arg(switchOn)}).toBool();
  });
  on = switchOn;
  view_.setBackColor({row.button}, switchOn ? panel::colour::Orange : panel::colour::Grey);
}

}  // namespace orvane::controller
