#include "app/FileLock.h"

#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace orvane::app {

namespace {

[[noreturn]] void fail(const char* what, const std::filesystem::path& path, int error) {
  throw std::filesystem::filesystem_error(what, path,
                                          std::error_code(error, std::system_category()));
}

}  // namespace

#ifdef _WIN32

FileLock::FileLock(const std::filesystem::path& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) fail("cannot lock", path, static_cast<int>(GetLastError()));
  OVERLAPPED whole{};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
    const auto error = static_cast<int>(GetLastError());
    CloseHandle(file);
    fail("cannot lock", path, error);
  }
  handle_ = file;
}

FileLock::~FileLock() {
  OVERLAPPED whole{};
  UnlockFileEx(handle_, 0, MAXDWORD, MAXDWORD, &whole);
  CloseHandle(handle_);
}

void replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  HANDLE file = CreateFileW(from.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) fail("cannot write", from, static_cast<int>(GetLastError()));
  const bool flushed = FlushFileBuffers(file);
  const auto error = static_cast<int>(GetLastError());
  CloseHandle(file);
  if (!flushed) fail("cannot write", from, error);
  if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    fail("cannot replace", to, static_cast<int>(GetLastError()));
  }
}

#else

FileLock::FileLock(const std::filesystem::path& path) {
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) fail("cannot lock", path, errno);
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    const int error = errno;
    ::close(fd_);
    fail("cannot lock", path, error);
  }
}

FileLock::~FileLock() {
  ::close(fd_);  // the lock goes with it
}

void replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  const int fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) fail("cannot write", from, errno);
  const bool synced = ::fsync(fd) == 0;
  const int error = errno;
  ::close(fd);
  if (!synced) fail("cannot write", from, error);
  std::filesystem::rename(from, to);  // rename(2) replaces the file at once
}

#endif

}  // namespace orvane::app
