#include <filesystem>

#include "platform/PathForms.h"

namespace vx::platform {

Text ExpandEnvironmentText(TextView text) { return Text(text); }

Text AbsolutePath(TextView path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(std::filesystem::path(TextToUtf8(path)), ec);
  return ec ? Text() : Utf8ToText(p.lexically_normal().string());
}

std::optional<Text> LongPathForm(TextView path) { return Text(path); }
std::optional<Text> ShortPathForm(TextView path) { return Text(path); }

Text LocaleCase(TextView text, bool upper) { return upper ? UpperText(text) : LowerText(text); }

}  // namespace vx::platform
