// The engine's text type and the few text helpers every unit needs.
//
// Text has UTF-16 semantics, as Windows' wchar_t: lengths, positions and comparisons count UTF-16
// code units on every host. Conversion to and from UTF-8 happens only at the edges (files, the
// compiled script, the host's paths).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vx {

using Text = std::u16string;
using TextView = std::u16string_view;

// UTF-8 <-> UTF-16. Malformed UTF-8 becomes U+FFFD; an unpaired surrogate becomes U+FFFD in UTF-8.
[[nodiscard]] Text Utf8ToText(std::string_view utf8);
[[nodiscard]] std::string TextToUtf8(TextView text);

// Text from a plain ASCII literal or number, for the engine's own fixed strings.
[[nodiscard]] inline Text T(std::string_view ascii) { return Text(ascii.begin(), ascii.end()); }

// Simple case mapping of one UTF-16 code unit (Latin, Greek and Cyrillic letters). It maps one unit
// to one unit, so a position found in a folded copy is valid in the original.
[[nodiscard]] char16_t LowerChar(char16_t c);
[[nodiscard]] char16_t UpperChar(char16_t c);
[[nodiscard]] Text LowerText(TextView text);
[[nodiscard]] Text UpperText(TextView text);

// Comparison without regard to case, code unit by code unit after folding to lower case.
[[nodiscard]] bool SameText(TextView a, TextView b);

// Decimal text of a number.
[[nodiscard]] Text IntToText(int64_t value);

// A whole number in decimal with an optional sign and blanks around it, or nothing when the text
// is not one or does not fit the type.
[[nodiscard]] std::optional<int32_t> TextToInt32(TextView text);
[[nodiscard]] std::optional<int64_t> TextToInt64(TextView text);

// The value with the first (or every) occurrence of find replaced. With ignoreCase the search runs
// on lower-cased copies; case mapping is one code unit to one, so the positions hold in the value.
// An empty find text changes nothing.
[[nodiscard]] Text ReplaceText(TextView value, TextView find, TextView replacement, bool ignoreCase, bool all);

[[nodiscard]] bool StartsWith(TextView text, TextView prefix);
[[nodiscard]] bool EndsWith(TextView text, TextView suffix);

}  // namespace vx
