#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

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

  // "-" is standard error. Throws TraceFileError when the file cannot be created. Appending leaves
  // what the file holds (another panel's trace) as it is.
  enum class Mode { Replace, Append };
  static std::shared_ptr<TraceLog> open(const std::filesystem::path& path,
                                        Mode mode = Mode::Replace);

  // Writes to an open stream; closes it at the end when owned. Failures are reported on `errors`.
  TraceLog(std::FILE* out, std::string name, bool owned, std::FILE* errors = stderr);
  ~TraceLog();
  TraceLog(const TraceLog&) = delete;
  TraceLog& operator=(const TraceLog&) = delete;

  // One line: "<ms>ms <text>", where <ms> counts from the log's start to `began`.
  void write(Clock::time_point began, std::string_view text);
  void write(std::string_view text) { write(Clock::now(), text); }
  bool failed() const;

  // Lines held back, each written before the next line, unless dropped first, in two slots: a run
  // of start-up rounds, written as one line once it ends, and a timer's event line, written only
  // if its handler calls the host, as that call begins (a hung read is never without its event).
  enum class Held { Rounds, Event };
  void holdBack(Held slot, Clock::time_point began, std::string text);
  void dropHeldBack(Held slot);
  // Whether a line is still held back there: false once another line has brought it out.
  bool holdingBack(Held slot) const;

  // Something begun and not yet ended (a box on screen, a host call waiting for its answer); a
  // held-back event line is written as it begins. When the desktop session ends, writeOpen() lists
  // what is still open: a fault report then shows what the operator was looking at and which call
  // never came back.
  using OpenId = std::uint64_t;
  OpenId opened(Clock::time_point began, std::string text);
  void closed(OpenId id);
  // One line per open item, oldest first: "<prefix><text>, open for <ms> ms".
  void writeOpen(std::string_view prefix);

 private:
  mutable std::mutex mutex_;
  std::FILE* out_;
  std::string name_;
  bool owned_;
  std::FILE* errors_;
  struct Line {
    Clock::time_point began;
    std::string text;
  };
  struct Open {
    OpenId id;
    Line line;
  };
  void writeLocked(Clock::time_point began, std::string_view text);
  void writeHeldBackLocked();
  void writeHeldBackLocked(std::optional<Line>& slot);

  Clock::time_point start_ = Clock::now();
  bool failed_ = false;
  std::optional<Line> held_[2];  // by Held
  std::vector<Open> open_;
  OpenId nextOpen_ = 1;
};

// Something listed as open in a trace log for as long as this lives: a box on screen, a host call
// waiting for its answer.
class OpenWhile {
 public:
  OpenWhile(TraceLog& log, TraceLog::Clock::time_point began, std::string text)
      : log_(log), id_(log.opened(began, std::move(text))) {}
  ~OpenWhile() { log_.closed(id_); }
  OpenWhile(const OpenWhile&) = delete;
  OpenWhile& operator=(const OpenWhile&) = delete;

 private:
  TraceLog& log_;
  TraceLog::OpenId id_;
};

}  // namespace orvane::host::trace
