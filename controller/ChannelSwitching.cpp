// The channel switching engine: the two button rows, the stepping buttons and Process, which
// applies the selection according to the link mode. Every action ends with a status poll.
#include <limits>
#include <string>

#include "controller/Controller.h"
#include "controller/SkipAndContinue.h"

namespace orvane::controller {

namespace {

// Channel arithmetic in 16 bits, as the field holds it: a host may have written any value into
// Sel_Channel through its reference, and a result that does not fit fails its statement instead
// of wrapping round to some other channel.
std::int16_t channelSum(std::int16_t channel, int offset) {
  const int sum = channel + offset;
  if (sum < std::numeric_limits<std::int16_t>::min() ||
      sum > std::numeric_limits<std::int16_t>::max()) {
    throw host::ConversionError("overflow: channel " + std::to_string(sum) +
                                " does not fit a 16-bit integer");
  }
  return static_cast<std::int16_t>(sum);
}

}  // namespace

void Controller::BusA_Click(std::int16_t Index) {
  busClick(0, Index);
}
void Controller::BusB_Click(std::int16_t Index) {
  busClick(1, Index);
}

void Controller::busClick(int bus, std::int16_t index) {
  using host::Arg;
  throwIfEnded();
  if (index == 0) {  // "All Off"
    skipOnFailure([&] { switcher().call("SWITCHER_ClearChannels", {Arg(arrayName(bus))}); });
    Get_Status();
  } else if (index > 0 && index < 17) {  // a channel button
    auto& channels = bus == 0 ? s_.BusA_State : s_.BusB_State;
    channels[index] = !channels[index];
    s_.Sel_State = channels[index];
    s_.Sel_Bus = static_cast<std::int16_t>(bus);
    s_.Sel_Channel = index;
    Process();
  } else {  // "All On": everything but channel 1, then channel 1 as well
    skipOnFailure([&] {
      s_.Call_OK = switcher()
                       .call("SWITCHER_NotChannel", {Arg(arrayName(bus)), Arg(std::int16_t{1})})
                       .toBool();
    });
    skipOnFailure([&] {
      s_.Call_OK = switcher()
                       .call("SWITCHER_AddChannel", {Arg(arrayName(bus)), Arg(std::int16_t{1})})
                       .toBool();
    });
    Get_Status();
  }
}

// The stepping buttons keep the channel within 1..16: before any channel has been chosen (0),
// "<" starts from 16 and ">" from 1, and so they do from any value outside 1..16 that a host
// wrote through the channel's reference.
void Controller::PrevButton_Click() {
  throwIfEnded();
  if (s_.Sel_Channel <= 1 || s_.Sel_Channel > 16) {
    s_.Sel_Channel = 16;
  } else {
    --s_.Sel_Channel;
  }
  Process();
}

void Controller::NextButton_Click() {
  throwIfEnded();
  if (s_.Sel_Channel >= 16 || s_.Sel_Channel < 1) {
    s_.Sel_Channel = 1;
  } else if (s_.Link_Mode == 2) {
    s_.Sel_Channel = s_.Sel_Channel == 15 ? 1 : static_cast<std::int16_t>(s_.Sel_Channel + 2);
  } else {
    ++s_.Sel_Channel;
  }
  Process();
}

void Controller::Process() {
  using host::Arg;
  throwIfEnded();
  const auto exclusive = [&](int bus, const Arg& channel) {
    skipOnFailure([&] {
      s_.Call_OK =
          switcher().call("SWITCHER_ExclusiveChannel", {Arg(arrayName(bus)), channel}).toBool();
    });
  };
  const auto allBut = [&](int bus, const Arg& channel) {
    skipOnFailure([&] {
      s_.Call_OK = switcher().call("SWITCHER_NotChannel", {Arg(arrayName(bus)), channel}).toBool();
    });
  };
  // Bus B's channel in modes 1 and 2, computed from what Sel_Channel holds after the first call.
  const auto exclusiveOnBusB = [&](int offset) {
    skipOnFailure([&] {
      const Arg channel(channelSum(s_.Sel_Channel, offset));
      s_.Call_OK =
          switcher().call("SWITCHER_ExclusiveChannel", {Arg(arrayName(1)), channel}).toBool();
    });
  };
  const Arg selected = Arg::ref(s_.Sel_Channel);
  const int pressedBus = s_.Sel_Bus == 0 ? 0 : 1;

  switch (s_.Link_Mode) {
    case 0:  // "None": toggle the one channel on its own bus
      skipOnFailure([&] {
        const char* member = s_.Sel_State ? "SWITCHER_AddChannel" : "SWITCHER_RemoveChannel";
        s_.Call_OK = switcher().call(member, {Arg(arrayName(pressedBus)), selected}).toBool();
      });
      break;
    case 1:  // "Input to Output": X n on bus A, Y n on bus B
      if (s_.Sel_Channel > 8) s_.Sel_Channel = static_cast<std::int16_t>(s_.Sel_Channel - 8);
      exclusive(0, selected);
      exclusiveOnBusB(8);
      break;
    case 2:  // "Stereo Pairs": the odd channel on bus A, the even one on bus B
      // Process starts from a channel in 1..16 (the handlers see to that), so the fold cannot
      // overflow; only the host's writes can make the second channel do so.
      if (s_.Sel_Channel % 2 == 0) s_.Sel_Channel = static_cast<std::int16_t>(s_.Sel_Channel - 1);
      exclusive(0, selected);
      exclusiveOnBusB(1);
      break;
    case 3:  // "Termination": every other channel on bus B, this one alone on bus A
      allBut(1, selected);
      exclusive(0, selected);
      break;
    case 4:  // "Exclusive On"
      exclusive(pressedBus, selected);
      break;
    case 5:  // "Exclusive Off"
      allBut(pressedBus, selected);
      break;
    default:
      break;
  }
  Get_Status();
}

}  // namespace orvane::controller
