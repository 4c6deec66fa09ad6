// Paths from and to UTF-8 text on every host (on Windows a narrow std::string would be read in the
// ANSI code page, which loses every character outside it).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vx::oxac {

[[nodiscard]] inline std::filesystem::path Utf8Path(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

[[nodiscard]] inline std::string PathUtf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace vx::oxac
