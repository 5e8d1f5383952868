#pragma once

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orvane::host::trace {

// The trace file could not be opened; the message names the file and the reason.
class TraceFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where trace lines go: a file, or standard error. Each line starts with the milliseconds from the
// log's creation to the moment its action began, and is flushed at once, since the program may end
// at any moment. Writing never throws and never stops the program: the first failed write (a full
// disk, a closed pipe) is reported once on the error stream and every later line is dropped.
// Lines may come from more than one thread.
class TraceLog {
 public:
  using Clock = std::chrono::steady_clock;

  // "-" is standard error. Throws TraceFileError when the file cannot be created.
  static std::shared_ptr<TraceLog> open(const std::filesystem::path& path);

  // Writes to an open stream; closes it at the end when owned. Failures are reported on `errors`.
  TraceLog(std::FILE* out, std::string name, bool owned, std::FILE* errors = stderr);
  ~TraceLog();
  TraceLog(const TraceLog&) = delete;
  TraceLog& operator=(const TraceLog&) = delete;

  // One line: "<ms>ms <text>", where <ms> counts from the log's start to `began`.
  void write(Clock::time_point began, std::string_view text);
  void write(std::string_view text) { write(Clock::now(), text); }
  bool failed() const;

 private:
  mutable std::mutex mutex_;
  std::FILE* out_;
  std::string name_;
  bool owned_;
  std::FILE* errors_;
  Clock::time_point start_ = Clock::now();
  bool failed_ = false;
};

}  // namespace orvane::host::trace
