// The DC monitor: while it is on, every timer tick reads the four terminal voltages and shows them.
#include <array>

#include "controller/Controller.h"
#include "controller/SkipAndContinue.h"

namespace orvane::controller {

namespace {
using enum panel::ControlName;
constexpr const char* NoReading = "- - V ";
}  // namespace

void Controller::DCButton_Click() {
  throwIfEnded();
  s_.DC_On = !s_.DC_On;
  if (!s_.DC_On) {
    for (auto label : {Label4, Label5, Label6, Label7}) view_.setCaption({label}, NoReading);
    if (dcObserver_) dcObserver_->dcOff();
  }
}

void Controller::Timer1_Timer() {
  throwIfEnded();
  if (s_.DC_On) Update_DC_Readings();
}

void Controller::Update_DC_Readings() {
  using host::Arg;
  throwIfEnded();
  // Whether each bus was read this tick: a failed or False call is no reading in the history,
  // whatever its fields still hold.
  std::array<bool, 2> read{};
  for (int bus = 0; bus < 2; ++bus) {
    host::Variant& plus = bus == 0 ? s_.DC_APlus : s_.DC_BPlus;
    host::Variant& minus = bus == 0 ? s_.DC_AMinus : s_.DC_BMinus;
    skipOnFailure([&] {
      host::Variant busValue = busConstant(bus);
      s_.Call_OK = switcher()
                       .call("IOSWITCHER_GetBusDC",
                             {addressRef(), Arg(busValue), Arg::ref(plus), Arg::ref(minus)})
                       .toBool();
      read[bus] = s_.Call_OK;
    });
  }
  const std::pair<panel::ControlName, const host::Variant*> readouts[] = {{Label4, &s_.DC_APlus},
                                                                          {Label5, &s_.DC_AMinus},
                                                                          {Label6, &s_.DC_BPlus},
                                                                          {Label7, &s_.DC_BMinus}};
  // No structured binding here: clang 14 (the fuzz build) cannot capture one in a lambda.
  for (const auto& readout : readouts) {
    skipOnFailure([&] { view_.setCaption({readout.first}, readout.second->toText() + "V "); });
  }
  if (dcObserver_) {
    DcReadings readings;
    for (std::size_t i = 0; i < DcTerminals; ++i) {
      if (read[i / 2]) readings[i] = dcReadingOf(*readouts[i].second);
    }
    dcObserver_->dcTick(readings);
  }
}

}  // namespace orvane::controller
