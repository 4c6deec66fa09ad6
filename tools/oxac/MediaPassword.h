// The encoded form in which the compiled script stores the archive passwords of web media blocks.
//
// Encoding: each password character becomes two hexadecimal digits, low digit first; each
// character of that text is XOR-ed with its zero-based position; each result becomes two
// hexadecimal digits, high digit first. The engine undoes the three steps in reverse order.
#pragma once

#include <optional>

#include "script/Text.h"

namespace vx::oxac {

// The longest password the encoding can carry: the intermediate text (two characters per password
// character) must keep every position below 256 so that each XOR result fits two digits.
inline constexpr size_t kMaxMediaPasswordLength = 128;

// The stored form, or nothing when the password has a character above U+00FF or is too long.
[[nodiscard]] std::optional<Text> EncodeMediaPassword(TextView password);

}  // namespace vx::oxac
