#include "app/FileAccess.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

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

using host::pathText;

namespace {

// Links followed before a path counts as looping, as the kernel counts them.
constexpr int MostLinks = 40;

std::filesystem::path folderOf(const std::filesystem::path& path) {
  return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

[[noreturn]] void missingFolder(const std::filesystem::path& path, const std::string& name) {
  throw FileError(name + ": the folder " + pathText(folderOf(path)) + " does not exist");
}

[[noreturn]] void notAFile(const std::string& name, const char* kind) {
  throw FileError(name + " is " + kind + ", not a presets file");
}

}  // namespace

void sleepUntil(std::chrono::steady_clock::time_point until) {
  std::this_thread::sleep_until(until);
}

std::string reasonOf(int error) {
  return std::system_category().message(error);
}

#ifdef _WIN32

namespace {

[[noreturn]] void failed(const std::filesystem::path& path, const std::string& name, DWORD error) {
  switch (error) {
    case ERROR_PATH_NOT_FOUND:
      missingFolder(path, name);
    case ERROR_FILENAME_EXCED_RANGE:
      throw FileError(name + ": the name is too long for the file system");
    case ERROR_CANT_RESOLVE_FILENAME:
      throw FileError(name + ": its path loops through symbolic links");
    default:
      throw FileError(name + ": " + reasonOf(static_cast<int>(error)));
  }
}

[[noreturn]] void failed(const std::filesystem::path& path, const std::string& name,
                         const std::error_code& error) {
  if (error.category() == std::system_category())
    failed(path, name, static_cast<DWORD>(error.value()));
  throw FileError(name + ": " + error.message());
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  bool close() { return CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)) != 0; }

 private:
  HANDLE handle_;
};

}  // namespace

Presence checkFile(const std::filesystem::path& path, const std::string& name) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) failed(path, name, error);
    const DWORD folder = GetFileAttributesW(folderOf(path).c_str());
    if (folder == INVALID_FILE_ATTRIBUTES || !(folder & FILE_ATTRIBUTE_DIRECTORY)) {
      missingFolder(path, name);
    }
    return Presence::Missing;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) notAFile(name, "a folder");
  return Presence::Regular;
}

// Read with every kind of sharing, delete included, so that a panel reading the file never keeps
// another from replacing it.
std::optional<std::string> readWhole(const std::filesystem::path& path, const std::string& name,
                                     std::size_t limit) {
  if (checkFile(path, name) == Presence::Missing) return std::nullopt;
  Handle file(CreateFileW(path.c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return std::nullopt;  // gone since
    throw FileError(name + ": cannot be read: " + reasonOf(static_cast<int>(error)));
  }
  if (GetFileType(file.get()) != FILE_TYPE_DISK) notAFile(name, "a device");
  std::string text;
  char buffer[16384];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
      throw FileError(name + ": cannot be read: " + reasonOf(static_cast<int>(GetLastError())));
    }
    if (got == 0) return text;
    text.append(buffer, got);
    if (text.size() > limit) {
      throw FileError(name + " is larger than " + std::to_string(limit / 1024) +
                      " KiB: that is no presets file");
    }
  }
}

void checkWritable(const std::filesystem::path& path, const std::string& name) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    throw FileError(name + " is read-only: nothing can be stored in it");
  }
}

void replaceWith(const std::filesystem::path& path, const std::string& text,
                 const std::string& name, std::chrono::milliseconds busyLimit, const Pause& pause) {
  const auto temporary = std::filesystem::path(path).concat(".new");
  const auto fail = [&](const std::string& why) {
    DeleteFileW(temporary.c_str());
    throw FileError(name + ": cannot be written: " + why + "; it is as it was");
  };
  {
    Handle out(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (out.get() == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      throw FileError(name + ": cannot be written beside it (" + pathText(temporary) +
                      "): " + reasonOf(static_cast<int>(error)) + "; it is as it was");
    }
    DWORD wrote = 0;
    if (!WriteFile(out.get(), text.data(), static_cast<DWORD>(text.size()), &wrote, nullptr) ||
        wrote != text.size() || !FlushFileBuffers(out.get()) || !out.close()) {
      fail(reasonOf(static_cast<int>(GetLastError())));
    }
  }
  // A virus scanner or another program holding the file open refuses the replace for a while.
  const auto deadline = std::chrono::steady_clock::now() + busyLimit;
  for (;;) {
    if (MoveFileExW(temporary.c_str(), path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) {
      fail(reasonOf(static_cast<int>(error)));
    }
    // ReplaceFileW swaps the file in place, which Wine (and some shares) allow where a rename over
    // a file that a reader holds open with delete sharing is refused.
    if (ReplaceFileW(path.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                     nullptr, nullptr)) {
      return;
    }
    if (GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
      // The old file has been moved aside and the new one is still FILE.new: put it in place, or
      // leave it there and say so, never removing the only whole copy.
      if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) return;
      throw FileError(name + ": could not be replaced; what was to be written is in " +
                      pathText(temporary));
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      DeleteFileW(temporary.c_str());
      throw FileBusy(name +
                     " is busy: another program holds it open, so it could not be "
                     "replaced. Try again in a moment.");
    }
    (pause ? pause : sleepUntil)(std::min(now + std::chrono::milliseconds(50), deadline));
  }
}

#else

namespace {

const char* kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO (a named pipe)";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a regular file";
}

[[noreturn]] void failed(const std::filesystem::path& path, const std::string& name, int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      missingFolder(path, name);
    case ENAMETOOLONG:
      throw FileError(name + ": the name is too long for the file system");
    case ELOOP:
      throw FileError(name + ": its path loops through symbolic links");
    default:
      throw FileError(name + ": " + reasonOf(error));
  }
}

