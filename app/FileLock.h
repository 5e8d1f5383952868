#pragma once

#include <filesystem>

namespace orvane::app {

// An exclusive lock on a file of its own (created if need be), held for as long as this lives;
// other processes and threads that take it wait. Throws std::filesystem::filesystem_error.
class FileLock {
 public:
  explicit FileLock(const std::filesystem::path& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  void* handle_ = nullptr;  // a HANDLE on Windows
  int fd_ = -1;
};

// Puts `from` in the place of `to` in one step (a rename that replaces the file there), once its
// contents are on the disk: a power cut leaves the old file or the new one, never half of one.
void replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace orvane::app
