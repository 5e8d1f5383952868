#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace orvane::app {

// A file that cannot be used as asked. The message names the file and says why, in words for a box.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Another program holds the file (its lock, or the file itself) for longer than we wait.
class FileBusy : public FileError {
 public:
  using FileError::FileError;
};

// Rests until the time given; a panel keeps its window painted meanwhile.
using Pause = std::function<void(std::chrono::steady_clock::time_point until)>;
void sleepUntil(std::chrono::steady_clock::time_point until);

// The file a path names once symbolic links are followed, so that a link to a shared file stays a
// link: the file is read, locked, written beside and replaced where it really is. A link to nothing
// yet names the file a store will make. `name` is the path as the operator gave it, for messages.
std::filesystem::path followLinks(const std::filesystem::path& path, const std::string& name);

// What is at a path, checked without opening it. Anything but a readable regular file, or nothing
// in a folder that exists, throws FileError: a name too long, a loop of links, a missing folder, a
// directory, a FIFO, a device, a file that may not be read.
enum class Presence { Missing, Regular };
Presence checkFile(const std::filesystem::path& path, const std::string& name);

// The whole file, at most `limit` bytes; none when it does not exist. Never waits on a FIFO or a
// device and never reads past the limit.
std::optional<std::string> readWhole(const std::filesystem::path& path, const std::string& name,
                                     std::size_t limit);

// Throws when the file exists and may not be written: a read-only file is how a lab freezes it.
void checkWritable(const std::filesystem::path& path, const std::string& name);

// Puts `text` in the place of the file at `path` in one step: written to PATH.new beside it (with
// the old file's mode and, where we may, its group), on the disk, then renamed over it. A power cut
// leaves the old file or the new one; a failure leaves the old file and no PATH.new. On Windows a
// replace that another program's open handle refuses is tried again for up to `busyLimit`.
void replaceWith(const std::filesystem::path& path, const std::string& text,
                 const std::string& name, std::chrono::milliseconds busyLimit, const Pause& pause);

// The reason text of an OS error code (errno, or GetLastError() on Windows).
std::string reasonOf(int error);

}  // namespace orvane::app
