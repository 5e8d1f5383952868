#pragma once

#include <chrono>
#include <filesystem>

#include "app/FileAccess.h"

namespace orvane::app {

// An exclusive lock on a file of its own (created if need be), held for as long as this lives;
// other processes and threads that take it wait. The wait has a limit: past it FileBusy is thrown,
// and meanwhile `pause` keeps the window alive. Other errors throw FileError.
//
// The lock file is made with mode 0666 less the umask, so that everyone who may write the folder
// may take it. One that another user made and that we may only read is opened read-only, which
// serves flock on local file systems (NFS and SMB need the read-write case).
class FileLock {
 public:
  FileLock(const std::filesystem::path& path, const std::string& name,
           std::chrono::milliseconds limit, const Pause& pause);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
#ifdef _WIN32
  void* handle_ = nullptr;  // a HANDLE
#else
  int fd_ = -1;
#endif
};

}  // namespace orvane::app
