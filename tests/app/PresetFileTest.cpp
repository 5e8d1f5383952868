// The presets file: what a person writes reads as meant, a broken file is named to the line and
// never switches nor loses anything, and stores are atomic and never lose another panel's preset.
#include "app/PresetFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

namespace orvane::app {
namespace {

using controller::Preset;

class PresetFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder =
        std::filesystem::temp_directory_path() /
        ("orvane-presets-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    file = folder / "presets.toml";
    presets = PresetFile(file);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  std::filesystem::path write(const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
    return file;
  }
  std::string contents() const {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::filesystem::path folder;
  std::filesystem::path file;
  PresetFile presets{""};
};

TEST_F(PresetFileTest, TheDocumentedExampleReadsAsMeantAndAStoreReadsBackTheSame) {
  file = write(R"(# Bench 1: the amplifier's stereo input
[preset."Bench 1"]
mode = "Stereo Pairs"          # None, Input to Output, Stereo Pairs, ...
a_channels = ["X1", "X2"]      # X1..X8, Y1..Y8
b_channels = ["Y1"]
a_balance = false
a_load = true
b_balance = false
b_load = false

[preset.Bare]
)");
  presets = PresetFile(file);
  const auto read = presets.load();
  ASSERT_EQ(read.size(), 2u);
  Preset bench{"Bench 1", 2, {}, {false, false}, {true, false}};
  bench.on[0][0] = bench.on[0][1] = bench.on[1][8] = true;
  EXPECT_EQ(read.at("Bench 1"), bench);
  EXPECT_EQ(read.at("Bare"), (Preset{"Bare", std::nullopt, {}, {}, {}}));  // off, mode left

  Preset stored{
      "Gr\xC3\xBC\xC3\x9F"
      "e 2",
      5,
      {},
      {true, true},
      {false, true}};
  stored.on[1][15] = true;
  presets.store(stored);
  EXPECT_EQ(presets.load().at(stored.name), stored);
  EXPECT_EQ(presets.load().at("Bench 1"), bench);
}

TEST_F(PresetFileTest, ABrokenFileIsNamedToTheLineAndNothingIsRead) {
  const std::vector<std::pair<std::string, std::string>> broken = {
      {"[preset.\"A\"]\nmode = \n", ":2: "},
      {"[preset.\"A\"]\na_channels = [\"X1\", \"Z9\"]\n",
       ":2: preset \"A\": unknown channel \"Z9\""},
      {"[preset.\"A\"]\nmode = \"Sideways\"\n", ":2: preset \"A\": unknown mode \"Sideways\""},
      {"[preset.\"A\"]\na_load = true\n[preset.\"A\"]\n", ":3: "},
      {"[preset.\"A\"]\nb_load = \"yes\"\n", ":2: preset \"A\": b_load must be true or false"},
      {"[preset.\"A\"]\na_channels = \"X1\"\n", ":2: preset \"A\": a_channels must be a list"},
      {"[preset.\"A\"]\nmode = 2\n", ":2: preset \"A\": mode must be text"},
      {"preset = 3\n", ":1: preset must be a table"},
      {"[preset.\"" + std::string(41, 'n') + "\"]\n", "at most 40 characters"},
  };
  for (const auto& [text, message] : broken) {
    write(text);
    try {
      presets.load();
      ADD_FAILURE() << "read: " << text;
    } catch (const PresetFileError& error) {
      const std::string what = error.what();
      EXPECT_EQ(what.rfind(presets.displayName(), 0), 0u) << what;
      EXPECT_NE(what.find(message), std::string::npos) << what;
    }
    EXPECT_EQ(contents(), text);  // a load never rewrites
  }
}

TEST_F(PresetFileTest, AStoreKeepsUnknownKeysAndRefusesAFileThatDoesNotParse) {
  write("[preset.A]\ncolour = \"red\"\na_load = true\n\n[bench]\nowner = \"Kim\"\n");
  presets.store(Preset{"B", 0, {}, {}, {}});
  const std::string after = contents();
  EXPECT_NE(after.find("colour = \"red\""), std::string::npos) << after;
  EXPECT_NE(after.find("owner = \"Kim\""), std::string::npos) << after;
  EXPECT_NE(after.find("[preset.\"B\"]"), std::string::npos) << after;
  EXPECT_EQ(presets.load().size(), 2u);

  const std::string broken = "[preset.A\na_load = true\n";
  write(broken);
  EXPECT_THROW(presets.store(Preset{"B", 0, {}, {}, {}}), PresetFileError);
  EXPECT_EQ(contents(), broken);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2);  // and the lock
}

// The file is replaced in one step: a store that cannot write leaves the old file, and no
// temporary file is left behind either way.
TEST_F(PresetFileTest, AStoreThatCannotBeWrittenLeavesTheFileAsItWas) {
  presets.store(Preset{"A", 0, {}, {}, {}});
  const std::string before = contents();
  std::filesystem::create_directory(std::filesystem::path(file).concat(".new"));  // in the way
  EXPECT_THROW(presets.store(Preset{"B", 0, {}, {}, {}}), PresetFileError);
  EXPECT_EQ(contents(), before);
  std::filesystem::remove(std::filesystem::path(file).concat(".new"));
  presets.store(Preset{"B", 0, {}, {}, {}});
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(file).concat(".new")));
}

TEST_F(PresetFileTest, TwoPanelsStoringAtOnceBothKeepTheirPresets) {
  const auto storeMany = [this](const char* panel) {
    const PresetFile own(file);  // each panel has its own view of the file
    for (int i = 0; i < 15; ++i) own.store(Preset{panel + std::to_string(i), 0, {}, {}, {}});
  };
  std::thread first(storeMany, "A");
  std::thread second(storeMany, "B");
  first.join();
  second.join();
  EXPECT_EQ(presets.load().size(), 30u);
}

}  // namespace
}  // namespace orvane::app
