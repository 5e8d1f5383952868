// The DC data log and the history's CSV: the cells each host value becomes, a header only on a new
// file, a torn last line ended before the next row, files that cannot be a log refused with their
// name, a write that fails stopping the log with one box while the panel runs on, and Save as CSV.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <sstream>

#include "app/DcLog.h"
#include "panel/Controls.h"
#include "tests/app/HeadlessProgram.h"
#include "tests/support/TestForeignValue.h"

namespace orvane::app {
namespace {

using controller::dcReadingOf;
using controller::DcReadings;
using host::Variant;

std::string contentOf(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class DcLog : public ::testing::Test {
 protected:
  void SetUp() override {
    folder /= ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    file = folder / "dc.csv";
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
  std::filesystem::path folder = std::filesystem::temp_directory_path() / "orvane-dc-log";
  std::filesystem::path file;
};

TEST_F(DcLog, EachReadingIsWrittenAsTheHostGaveItQuotedWhereCsvNeedsIt) {
  const controller::DcSample sample{{},
                                    std::chrono::sys_days{std::chrono::December / 8 / 2026} +
                                        std::chrono::hours(23) + std::chrono::minutes(20) +
                                        std::chrono::milliseconds(123)};
  const struct {
    Variant value;
    std::string cell;
  } rows[] = {
      {Variant(8.99780325986407), "8.99780325986407"},
      {Variant("-0.50"), "-0.50"},
      {Variant("9,1 V"), "\"9,1 V\""},
      {Variant("say \"off\""), "\"say \"\"off\"\"\""},
      {Variant("two\r\nlines"), "\"two\r\nlines\""},
      {Variant(""), ""},
      {Variant(), ""},
      {testing::TestForeignValue::unconvertible(), ""},  // Null
  };
  for (const auto& row : rows) {
    DcReadings readings;
    readings[2] = dcReadingOf(row.value);
    EXPECT_EQ(dcLogRow(sample, 7, readings), "2026-12-08T23:20:00.123Z,7,,," + row.cell + ",\r\n");
  }
}

TEST_F(DcLog, OnlyANewOrEmptyFileGetsTheHeaderAndATornLastLineIsEndedFirst) {
  const struct {
    const char* what;
    std::optional<std::string> before;
    std::string after;  // once one row is appended
  } rows[] = {
      {"new", std::nullopt, std::string(DcCsvHeader) + "row\r\n"},
      {"empty", "", std::string(DcCsvHeader) + "row\r\n"},
      {"with rows", "a,b\r\n", "a,b\r\nrow\r\n"},
      {"torn by a crash", "a,b\r\n2026-12-08T23:2", "a,b\r\n2026-12-08T23:2\r\nrow\r\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::filesystem::remove(file);
    if (row.before) std::ofstream(file, std::ios::binary) << *row.before;
    DcLogFile::open(file, "dc.csv")->append("row\r\n");
    EXPECT_EQ(contentOf(file), row.after);
  }
}

TEST_F(DcLog, APathThatCannotBeALogIsAMistakeOfTheCommandLineNamingIt) {
  mkfifo((folder / "fifo").c_str(), 0600);
  for (const auto& path : {folder, folder / "fifo", folder / "missing" / "dc.csv"}) {
    Options options;
    options.dcLogPath = path.string();
    std::unique_ptr<DcLogFile> log;
    std::string error;
    EXPECT_FALSE(openDcLog(options, log, error));
    EXPECT_EQ(error.rfind("--dc-log: " + path.string() + ": the DC log cannot be written: ", 0), 0u)
        << error;
    EXPECT_FALSE(log);
  }
}

// The trace goes into a pipe, which no limit on a file's size reaches.
struct TracePipe {
  TracePipe() {
    if (pipe(ends) != 0) throw std::runtime_error("no pipe");
    log = std::make_shared<host::trace::TraceLog>(fdopen(ends[1], "w"), "trace", true);
  }
  ~TracePipe() { close(ends[0]); }
  std::string text() {
    log.reset();  // flushes and closes the writing end
    std::string all;
    char buffer[4096];
    for (ssize_t got; (got = read(ends[0], buffer, sizeof buffer)) > 0;) all.append(buffer, got);
    return all;
  }
  int ends[2] = {-1, -1};
  std::shared_ptr<host::trace::TraceLog> log;
};

struct LoggingProgram : TracePipe, HeadlessProgram {
  explicit LoggingProgram(const std::filesystem::path& file)
      : HeadlessProgram(simulated(), {}, panel::StartupWindowAfter, log) {
    program->logDcTo(DcLogFile::open(file, file.string()));
    view.load();
    view.click({panel::ControlName::DCButton});
  }
};

TEST_F(DcLog, AWriteThatFailsStopsTheLogWithOneBoxAndThePanelRunsOn) {
  LoggingProgram run(file);
  run.view.tick();
  run.view.tick();
  // The file may grow no further: the next write fails as on a full disk.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit before{};
  getrlimit(RLIMIT_FSIZE, &before);
  rlimit full = before;
  full.rlim_cur = std::filesystem::file_size(file);
  setrlimit(RLIMIT_FSIZE, &full);
  run.view.tick();
  run.view.tick();
  setrlimit(RLIMIT_FSIZE, &before);

  ASSERT_EQ(run.services.boxes.size(), 1u);
  EXPECT_EQ(
      run.services.boxes[0].text.rfind("The DC log could not be written, and has stopped.", 0), 0u);
  EXPECT_FALSE(run.program->loggingDc());
  EXPECT_EQ(run.program->dcHistory().size(), 4u);  // the history goes on
  run.view.tick();
  EXPECT_EQ(run.services.boxes.size(), 1u);
  run.program.reset();
  EXPECT_NE(run.text().find("ms DC log stopped: " + file.string() + ": File too large\n"),
            std::string::npos);
  std::istringstream rows(contentOf(file));
  std::string line;
  int count = 0;
  while (std::getline(rows, line)) {
    EXPECT_EQ(line.back(), '\r') << "a row not whole: " << line;
    ++count;
  }
  EXPECT_EQ(count, 3) << contentOf(file);  // the header and the two rows before the failure
}

TEST_F(DcLog, SaveAsCsvWritesTheWholeHistoryHeldOrSaysWhyNot) {
  LoggingProgram run(file);
  for (int i = 0; i < 3; ++i) run.view.tick();
  run.view.click({panel::ControlName::DCButton});  // a gap
  const auto saved = folder / "history.csv";
  run.program->saveDcHistory(saved.string());
  const std::string text = contentOf(saved);
  EXPECT_EQ(text.rfind(DcCsvHeader, 0), 0u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);
  EXPECT_NE(text.find(",0,,,,\r\n"), std::string::npos) << text;  // the gap: four empty cells
  EXPECT_TRUE(run.services.boxes.empty());

  run.program->saveDcHistory((folder / "missing" / "history.csv").string());
  ASSERT_EQ(run.services.boxes.size(), 1u);
  EXPECT_EQ(run.services.boxes[0].text.rfind("The DC history was not saved.", 0), 0u);
}

}  // namespace
}  // namespace orvane::app
