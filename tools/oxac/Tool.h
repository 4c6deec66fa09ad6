// The oxac command line: "compile", "build" and "new".
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace vx::oxac {

struct ToolContext {
  std::filesystem::path self;  // the running oxac binary; the default engine stub is looked for beside it
  std::ostream& out;
  std::ostream& err;
  // Packs a resource folder into a .res archive; reports its own failure on the error stream.
  std::function<bool(const std::filesystem::path& folder, const std::filesystem::path& archive)> packResources;
};

// Runs one oxac command. Arguments exclude the program name and are UTF-8. Returns the process
// exit code: 0 done, 1 failed (the reason is on the error stream), 2 wrong usage.
[[nodiscard]] int RunOxac(const std::vector<std::string>& args, const ToolContext& context);

// Writes the bytes under a temporary name beside the target and renames it into place, so the
// target is either the old file or the complete new one. Raises std::runtime_error on failure.
void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace vx::oxac
