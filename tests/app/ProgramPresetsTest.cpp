// The presets as the program offers them to the panel's menu: what is asked, what is stored, and
// the box for each thing that goes wrong.
#include <gtest/gtest.h>

#include <fstream>

#include "panel/Controls.h"
#include "tests/app/HeadlessProgram.h"

namespace orvane::app {
namespace {

using host::sim::FaultKind;
using host::sim::FaultSpec;

struct PresetsProgram : HeadlessProgram {
  explicit PresetsProgram(const std::filesystem::path& file)
      : HeadlessProgram(withPresets(file)), file(file) {
    view.load();
  }
  static Options withPresets(const std::filesystem::path& file) {
    Options options = simulated();
    options.presetsPath = file.string();
    return options;
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
  EXPECT_EQ(p.program->presetNames(), std::vector<std::string>{"Bench 1"});
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
         p.services.addressAnswers = {std::string(41, 'n')};
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
         EXPECT_TRUE(p.program->presetNames().empty());
       },
       "The presets file cannot be read."},
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

}  // namespace
}  // namespace orvane::app
