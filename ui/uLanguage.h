// The engine's message table and the setup caption.
//
// Messages are named by their entry number in the table; until a language file replaces them,
// each entry reads its built-in English text.
#pragma once

#include "script/Text.h"

namespace vx {

// Entries of the message table the engine uses by number.
enum class Msg : int {
  SetupResourceNotFound = 2,
  SetupResourceDecompressionFailure = 3,
  RuntimeErrorInInstall = 5,
  RuntimeErrorInSetupScript = 20,
  SetupCancelled = 116,
};

[[nodiscard]] Text MessageText(Msg entry);

// The caption of the engine's message boxes and windows, from the title and the logo flag.
[[nodiscard]] Text SetupCaption(TextView title, bool logoFlag);

// The caption for the title and logo flag the interpreter last cached; before the script runs,
// the title is empty.
[[nodiscard]] Text CurrentSetupCaption();
void SetCaptionSource(Text title, bool logoFlag);

// Reads a language file into the message table (the start-up "lang.loc" among others).
void LoadLanguageFile(const Text& path);

}  // namespace vx
