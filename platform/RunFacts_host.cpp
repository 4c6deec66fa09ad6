// Host stand-ins: no window messages, no registry, every drive fixed, no WOW64.
#include <filesystem>
#include <fstream>
#include <iostream>

#include "platform/RunFacts.h"

namespace vx::platform {

namespace {

std::optional<bool> testWow64;

std::filesystem::path HostPath(TextView path) { return std::filesystem::path(TextToUtf8(path)); }

}  // namespace

void PumpMessages() {}

std::optional<Text> ReadUninstallString(bool, TextView) { return std::nullopt; }

bool IsOnFixedDrive(TextView) { return true; }

bool PathExists(TextView path) {
  std::error_code ec;
  return std::filesystem::exists(HostPath(path), ec);
}

bool CreateEmptyFile(TextView path) {
  std::ofstream out(HostPath(path), std::ios::binary | std::ios::trunc);
  return static_cast<bool>(out);
}

bool DeletePlainFile(TextView path) {
  std::error_code ec;
  return std::filesystem::remove(HostPath(path), ec);
}

bool CreateOneFolder(TextView path) {
  std::error_code ec;
  return std::filesystem::create_directory(HostPath(path), ec) && !ec;
}

bool RemoveEmptyFolder(TextView path) {
  std::error_code ec;
  return std::filesystem::is_empty(HostPath(path), ec) && std::filesystem::remove(HostPath(path), ec);
}

void ShowErrorBox(TextView text, TextView caption) {
  std::cerr << TextToUtf8(caption) << ": " << TextToUtf8(text) << '\n';
}

bool ProcessUnderWow64() { return testWow64.value_or(false); }
bool RegistryViewsApply() { return testWow64.value_or(false); }
void SetWow64ForTesting(std::optional<bool> underWow64) { testWow64 = underWow64; }

bool DisableFileSystemRedirection(void*& previous) {
  previous = nullptr;
  return false;
}
void RevertFileSystemRedirection(void*) {}

}  // namespace vx::platform
