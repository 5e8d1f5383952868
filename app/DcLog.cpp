// The DC data log: CSV rows appended as the ticks come, synced once a second off the window's
// thread; and the history written out as CSV.
#include "app/DcLog.h"

#include <charconv>
#include <cmath>
#include <ctime>

#include "host/PathText.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace orvane::app {

namespace {

int lastError() {
#ifdef _WIN32
  return static_cast<int>(GetLastError());
#else
  return errno;
#endif
}

std::string numberText(double volts) {
  if (std::isnan(volts)) return {};
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, volts);
  return {text, written.ptr};
}

std::string rowOf(const controller::DcSample& sample, int address,
                  const std::array<std::string, controller::DcTerminals>& cells) {
  std::string row = isoUtcText(sample.wall) + ',' + std::to_string(address);
  for (const auto& cell : cells) row += ',' + csvCell(cell);
  return row + "\r\n";
}

}  // namespace

std::string csvCell(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + '"';
}

std::string isoUtcText(std::chrono::system_clock::time_point at) {
  using namespace std::chrono;
  const auto milliseconds = floor<std::chrono::milliseconds>(at);
  const auto day = floor<days>(milliseconds);
  const year_month_day date{day};
  const hh_mm_ss time{milliseconds - day};
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", int(date.year()),
                unsigned(date.month()), unsigned(date.day()), int(time.hours().count()),
                int(time.minutes().count()), int(time.seconds().count()),
                int(time.subseconds().count()));
  return text;
}

std::string dcLogRow(const controller::DcSample& sample, int address,
                     const controller::DcReadings& readings) {
  std::array<std::string, controller::DcTerminals> cells;
  for (std::size_t i = 0; i < cells.size(); ++i) cells[i] = readings[i].text;
  return rowOf(sample, address, cells);
}

std::string dcHistoryCsv(const controller::DcHistory& history, int address) {
  std::string text = DcCsvHeader;
  for (std::size_t i = 0; i < history.size(); ++i) {
    std::array<std::string, controller::DcTerminals> cells;
    for (std::size_t t = 0; t < cells.size(); ++t) cells[t] = numberText(history[i].volts[t]);
    text += rowOf(history[i], address, cells);
  }
  return text;
}

// --- the log file ---

std::unique_ptr<DcLogFile> DcLogFile::open(const std::filesystem::path& path,
                                           const std::string& name) {
  const auto refused = [&](const std::string& why) {
    return FileError(name + ": the DC log cannot be written: " + why);
  };
  std::string ending;  // what the file needs before the next row
#ifdef _WIN32
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA | SYNCHRONIZE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw refused(reasonOf(lastError()));
  LARGE_INTEGER size{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
    CloseHandle(file);
    throw refused("it is not a file on a disk");
  }
  if (size.QuadPart == 0) {
    ending = DcCsvHeader;
  } else {
    char last = 0;
    DWORD read = 0;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(size.QuadPart - 1);
    at.OffsetHigh = static_cast<DWORD>((size.QuadPart - 1) >> 32);
    if (ReadFile(file, &last, 1, &read, &at) && read == 1 && last != '\n') ending = "\r\n";
  }
  auto log = std::unique_ptr<DcLogFile>(new DcLogFile(reinterpret_cast<Handle>(file), name));
#else
  // O_NONBLOCK: a FIFO must not hold start-up; it is refused below.
  int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0 && errno == EACCES) {
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  }
  if (fd < 0) throw refused(reasonOf(lastError()));
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    throw refused("it is not a regular file");
  }
  fcntl(fd, F_SETFL, O_APPEND);  // ordinary, blocking writes from here on
  if (status.st_size == 0) {
    ending = DcCsvHeader;
  } else {
    char last = 0;
    // A file we may only write: its last line is taken as whole.
    if (pread(fd, &last, 1, status.st_size - 1) == 1 && last != '\n') ending = "\r\n";
  }
  auto log = std::unique_ptr<DcLogFile>(new DcLogFile(fd, name));
#endif
  if (!ending.empty()) log->append(ending);
  return log;
}

DcLogFile::DcLogFile(Handle handle, std::string name)
    : handle_(handle),
      name_(std::move(name)),
      syncer_([this](std::stop_token stop) { syncEverySecond(stop); }) {}

DcLogFile::~DcLogFile() {
  syncer_.request_stop();
  syncer_.join();
#ifdef _WIN32
  const auto file = reinterpret_cast<HANDLE>(handle_);
  FlushFileBuffers(file);
  CloseHandle(file);
#else
  fsync(static_cast<int>(handle_));
  ::close(static_cast<int>(handle_));
#endif
}

void DcLogFile::append(const std::string& row) {
  {
    const std::lock_guard lock(mutex_);
    if (!syncFailure_.empty()) throw FileError(name_ + ": " + syncFailure_);
  }
  write(row);
  {
    const std::lock_guard lock(mutex_);
    unsynced_ = true;
  }
  written_.notify_one();
}

// One write for the whole row: a file opened for appending takes it at its end in one piece.
void DcLogFile::write(const std::string& text) {
#ifdef _WIN32
  DWORD written = 0;
  const bool done = WriteFile(reinterpret_cast<HANDLE>(handle_), text.data(),
                              static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
#else
  const auto written = ::write(static_cast<int>(handle_), text.data(), text.size());
  const bool done = written == static_cast<ssize_t>(text.size());
  if (written >= 0 && !done) errno = ENOSPC;  // a short write: the disk is full
#endif
  if (!done) throw FileError(name_ + ": " + reasonOf(lastError()));
}

// Syncs what was written, then rests a second, so that a log costs the disk one sync a second at
// most whatever the tick rate.
void DcLogFile::syncEverySecond(std::stop_token stop) {
  std::unique_lock lock(mutex_);
  while (!stop.stop_requested()) {
    if (!written_.wait(lock, stop, [this] { return unsynced_; })) return;
    unsynced_ = false;
    lock.unlock();
#ifdef _WIN32
    const bool synced = FlushFileBuffers(reinterpret_cast<HANDLE>(handle_));
#else
    const bool synced = fsync(static_cast<int>(handle_)) == 0;
#endif
    const int error = synced ? 0 : lastError();
    lock.lock();
    if (!synced) syncFailure_ = reasonOf(error);
    written_.wait_for(lock, stop, std::chrono::seconds(1), [] { return false; });
  }
}

}  // namespace orvane::app
