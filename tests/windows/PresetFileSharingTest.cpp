// The presets file on Windows, shared as a lab shares it: a panel reading the file never keeps
// another from replacing it, a reader that does not share delete makes the store busy (within its
// limit, nothing lost), and a read-only file, a held lock and a folder are each refused by name.
// Sharing is a property of each open handle, so a handle of this process stands for another's.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/FileLock.h"
#include "app/PresetFile.h"
#include "tests/windows/Check.h"

namespace {

using orvane::app::FileBusy;
using orvane::app::PresetFile;
using orvane::app::PresetFileError;
using orvane::app::StoreWait;
using orvane::controller::Preset;

std::filesystem::path freshFolder(const char* name) {
  const auto folder = std::filesystem::temp_directory_path() / name;
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

HANDLE openForReading(const std::filesystem::path& file, DWORD sharing) {
  return CreateFileW(file.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string failureOf(const PresetFile& presets, const StoreWait& wait = {}) {
  try {
    presets.store(Preset{"Refused", 0, {}, {}, {}}, wait);
    return "";
  } catch (const PresetFileError& error) {
    return error.what();
  }
}

bool holds(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_CASE("a store replaces the file while another panel reads it with delete sharing") {
  const auto file = freshFolder("orvane-sharing-reader") / "presets.toml";
  const PresetFile presets(file);
  presets.store(Preset{"A", 0, {}, {}, {}});
  const HANDLE reader =
      openForReading(file, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  REQUIRE(reader != INVALID_HANDLE_VALUE);
  presets.store(Preset{"B", 0, {}, {}, {}});  // what our own reads leave open
  CloseHandle(reader);
  CHECK_EQ(presets.load().size(), std::size_t{2});
  CHECK(!std::filesystem::exists(std::filesystem::path(file).concat(".new")));
}

TEST_CASE("a reader that does not share delete makes the store busy, and nothing is lost") {
  const auto file = freshFolder("orvane-sharing-busy") / "presets.toml";
  const PresetFile presets(file);
  presets.store(Preset{"A", 0, {}, {}, {}});
  const HANDLE reader = openForReading(file, FILE_SHARE_READ);
  REQUIRE(reader != INVALID_HANDLE_VALUE);
  StoreWait wait;
  wait.busyLimit = std::chrono::milliseconds(200);
  const std::string refused = failureOf(presets, wait);
  CloseHandle(reader);
  // Wine may replace the file all the same; Windows refuses until the reader lets go.
  if (!refused.empty()) CHECK(holds(refused, "is busy: another program holds it open"));
  CHECK(!std::filesystem::exists(std::filesystem::path(file).concat(".new")));
  CHECK(presets.load().contains("A"));
}

TEST_CASE("a read-only file, a held lock and a folder are refused by name") {
  const auto folder = freshFolder("orvane-sharing-refused");
  const auto file = folder / "presets.toml";
  const PresetFile presets(file);
  presets.store(Preset{"A", 0, {}, {}, {}});

  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
  CHECK(holds(failureOf(presets), "is read-only: nothing can be stored in it"));
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);

  {
    const orvane::app::FileLock held(std::filesystem::path(file).concat(".lock"), "held",
                                     std::chrono::milliseconds(100), {});
    StoreWait wait;
    wait.lockLimit = std::chrono::milliseconds(100);
    CHECK(holds(failureOf(presets, wait), "another program is storing into"));
  }
  CHECK(holds(failureOf(PresetFile(folder)), "is a folder, not a presets file"));
  CHECK(holds(failureOf(PresetFile(folder / "gone" / "p.toml")), "does not exist"));
  CHECK_EQ(presets.load().size(), std::size_t{1});
}

}  // namespace

CHECK_MAIN
