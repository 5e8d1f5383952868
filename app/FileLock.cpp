#include "app/FileLock.h"

#include <algorithm>

#include "host/PathText.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace orvane::app {

namespace {

using Clock = std::chrono::steady_clock;
// How often a lock held by another program is tried again.
constexpr std::chrono::milliseconds TryAgainEvery{25};

[[noreturn]] void busy(const std::string& name, const std::filesystem::path& lock,
                       std::chrono::milliseconds limit) {
  throw FileBusy("another program is storing into " + name + ": it has held " +
                 host::pathText(lock) + " for more than " +
                 std::to_string(std::chrono::ceil<std::chrono::seconds>(limit).count()) +
                 " s. Try again once it has finished.");
}

// Tries `take` until it succeeds, fails for another reason, or the limit has passed.
template <class Take>
void takeWithin(Take take, const std::string& name, const std::filesystem::path& lock,
                std::chrono::milliseconds limit, const Pause& pause) {
  const auto deadline = Clock::now() + limit;
  while (!take()) {
    const auto now = Clock::now();
    if (now >= deadline) busy(name, lock, limit);
    (pause ? pause : sleepUntil)(std::min(now + TryAgainEvery, deadline));
  }
}

}  // namespace

#ifdef _WIN32

FileLock::FileLock(const std::filesystem::path& path, const std::string& name,
                   std::chrono::milliseconds limit, const Pause& pause) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    file = CreateFileW(path.c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) {
    throw FileError(name + ": its lock " + host::pathText(path) +
                    " cannot be opened: " + reasonOf(static_cast<int>(GetLastError())));
  }
  handle_ = file;
  try {
    takeWithin(
        [&] {
          OVERLAPPED whole{};
          if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                         MAXDWORD, &whole)) {
            return true;
          }
          const DWORD error = GetLastError();
          if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return false;
          throw FileError(name + ": its lock " + host::pathText(path) +
                          " cannot be taken: " + reasonOf(static_cast<int>(error)));
        },
        name, path, limit, pause);
  } catch (...) {
    CloseHandle(file);
    throw;
  }
}

FileLock::~FileLock() {
  OVERLAPPED whole{};
  UnlockFileEx(handle_, 0, MAXDWORD, MAXDWORD, &whole);
  CloseHandle(handle_);
}

#else

FileLock::FileLock(const std::filesystem::path& path, const std::string& name,
                   std::chrono::milliseconds limit, const Pause& pause) {
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd_ < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  }
  if (fd_ < 0) {
    throw FileError(name + ": its lock " + host::pathText(path) +
                    " cannot be opened: " + reasonOf(errno));
  }
  try {
    takeWithin(
        [&] {
          if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
          if (errno == EWOULDBLOCK || errno == EINTR) return false;
          throw FileError(name + ": its lock " + host::pathText(path) +
                          " cannot be taken: " + reasonOf(errno));
        },
        name, path, limit, pause);
  } catch (...) {
    ::close(fd_);
    throw;
  }
}

FileLock::~FileLock() {
  ::close(fd_);  // the lock goes with it
}

#endif

}  // namespace orvane::app
