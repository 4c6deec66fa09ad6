// The operating-system facts and actions the interpreter loop and the command table need:
// the message pump, the product's uninstall entry, drive types, marker files and folders, the
// run-time error box, and the WOW64 views. Windows answers through Win32; the Linux host has
// stand-ins (no windows, no registry, every drive fixed) so the loop is tested there.
#pragma once

#include <optional>

#include "script/Text.h"

namespace vx::platform {

// Handles the window messages waiting for this thread.
void PumpMessages();

// The value "UninstallString" of the Add/Remove Programs key named by the title, under
// HKEY_LOCAL_MACHINE (machine) or HKEY_CURRENT_USER; nothing when it cannot be read.
[[nodiscard]] std::optional<Text> ReadUninstallString(bool machine, TextView title);

// The drive of the path is a fixed disk (a path without a drive counts as fixed).
[[nodiscard]] bool IsOnFixedDrive(TextView path);

[[nodiscard]] bool PathExists(TextView path);
[[nodiscard]] bool CreateEmptyFile(TextView path);
bool DeletePlainFile(TextView path);
// Creates one folder (its parent must exist); false when it cannot.
[[nodiscard]] bool CreateOneFolder(TextView path);
// Removes a folder when it is empty.
bool RemoveEmptyFolder(TextView path);

// A message box with no owner window, the error icon and the caption.
void ShowErrorBox(TextView text, TextView caption);

// The engine process runs under WOW64 (a 32-bit engine on 64-bit Windows).
[[nodiscard]] bool ProcessUnderWow64();
// The registry views apply: 64-bit Windows, whether the engine is the 32-bit build under WOW64 or
// the 64-bit build (which treats itself as a 32-bit engine on 64-bit Windows for the view bits).
[[nodiscard]] bool RegistryViewsApply();
// Tests fix both answers; nothing gives back the real ones.
void SetWow64ForTesting(std::optional<bool> underWow64);

// Turns WOW64 file-system redirection off for the calling thread; `previous` receives what
// RevertFileSystemRedirection needs. False when the system has no such switch or refuses.
[[nodiscard]] bool DisableFileSystemRedirection(void*& previous);
void RevertFileSystemRedirection(void* previous);

}  // namespace vx::platform
