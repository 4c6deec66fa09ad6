// The two views a command's bitness mode selects, each held for exactly one command (or one
// worker thread's work) as a scoped object.
//
//   FileSystemViewSwitch: under WOW64, with a mode other than "Win32", file-system redirection is
//   off for the calling thread while the object lives. On the main thread a nested switch does
//   not disable twice and only the switch that disabled re-enables; a worker thread switches its
//   own view whatever the main thread did. A 64-bit engine process is never redirected.
//
//   RegistryViewSwitch: on 64-bit Windows the engine's registry objects add KEY_WOW64_64KEY for a
//   mode other than "Win32" and KEY_WOW64_32KEY for "Win32"; on 32-bit Windows no bit. Afterwards
//   the bits go back to the default, KEY_WOW64_32KEY on 64-bit Windows.
#pragma once

#include <cstdint>

#include "script/Text.h"

namespace vx {

inline constexpr uint32_t kKeyWow64_64Key = 0x0100;
inline constexpr uint32_t kKeyWow64_32Key = 0x0200;

// The extra access bits every registry open of the engine adds now.
[[nodiscard]] uint32_t RegistryViewBits();

class FileSystemViewSwitch {
 public:
  explicit FileSystemViewSwitch(TextView bitnessMode, bool workerThread = false);
  ~FileSystemViewSwitch();
  FileSystemViewSwitch(const FileSystemViewSwitch&) = delete;
  FileSystemViewSwitch& operator=(const FileSystemViewSwitch&) = delete;

  [[nodiscard]] bool Disabled() const { return disabled_; }

 private:
  bool disabled_ = false;
  bool workerThread_;
  void* previous_ = nullptr;
};

class RegistryViewSwitch {
 public:
  explicit RegistryViewSwitch(TextView bitnessMode);
  ~RegistryViewSwitch();
  RegistryViewSwitch(const RegistryViewSwitch&) = delete;
  RegistryViewSwitch& operator=(const RegistryViewSwitch&) = delete;
};

}  // namespace vx
