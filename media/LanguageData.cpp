#include "media/LanguageData.h"

#include "engine/PeImage.h"

namespace vx {

std::optional<std::string_view> DataAfterImage(std::string_view file) {
  std::optional<uint64_t> end = PeImageEnd(file.substr(0, kPeHeaderReadSize));
  if (!end || *end >= file.size()) return std::nullopt;
  return file.substr(static_cast<size_t>(*end));
}

std::optional<std::string> WithLanguageData(std::string_view library, std::string_view language) {
  std::optional<uint64_t> end = PeImageEnd(library.substr(0, kPeHeaderReadSize));
  if (!end || *end > library.size()) return std::nullopt;
  std::string result(library.substr(0, static_cast<size_t>(*end)));
  result.append(language);
  return result;
}

}  // namespace vx
