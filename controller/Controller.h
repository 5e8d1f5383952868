#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "controller/ControllerState.h"
#include "controller/DcHistory.h"
#include "controller/PlatformServices.h"
#include "controller/Preset.h"
#include "host/Object.h"
#include "panel/View.h"

namespace orvane::controller {

inline constexpr const char* HostProgId = "Qelvix.Application";
inline constexpr int TimerIntervalMs = 200;
// Start-up asks the host whether it is ready at most once in this time, however quickly its Sleep
// returns: a tight loop would take a whole core from the application that is trying to start.
inline constexpr std::chrono::milliseconds StartupRoundEvery{10};
// A poll that reads failure while already nested inside this many re-initialisations gives up on
// the connection instead of initialising once more.
inline constexpr int MaxReinitialisationDepth = 3;

// The switcher address an answer to the address prompt stands for: numeric text rounded to the
// nearest whole number (halves to even) and clamped to 0..64; anything else is 0.
std::int16_t addressFromText(const std::string& text);

// The logic behind the main window: its event handlers and the four internal procedures share the
// one state record. It reaches the panel only through the view operations and the operator only
// through the platform services. Once the run has ended, a handler throws RunEnded and makes no
// further host call or view operation.
class Controller {
 public:
  Controller(panel::View& view, PlatformServices& services, host::ObjectFactory createObject);
  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  // Event handlers, one per row of the event table.
  void Form_Load();
  void Form_Unload(std::int16_t& Cancel);
  // The unload's reset, as Form_Unload sends it first; on its own when the desktop session ends in
  // the middle of an operation, which is left where it is. Sent at most once a run. Giving up on
  // it ends the run as a lost connection, with no box: the window is closing anyway.
  void sendUnloadReset();
  // The connection is lost (the operator gave up waiting for the host, whatever call it was, or a
  // status poll failed): the lost-connection box, then the window closes; throws RunEnded.
  [[noreturn]] void lostConnection();
  // An operator's close that came during an operation, run once it has ended: the window closes
  // and Form_Unload runs, as from the close box.
  void closeWindow();
  void BusA_Click(std::int16_t Index);
  void BusB_Click(std::int16_t Index);
  void BalA_Button_Click();
  void BalB_Button_Click();
  void LoadA_Button_Click();
  void LoadB_Button_Click();
  void ResetButton_Click();
  void PrevButton_Click();
  void NextButton_Click();
  void DCButton_Click();
  void Mode_Droplist_Click();
  void Timer1_Timer();

  // Not an event of the window's: between operations, on request, the switcher's status is read
  // again so that the panel shows what another client of the host switched. It never
  // re-initialises and shows no box; a False answer or a failure is skipped, as a DC reading is,
  // and the next operator action's own poll deals with what it finds.
  void followSwitcher();

  // Presets, each run as one operation. readPreset reads the switcher as a follow read does (no
  // reset, no box): none when it could not be read. recallPreset sets the switcher to the preset
  // and tells in a box what it did not take; a switcher whose status cannot be read first is not
  // switched at all. A recalled Bal whose DC cannot be read is left off.
  std::optional<Preset> readPreset(const std::string& name);
  void recallPreset(const Preset& preset);
  // The routing the panel shows now, as a preset of that name; no host call.
  Preset shownAsPreset(const std::string& name) const;

  // Told of each DC tick and of the monitor being switched off (the history, a data log); it adds
  // no host call.
  void observeDc(DcObserver* observer) { dcObserver_ = observer; }

  // Internal procedures; public so that tests can drive one at a time.
  void Process();
  void Get_Status();
  void Initialise_Switcher();
  void Update_DC_Readings();

  const ControllerState& state() const { return s_; }
  ControllerState& state() { return s_; }

  // True once the program has ended at once or the window has been unloaded.
  bool runEnded() const { return endedAtOnce_ || unloaded_; }
  bool unloaded() const { return unloaded_; }
  // The dispatcher ends the run when an error escapes a handler (a failed start-up).
  void markEndedAtOnce() { endedAtOnce_ = true; }
  // True once the run is ending because the connection failed: the lost-connection box, or Cancel
  // after a failed reset.
  bool connectionLost() const { return connectionLost_; }
  // True once the unload's reset has been sent (or is waiting for the host).
  bool unloadResetSent() const { return unloadResetSent_; }
  // True when the operator gave up on the unload's reset: the switcher may not have been reset.
  bool unloadResetGivenUp() const { return unloadResetGivenUp_; }

 private:
  struct RelayRow;
  // What switching Bal on does when the DC reading call fails.
  enum class WhenDcUnread { CompareStale, LeaveOff };

  void busClick(int bus, std::int16_t index);
  static RelayRow balanceRow(int bus);
  bool balanceClick(const RelayRow& row, WhenDcUnread unread);
  // Bal of `bus` switched as a recall switches it: false when left off as its DC was not read.
  bool recallBalance(int bus);
  void loadClick(const RelayRow& row);
  void decodeStatusWord(const host::Variant& word, int bus);
  bool readSwitcher();
  void switchChannels(const Preset& preset);
  void tellWhatDiffers(const Preset& preset, const std::array<bool, 2>& dcUnread);
  std::string arrayName(int bus) const;
  host::Arg addressRef();
  host::Object& switcher();
  host::Variant busConstant(int bus);
  void setAddressFromText();
  [[noreturn]] void endAtOnce();
  [[noreturn]] void closeMainWindow();
  void throwIfEnded() const;

  panel::View& view_;
  PlatformServices& services_;
  host::ObjectFactory createObject_;
  ControllerState s_;
  // The address as passed by reference: the host sees the field's value, but a host that writes
  // through the reference writes here, so Switcher_Address stays what the operator chose.
  std::int16_t addressArgument_ = 0;
  DcObserver* dcObserver_ = nullptr;
  int reinitialisationDepth_ = 0;
  bool endedAtOnce_ = false;
  bool unloaded_ = false;
  bool connectionLost_ = false;
  bool unloadResetSent_ = false;
  bool unloadResetGivenUp_ = false;
};

}  // namespace orvane::controller
