// Start-up steps whose work belongs to other subsystems. The entry calls them at fixed points of
// its sequence; each subsystem fills its own function, so the order of start-up stays in one place.
#pragma once

#include "script/RunTrace.h"
#include "script/CompiledScript.h"
#include "script/StartupValues.h"

namespace vx {

// Language data carried after the archive library's image: written out, loaded as the language
// file of the message table, deleted.
void LoadAppendedLanguageData(const StartupValues& values);

// Extracts the whole resource archive into the support folder, overwriting. False when the
// extraction failed (the entry then stops with "Setup resource decompression failure").
[[nodiscard]] bool ExtractResourceArchive(const StartupValues& values);

// The extraction mode of the engine executable: exit code 0 (done, result written), 1 (parameter
// file missing) or 2 (archive missing).
[[nodiscard]] int RunOutOfProcessExtract(const Text& parameterFile);

// Start-up window and splash (none in a silent or update run).
void ShowStartupWindow(const StartupValues& values);
void ShowStartupImage(const StartupValues& values);  // "veltrix.png" from the support folder
void SetStartupProgress(int position, int maximum);
void CloseStartupWindow();

// Wizard pages: prepare the dialog runtime, then preload each "Display Dialog" page under the
// statement's number.
void PrepareDialogRuntime(const Text& supportFolder);
void PreloadDialog(const Text& pageFile, size_t statement);

// End-of-run: the product cache folder of this product (empty while unknown) and the save of the
// installed-product state.
[[nodiscard]] Text ProductCacheFolder(const CompiledScript& script);
void EndOfRunSave(const CompiledScript& script);

}  // namespace vx
