// Language data carried after the archive library's image: the engine reads it at start-up and
// writes it out as "lang.loc"; the authoring tool appends it to the copy of the library it ships.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vx {

// The bytes after the PE image (the largest end of a section's raw data), or nothing when the
// file is not a PE image or carries nothing after it.
[[nodiscard]] std::optional<std::string_view> DataAfterImage(std::string_view file);

// The library's image followed by the language data; anything the library carried after its
// image before is replaced. Nothing when the library is not a PE image.
[[nodiscard]] std::optional<std::string> WithLanguageData(std::string_view library, std::string_view language);

}  // namespace vx
