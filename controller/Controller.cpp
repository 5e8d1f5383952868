#include "controller/Controller.h"

#include "controller/RunEnded.h"

namespace orvane::controller {

Controller::Controller(panel::View& view, PlatformServices& services,
                       host::ObjectFactory createObject)
    : view_(view), services_(services), createObject_(std::move(createObject)) {}

std::string Controller::arrayName(int bus) const {
  return (bus == 0 ? "BusA" : "BusB") + host::decimalText(s_.Switcher_Address);
}

host::Arg Controller::addressRef() {
  addressArgument_ = s_.Switcher_Address;
  return host::Arg::ref(addressArgument_);
}

host::Object& Controller::switcher() {
  if (!s_.Switcher) throw host::HostError("IOSwitcher", "the switcher object has been released");
  return *s_.Switcher;
}

host::Variant Controller::busConstant(int bus) {
  return switcher().get(bus == 0 ? "IOSWITCHER_BUS_A" : "IOSWITCHER_BUS_B");
}

void Controller::throwIfEnded() const {
  if (runEnded()) throw RunEnded{};
}

void Controller::endAtOnce() {
  endedAtOnce_ = true;
  services_.endAtOnce();
  throw RunEnded{};
}

void Controller::closeWindow() {
  if (runEnded()) return;
  try {
    closeMainWindow();
  } catch (const RunEnded&) {  // the run is over, as after the close box
  }
}

void Controller::closeMainWindow() {
  view_.close();  // Form_Unload runs inside, raised by the view
  if (!unloaded_) {
    // A view that closed without raising the unload must still not leave a relay switched on.
    std::int16_t cancel = 0;
    Form_Unload(cancel);
  }
  throw RunEnded{};
}

}  // namespace orvane::controller
