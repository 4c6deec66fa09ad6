#include "tools/oxac/MediaPassword.h"

namespace vx::oxac {

namespace {

constexpr char16_t kHex[] = u"0123456789ABCDEF";

}  // namespace

std::optional<Text> EncodeMediaPassword(TextView password) {
  if (password.size() > kMaxMediaPasswordLength) return std::nullopt;
  Text swapped;
  for (char16_t c : password) {
    if (c > 0xFF) return std::nullopt;
    swapped += kHex[c & 15];
    swapped += kHex[c >> 4];
  }
  Text stored;
  for (size_t i = 0; i < swapped.size(); ++i) {
    const unsigned mixed = static_cast<unsigned>(swapped[i]) ^ static_cast<unsigned>(i);
    stored += kHex[(mixed >> 4) & 15];
    stored += kHex[mixed & 15];
  }
  return stored;
}

}  // namespace vx::oxac
