// The fuzz entry point as an ordinary test: every kept corpus input, and a seeded batch of random
// inputs, played through LLVMFuzzerTestOneInput with any compiler.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tests/reliability/fuzz/ControllerFuzz.h"
#include "tests/reliability/fuzz/PresetsFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace orvane::reliability {
namespace {

std::vector<std::string> brokenInvariants;
void collect(const std::string& description) {
  brokenInvariants.push_back(description);
}

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class FuzzReplay : public ::testing::Test {
 protected:
  void SetUp() override {
    brokenInvariants.clear();
    onInvariantBroken = collect;
  }
  void play(const std::vector<std::uint8_t>& input, const std::string& name) {
    LLVMFuzzerTestOneInput(input.data(), input.size());
    for (const auto& broken : brokenInvariants) ADD_FAILURE() << name << ": " << broken;
    brokenInvariants.clear();
  }
};

TEST_F(FuzzReplay, EveryKeptCorpusInputRunsSound) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(ORVANE_FUZZ_CORPUS)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 10u) << "the kept corpus is missing from " << ORVANE_FUZZ_CORPUS;
  std::map<std::string, int> endings;
  long operations = 0, events = 0;
  int shown = 0;
  for (const auto& file : files) {
    play(readFile(file), file.filename().string());
    const auto& stats = lastFuzzStats();
    ++endings[stats.ending];
    operations += stats.operations;
    events += stats.eventsHandled;
    shown += stats.panelShown ? 1 : 0;
  }
  // How far the kept inputs get: printed for the record, not judged.
  std::printf("corpus: %zu inputs, %d reach the panel, %ld operations, %ld events handled;",
              files.size(), shown, operations, events);
  for (const auto& [ending, count] : endings) std::printf(" %s %d;", ending.c_str(), count);
  std::printf("\n");
}

// Fresh random inputs, the same ones every run: a cheap widening of the corpus on every build.
TEST_F(FuzzReplay, SeededRandomInputsRunSound) {
  std::mt19937 random(20261207);
  for (int run = 0; run < 200; ++run) {
    std::vector<std::uint8_t> input(random() % 600);
    for (auto& byte : input) byte = static_cast<std::uint8_t>(random());
    play(input, "random input " + std::to_string(run));
  }
}

TEST_F(FuzzReplay, EmptyAndTinyInputsRunSound) {
  play({}, "empty input");
  for (int b = 0; b < 256; ++b)
    play({static_cast<std::uint8_t>(b)}, "one byte " + std::to_string(b));
}

// The presets file's kept inputs (the broken files of its tests, names full of quotes and escapes,
// files of every kind of TOML value) and a seeded random batch: no finding.
TEST(PresetsFuzzReplay, EveryKeptInputAndASeededBatchFindNothing) {
  int played = 0;
  for (const auto& entry : std::filesystem::directory_iterator(ORVANE_PRESETS_CORPUS)) {
    const auto input = readFile(entry.path());
    EXPECT_EQ(presetsFuzzFinding(input.data(), input.size()), "") << entry.path().filename();
    ++played;
  }
  EXPECT_GE(played, 50);
  std::mt19937 random(20261208);
  const std::string alphabet = "[]\"'=.#\\ \nabc_XY1\xC3\xA9";
  for (int run = 0; run < 300; ++run) {
    std::vector<std::uint8_t> input(1 + random() % 200);
    for (auto& byte : input) byte = static_cast<std::uint8_t>(alphabet[random() % alphabet.size()]);
    input[0] = static_cast<std::uint8_t>(random());
    EXPECT_EQ(presetsFuzzFinding(input.data(), input.size()), "") << "random input " << run;
  }
}

}  // namespace
}  // namespace orvane::reliability
