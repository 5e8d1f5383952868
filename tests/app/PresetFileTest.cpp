// The presets file: what a person writes reads as meant, a broken file is named to the line and
// never switches nor loses anything, and stores are atomic and never lose another panel's preset.
#include "app/PresetFile.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <functional>
#include <set>
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
      {"[preset.\"A\"]\na_channels = [\"X1\", \"X1\"]\n",
       ":2: preset \"A\": channel \"X1\" is listed twice in a_channels"},
      {"[preset.Kim's]\na_load = true\n", ":1: "},  // what the writer of toml++ 3.3 writes
      // Found by the fuzzer: toml++ 3.3 reaches undefined behaviour on these; refused before it.
      {"[preset.Gr\xC3\xBC\xC3\x9F"
       "e]\n",
       ":1: a character beyond ASCII outside quotes"},
      {"[preset.\"A\"]\nmode = \"None\" \xC3\xA9\n", ":2: a character beyond ASCII outside quotes"},
      // A quote inside a bare value opens no string: toml++ reads the value on to its end.
      {"day = 1979-05-27Kim's[preset.\"x\xC5\x8B\"]\n",
       ":1: a character beyond ASCII outside quotes"},
  };
  for (const auto& [text, message] : broken) {
    write(text);
    // The whole file's mistake, or the one preset's: either names the file and the line.
    std::string mistake;
    try {
      for (const auto& entry : presets.list()) {
        if (!entry.preset) mistake = entry.problem;
      }
      EXPECT_TRUE(presets.load().empty());  // nothing to recall
    } catch (const PresetFileError& error) {
      mistake = error.what();
    }
    EXPECT_EQ(mistake.rfind(presets.displayName(), 0), 0u) << text << mistake;
    EXPECT_NE(mistake.find(message), std::string::npos) << mistake;
    EXPECT_EQ(contents(), text);  // a load never rewrites
  }
}

// toml++ is shown only ASCII: what lies beyond it in strings and comments is escaped on the way
// in, so literal strings, comments and line-ending backslashes still read exactly as written.
TEST_F(PresetFileTest, TextBeyondAsciiReadsAsWrittenInEveryKindOfStringAndComment) {
  write(
      "# Gr\xC3\xBC\xC3\x9F"
      "e\n[preset.'Gr\xC3\xBC\xC3\x9F"
      "e \"\\']\nmode = 'None'  # \xC3\xA9\n"
      "note = \"\"\"x\\\n  \xC3\xA9\"\"\"\n[preset.\"\xE5\x90\x8D\"]\n");
  const auto all = presets.list();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].name,
            "Gr\xC3\xBC\xC3\x9F"
            "e \"\\");
  EXPECT_TRUE(all[0].preset.has_value()) << all[0].problem;
  EXPECT_EQ(all[1].name, "\xE5\x90\x8D");
}

