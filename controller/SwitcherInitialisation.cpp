// Initialise_Switcher and the reset button: reset the switcher, define one channel array per bus,
// and offer Retry or Cancel when the reset fails.
#include "controller/Controller.h"
#include "controller/RunEnded.h"
#include "controller/SkipAndContinue.h"

namespace orvane::controller {

void Controller::ResetButton_Click() {
  Initialise_Switcher();
  Get_Status();
}

// Every statement runs under skip-and-continue; a lost host shows up in the closing status poll.
void Controller::Initialise_Switcher() {
  using host::Arg;
  throwIfEnded();
  skipOnFailure([&] { switcher().put("ORVANE_ShowErrorMessages", false); });

  do {
    skipOnFailure([&] {
      s_.Call_OK = switcher()
                       .call("ORVANE_Reset", {addressRef(), Arg(true), Arg::ref(s_.Reset_Info)})
                       .toBool();
    });
    if (!s_.Call_OK) {
      const std::string address = host::decimalText(s_.Switcher_Address);
      s_.Msg_Text = "Connection to Switcher " + address + " failed" + CrLf + CrLf;
      s_.Msg_Text += std::string("Please check it is connected, switched on and that it's ") + CrLf;
      s_.Msg_Text +=
          "address is set to " + address + " on the DIP switches on the back." + CrLf + CrLf;
      s_.Msg_Text += std::string("Press Retry to attempt to connect again, or") + CrLf;
      s_.Msg_Text += "Press Cancel to leave the program";
      s_.Retry_Answer = services_.messageBox(s_.Msg_Text, box::RetryCancel, s_.Title_Text);
    }
    if (s_.Retry_Answer != box::AnswerRetry && !s_.Call_OK) s_.Keep_Running = false;
  } while (s_.Retry_Answer == box::AnswerRetry && !s_.Call_OK);

  if (!s_.Keep_Running) {
    connectionLost_ = true;
    s_.HostApp.reset();  // the reverse of Form_Unload's order
    s_.Switcher.reset();
    endAtOnce();  // no arrays, no caption, no poll, and no Form_Unload
  }

  skipOnFailure([&] { switcher().put("ORVANE_ShowErrorMessages", false); });
  skipOnFailure([&] { switcher().call("SWITCHER_RemoveArray", {Arg(arrayName(0))}); });
  skipOnFailure([&] { switcher().call("SWITCHER_RemoveArray", {Arg(arrayName(1))}); });
  skipOnFailure([&] { switcher().call("SWITCHER_DefineArray", {Arg(arrayName(0))}); });
  skipOnFailure([&] { switcher().call("SWITCHER_DefineArray", {Arg(arrayName(1))}); });
  for (int bus = 0; bus < 2; ++bus) {
    for (const char* group : {"IOSWITCHER_GROUP_X", "IOSWITCHER_GROUP_Y"}) {
      skipOnFailure([&] {
        host::Variant busValue = busConstant(bus);
        host::Variant groupValue = switcher().get(group);
        switcher().call("IOSWITCHER_AddToArray",
                        {addressRef(), Arg(busValue), Arg(groupValue), Arg(arrayName(bus))});
      });
    }
  }

  s_.Title_Text = "Orvane I/O Switcher " + host::decimalText(s_.Switcher_Address);
  view_.setWindowCaption(s_.Title_Text);
  Get_Status();
}

}  // namespace orvane::controller