[[noreturn]] void failed(const std::filesystem::path& path, const std::string& name,
                         const std::error_code& error) {
  failed(path, name, error.value());  // errno values, in either category
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

bool folderExists(const std::filesystem::path& path) {
  struct stat folder {};
  return ::stat(folderOf(path).c_str(), &folder) == 0 && S_ISDIR(folder.st_mode);
}

}  // namespace

Presence checkFile(const std::filesystem::path& path, const std::string& name) {
  struct stat file {};
  if (::stat(path.c_str(), &file) != 0) {
    const int error = errno;
    if (error == ENOENT && folderExists(path)) return Presence::Missing;
    failed(path, name, error);
  }
  if (!S_ISREG(file.st_mode)) notAFile(name, kindOf(file.st_mode));
  if (::access(path.c_str(), R_OK) != 0) {
    throw FileError(name + ": cannot be read: " + reasonOf(errno));
  }
  return Presence::Regular;
}

// Opened without waiting (a FIFO would wait for a writer for ever), then checked to be a regular
// file before a byte is read.
std::optional<std::string> readWhole(const std::filesystem::path& path, const std::string& name,
                                     std::size_t limit) {
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (file.get() < 0) {
    const int error = errno;
    if (error == ENOENT && folderExists(path)) return std::nullopt;
    if (error == EACCES) throw FileError(name + ": cannot be read: " + reasonOf(error));
    failed(path, name, error);
  }
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) {
    throw FileError(name + ": cannot be read: " + reasonOf(errno));
  }
  if (!S_ISREG(status.st_mode)) notAFile(name, kindOf(status.st_mode));
  const auto tooLarge = [&] {
    throw FileError(name + " is larger than " + std::to_string(limit / 1024) +
                    " KiB: that is no presets file");
  };
  if (static_cast<std::uintmax_t>(status.st_size) > limit) tooLarge();
  std::string text;
  char buffer[16384];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw FileError(name + ": cannot be read: " + reasonOf(errno));
    if (got == 0) return text;
    text.append(buffer, static_cast<std::size_t>(got));
    if (text.size() > limit) tooLarge();
  }
}

void checkWritable(const std::filesystem::path& path, const std::string& name) {
  struct stat file {};
  if (::stat(path.c_str(), &file) != 0) return;  // a store makes it
  // No write bit at all is a frozen file, for root too; otherwise the user's own right decides.
  if ((file.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0) {
    throw FileError(name + " is read-only: nothing can be stored in it");
  }
}

void replaceWith(const std::filesystem::path& path, const std::string& text,
                 const std::string& name, std::chrono::milliseconds /*busyLimit*/,
                 const Pause& /*pause*/) {
  const auto temporary = std::filesystem::path(path).concat(".new");
  struct stat old {};
  const bool replacing = ::stat(path.c_str(), &old) == 0;
  Descriptor out(
      ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666));
  if (out.get() < 0) {
    throw FileError(name + ": cannot be written beside it (" + pathText(temporary) +
                    "): " + reasonOf(errno) + "; it is as it was");
  }
  const auto fail = [&](int error) {
    ::unlink(temporary.c_str());
    throw FileError(name + ": cannot be written: " + reasonOf(error) + "; it is as it was");
  };
  if (replacing) {
    if (::fchmod(out.get(), old.st_mode & 07777) != 0) fail(errno);
    [[maybe_unused]] const int kept = ::fchown(out.get(), static_cast<uid_t>(-1), old.st_gid);
  }
  for (std::size_t written = 0; written < text.size();) {
    const ssize_t wrote = ::write(out.get(), text.data() + written, text.size() - written);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0) fail(errno);
    written += static_cast<std::size_t>(wrote);
  }
  if (::fsync(out.get()) != 0 || !out.close()) fail(errno);
  if (::rename(temporary.c_str(), path.c_str()) != 0) fail(errno);
  // The rename itself on the disk too, where the folder can be synced.
  Descriptor folder(::open(folderOf(path).c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY));
  if (folder.get() >= 0) ::fsync(folder.get());
}

#endif

std::filesystem::path followLinks(const std::filesystem::path& path, const std::string& name) {
  std::filesystem::path file = path;
  for (int followed = 0;; ++followed) {
    std::error_code error;
    if (!std::filesystem::is_symlink(file, error)) {
      if (error && error != std::errc::no_such_file_or_directory) failed(file, name, error);
      return file;
    }
    if (followed == MostLinks) throw FileError(name + ": its path loops through symbolic links");
    const auto target = std::filesystem::read_symlink(file, error);
    if (error) failed(file, name, error);
    file = target.is_absolute() ? target : folderOf(file) / target;
  }
}

}  // namespace orvane::app
