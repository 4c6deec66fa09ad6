#include "script/CommandViews.h"

#include <atomic>

#include "platform/RunFacts.h"
#include "script/CommandTable.h"

namespace vx {

namespace {

// Set by the main thread's outermost switch that turned redirection off.
thread_local bool mainThreadRedirectionOff = false;

// While no switch is held the bits are the machine's default.
std::atomic<uint32_t> registryBits{0};
std::atomic<bool> registryBitsSet{false};

uint32_t DefaultRegistryBits() { return platform::RegistryViewsApply() ? kKeyWow64_32Key : 0; }

}  // namespace

uint32_t RegistryViewBits() { return registryBitsSet.load() ? registryBits.load() : DefaultRegistryBits(); }

FileSystemViewSwitch::FileSystemViewSwitch(TextView bitnessMode, bool workerThread) : workerThread_(workerThread) {
  if (!platform::ProcessUnderWow64() || bitnessMode == kModeWin32) return;
  if (!workerThread_ && mainThreadRedirectionOff) return;
  disabled_ = platform::DisableFileSystemRedirection(previous_);
  if (disabled_ && !workerThread_) mainThreadRedirectionOff = true;
}

FileSystemViewSwitch::~FileSystemViewSwitch() {
  if (!disabled_) return;
  platform::RevertFileSystemRedirection(previous_);
  if (!workerThread_) mainThreadRedirectionOff = false;
}

RegistryViewSwitch::RegistryViewSwitch(TextView bitnessMode) {
  uint32_t bits = 0;
  if (platform::RegistryViewsApply()) bits = bitnessMode == kModeWin32 ? kKeyWow64_32Key : kKeyWow64_64Key;
  registryBits.store(bits);
  registryBitsSet.store(true);
}

RegistryViewSwitch::~RegistryViewSwitch() { registryBitsSet.store(false); }

}  // namespace vx
