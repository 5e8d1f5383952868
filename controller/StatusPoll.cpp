// Get_Status: the one place where the controller learns the switcher's real state, decodes both
// status words and repaints the channel and relay buttons.
#include <cmath>
#include <limits>

#include "controller/Controller.h"
#include "controller/RunEnded.h"
#include "panel/ControlId.h"

namespace orvane::controller {

namespace {

// Keeps the nesting depth of poll -> initialisation -> poll right even when the inner one unwinds.
class DepthGuard {
 public:
  explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& depth_;
};

}  // namespace

void Controller::Get_Status() {
  using host::Arg;
  throwIfEnded();
  try {  // the error path: any failure from here on means the connection is lost
    s_.Call_OK = switcher()
                     .call("IOSWITCHER_GetFullStatus",
                           {addressRef(), Arg::ref(s_.StatusA), Arg::ref(s_.StatusB)})
                     .toBool();
    if (!s_.Call_OK) {
      // The read keeps failing while the resets succeed: give up instead of nesting for ever.
      if (reinitialisationDepth_ >= MaxReinitialisationDepth) {
        throw host::HostError("IOSWITCHER_GetFullStatus", "the status read keeps failing");
      }
      DepthGuard nested(reinitialisationDepth_);
      Initialise_Switcher();  // ends with a poll of its own
    }
    decodeStatusWord(s_.StatusA, 0);
    decodeStatusWord(s_.StatusB, 1);
  } catch (const host::AutomationError&) {
    lostConnection();
  }
}

void Controller::lostConnection() {
  connectionLost_ = true;
  s_.Msg_Text = std::string("Connection with Qelvix and/or the switcher failed.") + CrLf + CrLf;
  s_.Msg_Text += "This program will now close.";
  services_.messageBox(s_.Msg_Text, box::ExclamationOk, s_.Title_Text);
  closeMainWindow();
}

// Bits 0..15 are the channels, 16 the balance relay, 17 the load relay, 18 and up are ignored.
// Status_Bits holds the word least significant bit first; the width only ever grows.
void Controller::decodeStatusWord(const host::Variant& word, int bus) {
  using host::Variant;
  s_.Status_Work = word;
  // A word that is no finite number (text that reads as one counts as that number) cannot be
  // decoded: the poll takes its error path.
  if (!std::isfinite(s_.Status_Work.toNumber())) {
    throw host::ConversionError("the status word " + host::describe(word) + " is not a number");
  }
  while (host::compareNumeric(s_.Status_Work, Variant(std::ldexp(1.0, s_.Status_Width))) >= 0) {
    if (s_.Status_Width == std::numeric_limits<std::int16_t>::max()) {
      throw host::ConversionError("overflow: the status word is too wide");
    }
    ++s_.Status_Width;
  }

  s_.Status_Bits.clear();
  s_.Status_Bits.reserve(static_cast<std::size_t>(s_.Status_Width));
  const std::int16_t width = s_.Status_Width;
  for (s_.Bit_Index = 1;; ++s_.Bit_Index) {
    const Variant power(std::ldexp(1.0, s_.Status_Width - s_.Bit_Index));
    if (host::compareNumeric(s_.Status_Work, power) >= 0) {
      s_.Status_Bits.insert(s_.Status_Bits.begin(), '1');
      s_.Status_Work = host::subtract(s_.Status_Work, power);
    } else {
      s_.Status_Bits.insert(s_.Status_Bits.begin(), '0');
    }
    if (s_.Bit_Index == width) break;
  }

  auto& channels = bus == 0 ? s_.BusA_State : s_.BusB_State;
  for (s_.Bit_Index = 1; s_.Bit_Index <= 16; ++s_.Bit_Index) {
    channels[s_.Bit_Index] = s_.Status_Bits[s_.Bit_Index - 1] == '1';
  }
  for (s_.Bit_Index = 1; s_.Bit_Index <= 16; ++s_.Bit_Index) {
    view_.setBackColor(panel::busButton(bus, s_.Bit_Index),
                       channels[s_.Bit_Index] ? panel::colour::Green : panel::colour::Grey);
  }
  using enum panel::ControlName;
  bool& balance = bus == 0 ? s_.BalA_On : s_.BalB_On;
  balance = s_.Status_Bits[16] == '1';
  view_.setBackColor({bus == 0 ? BalA_Button : BalB_Button},
                     balance ? panel::colour::Orange : panel::colour::Grey);
  bool& load = bus == 0 ? s_.LoadA_On : s_.LoadB_On;
  load = s_.Status_Bits[17] == '1';
  view_.setBackColor({bus == 0 ? LoadA_Button : LoadB_Button},
                     load ? panel::colour::Orange : panel::colour::Grey);
}

}  // namespace orvane::controller
