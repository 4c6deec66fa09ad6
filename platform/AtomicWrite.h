// Replacing a file's contents without a moment in which the file is missing or half written: the
// new contents go to a temporary file beside it, are flushed to the disk, and the temporary file
// then takes the file's name in one step.
#pragma once

#include <string_view>

#include "script/Text.h"

namespace vx::platform {

// Writes bytes to tempPath (created or emptied), flushes it, and moves it over path, replacing an
// existing file. On failure the temporary file is removed and path is left as it was.
[[nodiscard]] bool WriteFileAtomically(const Text& path, const Text& tempPath, std::string_view bytes);

}  // namespace vx::platform
