// The presets as the program offers them to the panel's menu: what is asked, what is stored, and
// the box for each thing that goes wrong.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <fstream>

#include "panel/Controls.h"
#include "tests/app/HeadlessProgram.h"

namespace orvane::app {
namespace {

using host::sim::FaultKind;
using host::sim::FaultSpec;

struct PresetsProgram : TraceFile, HeadlessProgram {
  explicit PresetsProgram(const std::filesystem::path& file)
      : HeadlessProgram(withPresets(file), {}, panel::StartupWindowAfter, log), file(file) {
    view.load();
  }
  static Options withPresets(const std::filesystem::path& file) {
    Options options = simulated();
    options.presetsPath = file.string();
    return options;
  }
  std::vector<std::string> names() {
    std::vector<std::string> names;
    for (const auto& preset : program->menuPresets()) names.push_back(preset.name);
    return names;
  }
  std::vector<std::string> boxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : services.boxes) texts.push_back(box.text);
    return texts;
  }
  std::filesystem::path file;
};

class ProgramPresets : public ::testing::Test {
 protected:
  void SetUp() override {
    folder /= ::testing::UnitTest::GetInstance()->current_test_info()->name();
    file = folder / "presets.toml";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
  std::filesystem::path folder = std::filesystem::temp_directory_path() / "orvane-presets-program";
  std::filesystem::path file;
};

TEST_F(ProgramPresets, AStoreAsksTheNameConfirmsReplacingAndStoresWhatTheSwitcherReports) {
  PresetsProgram p(file);
  p.view.click(panel::busButton(0, 5));
  p.services.addressAnswers = {"Bench 1", "Bench 1", "Bench 1", std::nullopt};
  p.program->storePreset();
  EXPECT_TRUE(PresetFile(file).load().at("Bench 1").on[0][4]);

  p.view.click(panel::busButton(0, 5));  // X5 off again
  p.services.boxAnswers = {7, 6};        // No, then Yes
  p.program->storePreset();              // No: kept as it was
  EXPECT_TRUE(PresetFile(file).load().at("Bench 1").on[0][4]);
  p.program->storePreset();  // Yes: replaced
  EXPECT_FALSE(PresetFile(file).load().at("Bench 1").on[0][4]);
  p.program->storePreset();  // Cancel at the name
  EXPECT_EQ(p.names(), std::vector<std::string>{"Bench 1"});
  EXPECT_EQ(p.services.boxes.size(), 2u);  // the two questions
}

TEST_F(ProgramPresets, EachThingThatGoesWrongIsToldAndNothingIsStoredOrSwitched) {
  struct Row {
    const char* what;
    std::function<void(PresetsProgram&)> does;
    std::string boxStartsWith;
  };
  const std::vector<Row> rows = {
      {"a name too long",
       [](PresetsProgram& p) {
         p.services.addressAnswers = {std::string(41, 'n'), std::nullopt};  // then Cancel
         p.program->storePreset();
       },
       "Nothing was stored: a name has at most 40 characters"},
      {"a switcher that cannot be read",
       [](PresetsProgram& p) {
         p.sim().injectFault("IOSWITCHER_GetFullStatus", FaultSpec(FaultKind::ReturnFalse, 1));
         p.services.addressAnswers = {"Bench 1"};
         p.program->storePreset();
       },
       "The switcher's routing could not be read, so nothing was stored."},
      {"an unknown preset", [](PresetsProgram& p) { p.program->recallPreset("Bench 9"); },
       "There is no preset \"Bench 9\" in "},
      {"a file that does not parse, at the menu",
       [](PresetsProgram& p) {
         std::ofstream(p.file) << "[preset.\"A\"\n";
         EXPECT_TRUE(p.names().empty());
       },
       "The presets file cannot be read."},
      {"a lock another program holds",
       [](PresetsProgram& p) {
         const int held = ::open((p.file.string() + ".lock").c_str(), O_RDWR | O_CREAT, 0666);
         ASSERT_EQ(::flock(held, LOCK_EX), 0);
         p.program->presetLockLimit = std::chrono::milliseconds(30);
         p.services.addressAnswers = {"Bench 1"};
         p.program->storePreset();
         ::close(held);
         EXPECT_NE(p.boxTexts().at(0).find("another program is storing into"), std::string::npos);
       },
       "Nothing was stored."},
      {"a recall whose first read fails",
       [](PresetsProgram& p) {
         std::ofstream(p.file) << "[preset.\"A\"]\na_channels = [\"X1\"]\n";
         p.sim().injectFault("IOSWITCHER_GetFullStatus", FaultSpec(FaultKind::ReturnFalse, 1));
         p.program->recallPreset("A");
       },
       "The switcher's routing could not be read, so nothing was switched."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::filesystem::remove(file);
    PresetsProgram p(file);
    const long calls = p.sim().callCount();
    row.does(p);
    const auto boxes = p.boxTexts();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind(row.boxStartsWith, 0), 0u) << boxes[0];
    EXPECT_LE(p.sim().callCount() - calls, 1);  // one status read at most: nothing switched
  }
  EXPECT_FALSE(presetMistake(PresetsProgram::withPresets(file)));  // no --preset, nothing read
}

// Every path that cannot be a presets file: a mistake at the command line (the file checked
// without reading it for --presets, read for --preset), a box at the menu, and the run goes on.
TEST_F(ProgramPresets, EachPathThatCannotBeAPresetsFileIsNamedAndNothingAbortsOrHangs) {
  struct Row {
    const char* what;
    std::function<std::filesystem::path(const std::filesystem::path& folder)> make;
    std::string reason;
    bool refusedUnread;  // a mistake of --presets alone
  };
  const std::vector<Row> rows = {
      {"a directory",
       [](const auto& f) {
         std::filesystem::create_directory(f / "d");
         return f / "d";
       },
       "is a directory, not a presets file", true},
      {"a FIFO",
       [](const auto& f) {
         ::mkfifo((f / "p").c_str(), 0666);
         return f / "p";
       },
       "is a FIFO (a named pipe), not a presets file", true},
      {"a device", [](const auto&) { return std::filesystem::path("/dev/zero"); },
       "is a device, not a presets file", true},
      {"a name too long", [](const auto& f) { return f / std::string(300, 'n'); },
       "the name is too long for the file system", true},
      {"a loop of links",
       [](const auto& f) {
         std::filesystem::create_symlink(f / "b", f / "a");
         std::filesystem::create_symlink(f / "a", f / "b");
         return f / "a";
       },
       "its path loops through symbolic links", true},
      {"a folder that does not exist", [](const auto& f) { return f / "unmounted" / "p.toml"; },
       "/unmounted does not exist", true},
      {"a file over 1 MiB",
       [](const auto& f) {
         std::ofstream(f / "big.toml") << std::string(LargestPresetsFile + 1, '#');
         return f / "big.toml";
       },
       "is larger than 1024 KiB: that is no presets file", false},
      {"a file that is not there yet", [](const auto& f) { return f / "new.toml"; },
       "does not exist: no preset has been stored in it yet", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const auto path = row.make(folder);
    Options options = PresetsProgram::withPresets(path);
    EXPECT_EQ(presetMistake(options).has_value(), row.refusedUnread);
    options.presetName = "Bench 1";
    const auto mistake = presetMistake(options);
    ASSERT_TRUE(mistake);
    EXPECT_NE(mistake->find(row.reason), std::string::npos) << *mistake;

    const bool missing = row.reason.starts_with("does not exist");
    PresetsProgram p(path);
    EXPECT_TRUE(p.names().empty());
    p.services.addressAnswers = {"Bench 1"};
    p.program->storePreset();
    EXPECT_FALSE(p.program->dispatcher().runEnded());
    const auto boxes = p.boxTexts();
    ASSERT_EQ(boxes.size(), missing ? 0u : 2u);  // none: the first store makes the file
    for (const auto& box : boxes) EXPECT_NE(box.find(row.reason), std::string::npos) << box;
  }
}

// A recall with nobody watching: each channel shows as asked once its call returns, so that a box
// during the recall sits over the routing so far; a Bal whose DC cannot be read stays off.
TEST_F(ProgramPresets, ARecallPaintsAsItGoesAndLeavesBalOffWhenItsDcCannotBeRead) {
  std::ofstream(file) << "[preset.\"Amp's \\\"in\\\"\"]\na_channels = [\"X3\"]\na_balance = true\n";
  const std::string name = "Amp's \"in\"";
  struct Row {
    const char* what;
    std::optional<FaultSpec> dcFault;
    std::vector<std::string> boxes;
  };
  const std::string differs =
      "The switcher did not take the whole preset \"" + name + "\":\r\n\r\n";
  const std::vector<Row> rows = {
      {"+9 V on the bus",
       std::nullopt,
       {"There is excessive DC on this bus for balance mode.", differs + "Bus A: Bal is off"}},
      {"a reading that is no number",
       FaultSpec(FaultKind::ReturnValue, 1, true, {"?", "?"}),
       {"There is excessive DC on this bus for balance mode.", differs + "Bus A: Bal is off"}},
      {"a reading call that fails",
       FaultSpec(FaultKind::Raise, 1),
       {differs + "Bus A: Bal is off: the DC could not be read"}},
      {"a reading call that says False",
       FaultSpec(FaultKind::ReturnFalse, 1),
       {differs + "Bus A: Bal is off: the DC could not be read"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    PresetsProgram p(file);
    if (row.dcFault) p.sim().injectFault("IOSWITCHER_GetBusDC", *row.dcFault);
    std::vector<panel::Colour> x3;
    p.services.whileBoxOpen = [&] {
      x3.push_back(p.view.colourOf(panel::busButton(0, 3)));
      p.program->recallPreset(name);  // dropped: a recall is running
    };
    std::atomic<int> balances{0};
    p.sim().setCallHook([&](const std::string& member) {
      if (member == "SWITCHER_Balance") ++balances;
    });
    p.program->recallPreset(name);
    EXPECT_EQ(p.boxTexts(), row.boxes);
    EXPECT_EQ(x3, std::vector<panel::Colour>(row.boxes.size(), panel::colour::Green));
    EXPECT_EQ(balances, 0);
    const auto lines = p.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "preset \"Amp's \\\"in\\\"\" recalled from " + file.string()),
              1);
  }
}

// The operator's close during a store's status read: the store is written first, then the window
// closes, and the trace says the close was kept.
TEST_F(ProgramPresets, ACloseDuringAStoresReadRunsOnceThePresetIsWritten) {
  PresetsProgram p(file);
  p.sim().setLatency(std::chrono::milliseconds(60));
  p.waiter.operatorAnswer = [](const panel::HostWait::Box&) {
    return controller::box::AnswerRetry;
  };
  p.waiter.whileWaiting = [&] { p.view.closeBox(); };
  p.services.addressAnswers = {"Late"};
  p.program->storePreset();
  EXPECT_TRUE(PresetFile(file).load().contains("Late"));
  EXPECT_TRUE(p.program->dispatcher().runEnded());
  EXPECT_TRUE(p.has("event kept Form_Unload: runs once the operation in progress ends"));
  const auto all = p.lines();
  const auto stored =
      std::find(all.begin(), all.end(), "preset \"Late\" stored to " + file.string());
  const auto unload = std::find(all.begin(), all.end(), "event raised Form_Unload");
  EXPECT_LT(stored, unload);
}

// The name box and the questions: a refused name comes back as typed, blanks at its ends are
// refused, every question that replaces or deletes defaults to No, and a file that cannot take a
// store says so before a name is asked.
TEST_F(ProgramPresets, TheNameBoxAndTheQuestionsGuardWhatIsWritten) {
  std::ofstream(file) << "[preset.\"A\"]\n[preset.\"B\"]\n";
  PresetsProgram p(file);
  constexpr std::int16_t YesNoDefaultNo = controller::box::YesNoQuestion + 256;

  p.services.addressAnswers = {" A ", "A", std::nullopt};  // blanks refused, then A: replace?
  p.services.boxAnswers = {1, 7};                          // OK, then No
  p.services.prompts.clear();                              // the address prompt's
  p.program->storePreset();
  ASSERT_EQ(p.services.prompts.size(), 2u);
  EXPECT_EQ(p.services.prompts[1].defaultText, " A ");  // as typed
  EXPECT_NE(p.boxTexts()[0].find("may not begin or end with a blank"), std::string::npos);
  EXPECT_EQ(p.services.boxes[1].style, YesNoDefaultNo);

  p.services.boxAnswers = {7};  // No: kept
  p.program->deletePreset("A");
  EXPECT_EQ(p.services.boxes[2].style, YesNoDefaultNo);
  p.services.addressAnswers = {"B"};
  p.services.boxAnswers = {6};  // Yes: B is replaced by A
  p.program->renamePreset("A");
  EXPECT_EQ(p.services.boxes[3].style, YesNoDefaultNo);
  EXPECT_EQ(p.names(), std::vector<std::string>{"B"});
  p.services.boxAnswers = {6};
  p.program->deletePreset("B");
  EXPECT_TRUE(p.names().empty());
  const auto lines = p.lines();
  EXPECT_NE(
      std::find(lines.begin(), lines.end(), "preset \"A\" renamed to \"B\" in " + file.string()),
      lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "preset \"B\" deleted from " + file.string()),
            lines.end());

  std::ofstream(file) << "[preset.\"A\"\n";
  const auto prompts = p.services.prompts.size();
  p.program->storePreset();
  EXPECT_EQ(p.services.prompts.size(), prompts);  // no name asked
  EXPECT_EQ(p.boxTexts().back().rfind("Nothing can be stored.", 0), 0u);
}

// A preset with a mistake is listed but not recalled, and says why; an unknown key is named.
TEST_F(ProgramPresets, ABadPresetIsToldAndAnUnknownKeyIsNamedWhileTheRecallRuns) {
  std::ofstream(file) << "[preset.\"Typo\"]\nmode = \"Sideways\"\n\n[preset.\"Bench\"]\n"
                         "a_channels = [\"X5\"]\nb_chanels = [\"Y1\"]\n";
  PresetsProgram p(file);
  const auto menu = p.program->menuPresets();
  ASSERT_EQ(menu.size(), 2u);
  EXPECT_EQ(panel::recallItemText(menu[1]), "Typo (cannot be recalled)");
  const long calls = p.sim().callCount();
  p.program->recallPreset("Typo");
  EXPECT_EQ(p.sim().callCount(), calls);
  EXPECT_NE(p.boxTexts().at(0).find(":2: preset \"Typo\": unknown mode \"Sideways\""),
            std::string::npos);
  p.program->recallPreset("Bench");
  EXPECT_TRUE(p.has("preset \"Bench\": unknown key b_chanels ignored"));
  EXPECT_EQ(p.boxTexts().at(1),
            "The switcher did not take the whole preset \"Bench\":\r\n\r\n"
            "unknown key b_chanels ignored");
  EXPECT_TRUE(p.program->menuPresets()[0].inForce);  // what it set is what the panel shows

  Options listing = PresetsProgram::withPresets(file);
  listing.presetName = "Typo";
  EXPECT_NE(presetMistake(listing)->find(":2: preset \"Typo\""), std::string::npos);
  const auto listed = presetListing(PresetFile(file));
  EXPECT_EQ(listed.exitStatus, ExitEnded);
  EXPECT_EQ(listed.text.rfind("Bench\nTypo\t" + file.string() + ":2: ", 0), 0u) << listed.text;

  std::ofstream(file) << "[preset.\"A\"\n";
  EXPECT_EQ(presetListing(PresetFile(file)).exitStatus, ExitBadCommandLine);
  const auto none = presetListing(PresetFile(folder / "none.toml"));
  EXPECT_EQ(none.exitStatus, ExitEnded);
  EXPECT_EQ(none.text, "");
}

}  // namespace
}  // namespace orvane::app
