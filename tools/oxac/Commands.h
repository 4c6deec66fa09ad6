// The command names the engine knows, for checking what a source line names.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace vx::oxac {

// Every built-in command name, exactly as the engine matches it (case, blanks and punctuation count).
[[nodiscard]] std::span<const std::string_view> BuiltInCommands();

[[nodiscard]] bool IsBuiltInCommand(std::string_view name);

// The built-in name a mistyped one most likely meant: the same words with other letter case or
// other blanks between them. Nothing when no name is that close.
[[nodiscard]] std::optional<std::string_view> SuggestCommand(std::string_view name);

}  // namespace vx::oxac
