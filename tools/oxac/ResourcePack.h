// Packing a project's resource folder (dialogs, images, language files) into the "<name>.res"
// archive that the engine extracts into its support folder at start-up.
#pragma once

#include <filesystem>

namespace vx::oxac {

// Packs every file below `resourceFolder` into the archive `archivePath`. On failure it writes
// the reason to the standard error stream, leaves no archive behind and returns false.
[[nodiscard]] bool PackResources(const std::filesystem::path& resourceFolder, const std::filesystem::path& archivePath);

}  // namespace vx::oxac
