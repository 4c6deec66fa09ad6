// Whole-file reads and appends by path, on Windows through the wide-character API so that every
// path the engine meets (long, non-ASCII) works; on the Linux host through the C library.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "script/Text.h"

namespace vx::platform {

// Appends bytes to the file, creating it; with truncate the file is first emptied.
[[nodiscard]] bool AppendToFile(const Text& path, std::string_view bytes, bool truncate);

// The whole file, or nothing when it cannot be read.
[[nodiscard]] std::optional<std::string> ReadWholeFile(const Text& path);

}  // namespace vx::platform