// One bad preset spoils nothing else: the others read and store; it is named to its line, kept as
// written by stores of other presets, and replaced by a store of its own name. Deleting and
// renaming keep every other preset and every key the program does not know.
TEST_F(PresetFileTest, OneBadPresetSpoilsNothingAndDeleteAndRenameKeepTheRest) {
  write(
      "[preset.\"Good\"]\na_load = true\ncolour = \"red\"\n\n[preset.\"Typo\"]\n"
      "a_channels = [\"X9\"]\n\n[preset.\"other\"]\nb_load = true\n");
  const auto good = presets.recallable("Good");
  EXPECT_TRUE(good.load[0]);
  EXPECT_EQ(good.unknownKeys, std::vector<std::string>{"colour"});
  try {
    presets.recallable("Typo");
    ADD_FAILURE() << "a bad preset was recalled";
  } catch (const PresetFileError& error) {
    EXPECT_NE(std::string(error.what()).find(":6: preset \"Typo\": unknown channel \"X9\""),
              std::string::npos)
        << error.what();
  }
  presets.store(Preset{"New", 0, {}, {}, {}});
  EXPECT_NE(contents().find("a_channels = [\"X9\"]"), std::string::npos);  // kept as written

  struct Row {
    const char* what;
    std::function<void()> change;
    std::vector<std::string> names;  // in the menu's order afterwards
  };
  const std::vector<Row> rows = {
      {"delete", [&] { presets.remove("New"); }, {"Good", "other", "Typo"}},
      {"rename onto a free name",
       [&] { presets.rename("Good", "better"); },
       {"better", "other", "Typo"}},
      {"rename onto a used name", [&] { presets.rename("better", "other"); }, {"other", "Typo"}},
      {"rename the bad one",
       [&] { presets.rename("Typo", "Fixed later"); },
       {"Fixed later", "other"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    row.change();
    std::vector<std::string> names;
    for (const auto& entry : presets.list()) names.push_back(entry.name);
    EXPECT_EQ(names, row.names);
    EXPECT_NE(contents().find("colour = \"red\""), std::string::npos);
  }
  EXPECT_TRUE(presets.load().at("other").load[0]);  // the renamed "Good", unknown key and all
  EXPECT_THROW(presets.remove("gone"), PresetFileError);
  EXPECT_THROW(presets.rename("gone", "anything"), PresetFileError);
}

TEST(PresetMenuOrder, NamesSortWithLettersFoldedThenByBytes) {
  std::vector<std::string> names = {"bench 3", "Bench 2", "bench", "Zulu",
                                    "alpha",   "Bench",   "_x",    "10"};
  std::sort(names.begin(), names.end(), menuOrder);
  EXPECT_EQ(names, (std::vector<std::string>{"10", "_x", "alpha", "Bench", "bench", "Bench 2",
                                             "bench 3", "Zulu"}));
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

// Another TOML reader's view of the file (Python's tomllib): the names of its presets.
std::set<std::string> namesAsPythonReadsThem(const std::filesystem::path& file) {
  const std::string command =
      "python3 -c 'import sys, tomllib; sys.stdout.buffer.write(b\"\\0\".join(n.encode() for n in "
      "tomllib.load(open(sys.argv[1], \"rb\"))[\"preset\"]))' '" +
      file.string() + "'";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  std::string out;
  std::array<char, 4096> buffer{};
  for (std::size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) {
    out.append(buffer.data(), got);
  }
  EXPECT_EQ(::pclose(pipe), 0) << "python3 could not read " << file;
  std::set<std::string> names;
  for (std::size_t from = 0; from <= out.size();) {
    const auto end = std::min(out.find('\0', from), out.size());
    names.insert(out.substr(from, end - from));
    from = end + 1;
  }
  return names;
}

TEST_F(PresetFileTest, EveryNameThePanelAcceptsReadsBackByteForByteInOursAndAnotherReader) {
  const std::set<std::string> names = {"Kim's",
                                       "'single'",
                                       "'",
                                       "Amp's in",
                                       "say \"hi\"",
                                       "back\\slash",
                                       "\xE5\x90\x8D\xE5\x89\x8D",
                                       "# not a comment",
                                       "a.b",
                                       "x = y",
                                       "[bracket]",
                                       "Gr\xC3\xBC\xC3\x9F"
                                       "e",
                                       "R&D",
                                       " padded "};
  for (const auto& name : names) {
    ASSERT_FALSE(controller::presetNameProblem(name)) << name;
    Preset preset{name, 1, {}, {true, false}, {false, true}};
    preset.on[0][2] = true;
    presets.store(preset);
    EXPECT_EQ(presets.load().at(name), preset) << name;
  }
  std::set<std::string> read;
  for (const auto& [name, preset] : presets.load()) read.insert(name);
  EXPECT_EQ(read, names);
  EXPECT_EQ(namesAsPythonReadsThem(file), names) << contents();
}

TEST_F(PresetFileTest, ANameOfBlanksOrWithAControlCharacterIsRefusedWithTheReason) {
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"", "at least one character"},
      {"   ", "more than blanks"},
      {"a\tb", "control characters"},
      {"a\x7F", "control characters"},
      {"a\xC2\x85", "control characters"},
      {"\xFF", "UTF-8"},
      {"\xC0\xAF", "UTF-8"},
      {std::string(41, 'n'), "at most 40"},
  };
  for (const auto& [name, reason] : refused) {
    const auto problem = controller::presetNameProblem(name);
    ASSERT_TRUE(problem) << name;
    EXPECT_NE(problem->find(reason), std::string::npos) << *problem;
  }
  EXPECT_FALSE(controller::presetNameProblem(std::string(40, 'n')));
}

// A lab's shared file: a link stays a link and the lock sits beside what it points to; the mode
// stays; a file frozen read-only and a lock held by a stuck program each refuse the store, and
// leave the file and no FILE.new behind.
TEST_F(PresetFileTest, ALinkedFileStaysLinkedKeepsItsModeAndEveryRefusalLeavesItAsItWas) {
  const auto real = folder / "share" / "lab.toml";
  std::filesystem::create_directories(real.parent_path());
  std::ofstream(real) << "[preset.\"A\"]\n";
  std::filesystem::permissions(real, std::filesystem::perms(0664));
  const auto link = folder / "mine.toml";
  std::filesystem::create_symlink(real, link);

  PresetFile linked(link);
  linked.store(Preset{"B", 0, {}, {}, {}});
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(PresetFile(real).load().size(), 2u);
  EXPECT_EQ(std::filesystem::status(real).permissions(), std::filesystem::perms(0664));
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(real).concat(".lock")));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(link).concat(".lock")));

  const auto leftover = std::filesystem::path(real).concat(".new");
  // A FILE.new under another program's lock is that program's, and stays.
  const auto refused = [&](const std::function<void()>& store, const std::string& reason,
                           bool leftoverIsOurs = true) {
    std::ofstream(leftover) << "half a file";
    std::ifstream before(real);
    const std::string was((std::istreambuf_iterator<char>(before)), {});
    try {
      store();
      ADD_FAILURE() << "stored despite: " << reason;
    } catch (const PresetFileError& error) {
      EXPECT_NE(std::string(error.what()).find(reason), std::string::npos) << error.what();
    }
    std::ifstream after(real);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), {}), was);
    EXPECT_EQ(std::filesystem::exists(leftover), !leftoverIsOurs) << reason;
  };

  // Held by another open file description, as another program's lock is.
  const int held = ::open(std::filesystem::path(real).concat(".lock").c_str(), O_RDWR);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  StoreWait shortWait;
  shortWait.lockLimit = std::chrono::milliseconds(30);
  refused(
      [&] {
        linked.store(Preset{"C", 0, {}, {}, {}}, shortWait);
      },
      "another program is storing into " + link.string(), false);
  ::close(held);

  std::filesystem::permissions(real, std::filesystem::perms(0444));  // for root too
  refused([&] { linked.store(Preset{"C", 0, {}, {}, {}}); }, "is read-only");
  std::filesystem::permissions(real, std::filesystem::perms(0664));
}

