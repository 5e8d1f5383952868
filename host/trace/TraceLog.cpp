#include "host/trace/TraceLog.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "host/PathText.h"

namespace orvane::host::trace {

namespace {

std::FILE* openForWriting(const std::filesystem::path& path, bool append) {
#ifdef _WIN32
  return _wfopen(path.c_str(), append ? L"ab" : L"wb");  // wide names: any folder will do
#else
  return std::fopen(path.c_str(), append ? "ab" : "wb");
#endif
}

}  // namespace

std::shared_ptr<TraceLog> TraceLog::open(const std::filesystem::path& path, Mode mode) {
  if (path == "-") return std::make_shared<TraceLog>(stderr, "standard error", false);
  const std::string name = pathText(path);
  if (name.empty()) throw TraceFileError("the trace needs a file name");
  errno = 0;
  std::FILE* out = openForWriting(path, mode == Mode::Append);
  if (out == nullptr) {
    const std::string reason = errno != 0 ? std::strerror(errno) : "it cannot be created";
    throw TraceFileError("cannot write the trace to " + name + ": " + reason);
  }
  return std::make_shared<TraceLog>(out, name, true);
}

TraceLog::TraceLog(std::FILE* out, std::string name, bool owned, std::FILE* errors)
    : out_(out), name_(std::move(name)), owned_(owned), errors_(errors) {}

TraceLog::~TraceLog() {
  if (owned_) std::fclose(out_);
}

void TraceLog::write(Clock::time_point began, std::string_view text) {
  const std::lock_guard lock(mutex_);
  writeHeldBackLocked();
  writeLocked(began, text);
}

void TraceLog::writeLocked(Clock::time_point began, std::string_view text) {
  if (failed_) return;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(began - start_).count();
  std::string line = std::to_string(std::max<decltype(ms)>(ms, 0));
  line += "ms ";
  line += text;
  line += '\n';

  errno = 0;
  const bool written = std::fwrite(line.data(), 1, line.size(), out_) == line.size();
  if (written && std::fflush(out_) == 0) return;
  failed_ = true;
  const std::string reason = errno != 0 ? std::strerror(errno) : "write error";
  std::fprintf(errors_, "orvane-panel: cannot write the trace to %s (%s); the trace stops here\n",
               name_.c_str(), reason.c_str());
  std::fflush(errors_);
}

void TraceLog::holdBack(Held slot, Clock::time_point began, std::string text) {
  const std::lock_guard lock(mutex_);
  held_[static_cast<int>(slot)] = Line{began, std::move(text)};
}

void TraceLog::dropHeldBack(Held slot) {
  const std::lock_guard lock(mutex_);
  held_[static_cast<int>(slot)].reset();
}

bool TraceLog::holdingBack(Held slot) const {
  const std::lock_guard lock(mutex_);
  return held_[static_cast<int>(slot)].has_value();
}

// Both held-back lines; start-up's rounds end before the first tick.
void TraceLog::writeHeldBackLocked() {
  for (auto& slot : held_) writeHeldBackLocked(slot);
}

void TraceLog::writeHeldBackLocked(std::optional<Line>& slot) {
  if (!slot) return;
  const Line held = std::move(*slot);
  slot.reset();
  writeLocked(held.began, held.text);
}

TraceLog::OpenId TraceLog::opened(Clock::time_point began, std::string text) {
  const std::lock_guard lock(mutex_);
  writeHeldBackLocked(held_[static_cast<int>(Held::Event)]);
  open_.push_back({nextOpen_, {began, std::move(text)}});
  return nextOpen_++;
}

void TraceLog::closed(OpenId id) {
  const std::lock_guard lock(mutex_);
  std::erase_if(open_, [id](const Open& item) { return item.id == id; });
}

void TraceLog::writeOpen(std::string_view prefix) {
  const std::lock_guard lock(mutex_);
  const auto now = Clock::now();
  writeHeldBackLocked();
  for (const auto& item : open_) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - item.line.began).count();
    std::string text(prefix);
    text += item.line.text;
    text += ", open for " + std::to_string(ms) + " ms";
    writeLocked(now, text);
  }
}

bool TraceLog::failed() const {
  const std::lock_guard lock(mutex_);
  return failed_;
}

}  // namespace orvane::host::trace
