// Path and text forms the string and path commands ask the system for: environment references,
// absolute, long and short path forms, and the locale's case mapping. The Linux host has
// stand-ins (no environment expansion, lexical absolute paths, long and short forms equal).
#pragma once

#include <optional>

#include "script/Text.h"

namespace vx::platform {

// %NAME% references replaced by the environment's values; empty when the system fails.
[[nodiscard]] Text ExpandEnvironmentText(TextView text);
// The absolute form, with "." and ".." segments resolved; empty when the system fails.
[[nodiscard]] Text AbsolutePath(TextView path);
// The names the file system reports for each existing component; nothing when it fails.
[[nodiscard]] std::optional<Text> LongPathForm(TextView path);
// The 8.3 form; nothing when it fails.
[[nodiscard]] std::optional<Text> ShortPathForm(TextView path);
// Upper or lower case with the user's locale.
[[nodiscard]] Text LocaleCase(TextView text, bool upper);

}  // namespace vx::platform