// Runs `body` in a child process as the user nobody, as a second user of a shared folder; its
// answer is "" when all went as expected, else what did not. None where we cannot switch users.
std::optional<std::string> asNobody(const std::function<std::string()>& body) {
  if (::geteuid() != 0) return std::nullopt;
  int answer[2];
  if (::pipe(answer) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(answer[0]);
    std::string said = "could not become nobody";
    if (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0) said = body();
    [[maybe_unused]] const auto wrote = ::write(answer[1], said.data(), said.size());
    ::_exit(0);
  }
  ::close(answer[1]);
  std::string said;
  char buffer[512];
  for (ssize_t got; (got = ::read(answer[0], buffer, sizeof buffer)) > 0;) said.append(buffer, got);
  ::close(answer[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return said;
}

std::string failureOf(const std::function<void()>& work) {
  try {
    work();
    return "";
  } catch (const std::exception& error) {
    return error.what();
  }
}

TEST_F(PresetFileTest, ASecondUserStoresIntoASharedFolderAndIsRefusedWhatItMayNotReadOrWrite) {
  std::filesystem::permissions(folder, std::filesystem::perms(0777));
  const mode_t umask = ::umask(022);  // the first user's lock comes out 0644: read-only to others
  presets.store(Preset{"First", 0, {}, {}, {}});
  ::umask(umask);
  std::filesystem::permissions(file, std::filesystem::perms(0666));
  const auto secret = folder / "secret.toml";
  std::ofstream(secret) << "[preset.\"A\"]\n";
  std::filesystem::permissions(secret, std::filesystem::perms(0600));
  const auto frozen = folder / "frozen.toml";
  std::ofstream(frozen) << "[preset.\"A\"]\n";
  std::filesystem::permissions(frozen, std::filesystem::perms(0644));

  const auto said = asNobody([&] {
    std::string wrong = failureOf([&] { presets.store(Preset{"Second", 0, {}, {}, {}}); });
    const std::string unreadable = failureOf([&] { PresetFile(secret).load(); });
    if (unreadable.find("cannot be read: Permission denied") == std::string::npos) {
      wrong += " | unreadable: " + unreadable;
    }
    const std::string unwritable = failureOf([&] {
      PresetFile(frozen).store(Preset{"B", 0, {}, {}, {}});
    });
    if (unwritable.find("is read-only") == std::string::npos)
      wrong += " | unwritable: " + unwritable;
    return wrong;
  });
  if (!said) GTEST_SKIP() << "needs root, to switch to the user nobody";
  EXPECT_EQ(*said, "");
  EXPECT_EQ(presets.load().size(), 2u);
  EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0666));
  EXPECT_EQ(PresetFile(frozen).load().size(), 1u);
}

}  // namespace
}  // namespace orvane::app

namespace orvane::app {
namespace {

TEST(PresetDefaultLocation, HoldsNoPresetsUntilTheFirstStoreMakesItsFolder) {
  const auto folder = std::filesystem::temp_directory_path() / "orvane-presets-default-not-made";
  std::filesystem::remove_all(folder);
  const PresetFile presets(folder / "orvane-panel" / "presets.toml", true);
  EXPECT_TRUE(presets.list().empty());
  EXPECT_THROW(presets.recallable("bench"), PresetFileError);
  controller::Preset stored;
  stored.name = "bench";
  presets.store(stored);
  EXPECT_EQ(presets.list().size(), 1u);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace orvane::app
