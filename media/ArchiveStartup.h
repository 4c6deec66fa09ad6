// The archive side of the engine's start-up: the language data carried by the archive library,
// and the setup's resource archive.
#pragma once

#include "script/StartupValues.h"
#include "script/Text.h"

namespace vx {

// Writes the language data appended to "oxa.lib" in the executable folder as "lang.loc", loads it
// as the language file and deletes it. Nothing happens when the library carries none.
void LoadAppendedLanguage(const StartupValues& values);

// Extracts the whole resource archive into the support folder, overwriting, keeping its folder
// tree. False with the error text when the extraction failed.
[[nodiscard]] bool ExtractSetupResources(const StartupValues& values, Text& error);

}  // namespace vx
