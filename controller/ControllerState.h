#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "host/Object.h"

namespace orvane::controller {

// The one record that every operation of the controller shares. It lives as long as the main
// window; nothing in it is saved between runs. Field names are those the operator's manual and
// the host's call logs use.
struct ControllerState {
  host::ObjectRef HostApp;   // the host application's automation object
  host::ObjectRef Switcher;  // its IOSwitcher: every switching, status and DC call goes here
  std::int16_t Switcher_Address = 0;
  std::string Address_Text;
  host::Variant Reset_Info;  // third, by-reference argument of ORVANE_Reset; never read
  host::Variant StatusA;
  host::Variant StatusB;
  std::int16_t Bit_Index = 0;
  bool Call_OK = false;
  std::int16_t Retry_Answer = 0;  // keeps the last Retry/Cancel answer from one reset to the next
  bool Keep_Running = false;
  std::array<bool, 17> BusA_State{};  // indexes 1..16; 0 is never used
  std::array<bool, 17> BusB_State{};
  std::int16_t Sel_Bus = 0;  // 0 = bus A, 1 = bus B
  std::int16_t Sel_Channel = 0;
  bool Sel_State = false;
  std::int16_t Link_Mode = 0;
  bool BalA_On = false;
  bool BalB_On = false;
  bool LoadA_On = false;
  bool LoadB_On = false;
  host::Variant DC_APlus;
  host::Variant DC_AMinus;
  host::Variant DC_BPlus;
  host::Variant DC_BMinus;
  std::string Msg_Text;
  std::string Title_Text;
  bool DC_On = false;
  std::string Status_Bits;
  host::Variant Status_Work;
  std::int16_t Status_Width = 0;
};

}  // namespace orvane::controller
