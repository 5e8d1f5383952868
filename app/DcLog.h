#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "app/FileAccess.h"
#include "controller/DcHistory.h"

namespace orvane::app {

// The DC data log and the history's CSV: one row a tick, the time in ISO 8601 UTC, the switcher's
// address, then A+, A-, B+, B- (an empty cell where there was no reading). Rows end in CR LF, as
// RFC 4180 has them.
inline constexpr const char* DcCsvHeader = "time,address,a_plus,a_minus,b_plus,b_minus\r\n";

// A cell as RFC 4180 writes it: quoted, quotes doubled, when it holds a comma, a quote or a line
// break; as it stands otherwise.
std::string csvCell(std::string_view text);
// 2026-12-08T23:20:00.123Z
std::string isoUtcText(std::chrono::system_clock::time_point at);
// A log row: each reading as the host gave it.
std::string dcLogRow(const controller::DcSample& sample, int address,
                     const controller::DcReadings& readings);
// The whole history as a CSV file's text, header first: each reading's volts, shortest text that
// reads back as the same number.
std::string dcHistoryCsv(const controller::DcHistory& history, int address);

// A data log being written: opened for appending, never truncated or rewritten. Each row goes out
// whole in one write; the file is synced at most once a second by a thread of its own, so that the
// window never waits for the disk. A crash loses at most the row being written, a power cut at
// most the last second.
class DcLogFile {
 public:
  // Opens (or creates) the file. A new or empty file gets the header; a file whose last line was
  // torn off by a crash gets its line end first, so that no two rows merge. Throws FileError when
  // it cannot be opened for appending or is no regular file.
  static std::unique_ptr<DcLogFile> open(const std::filesystem::path& path,
                                         const std::string& name);
  ~DcLogFile();
  DcLogFile(const DcLogFile&) = delete;
  DcLogFile& operator=(const DcLogFile&) = delete;

  // Throws FileError when the row (or the last sync) could not be written: disk full, a share gone.
  void append(const std::string& row);
  const std::string& name() const { return name_; }

 private:
  using Handle = std::intptr_t;
  DcLogFile(Handle handle, std::string name);
  void write(const std::string& text);
  void syncEverySecond(std::stop_token stop);

  Handle handle_;
  std::string name_;
  std::mutex mutex_;
  std::condition_variable_any written_;
  bool unsynced_ = false;
  std::string syncFailure_;
  std::jthread syncer_;
};

}  // namespace orvane::app
