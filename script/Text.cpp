#include "script/Text.h"

#include <limits>

namespace vx {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

void AppendUtf16(Text& out, uint32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

// Latin Extended-A pairs letters as (upper, lower) on even/odd or odd/even code points.
bool IsExtAUpper(char16_t c) {
  if ((c >= 0x0100 && c <= 0x0137) || (c >= 0x014A && c <= 0x0177)) return (c & 1) == 0;
  if ((c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E)) return (c & 1) == 1;
  return false;
}

bool IsExtALower(char16_t c) {
  if ((c >= 0x0101 && c <= 0x0137) || (c >= 0x014B && c <= 0x0177)) return (c & 1) == 1;
  if ((c >= 0x013A && c <= 0x0148) || (c >= 0x017A && c <= 0x017E)) return (c & 1) == 0;
  return false;
}

template <typename Int>
std::optional<Int> ParseInt(TextView text) {
  size_t i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  size_t end = text.size();
  while (end > i && text[end - 1] == u' ') --end;
  bool negative = false;
  if (i < end && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  if (i == end) return std::nullopt;
  // Accumulate as a negative number so that the most negative value fits.
  Int value = 0;
  constexpr Int kMin = std::numeric_limits<Int>::min();
  for (; i < end; ++i) {
    char16_t c = text[i];
    if (c < u'0' || c > u'9') return std::nullopt;
    Int digit = static_cast<Int>(c - u'0');
    if (value < (kMin + digit) / 10) return std::nullopt;
    value = static_cast<Int>(value * 10 - digit);
  }
  if (!negative) {
    if (value == kMin) return std::nullopt;
    value = static_cast<Int>(-value);
  }
  return value;
}

}  // namespace

Text Utf8ToText(std::string_view s) {
  Text out;
  out.reserve(s.size());
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
      out.push_back(b0);
      ++i;
      continue;
    }
    int extra = 0;
    uint32_t cp = 0;
    uint32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) { extra = 1; cp = b0 & 0x1F; min = 0x80; }
    else if ((b0 & 0xF0) == 0xE0) { extra = 2; cp = b0 & 0x0F; min = 0x800; }
    else if ((b0 & 0xF8) == 0xF0) { extra = 3; cp = b0 & 0x07; min = 0x10000; }
    else { out.push_back(kReplacement); ++i; continue; }
    if (i + extra >= n) { out.push_back(kReplacement); ++i; continue; }
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      auto b = static_cast<unsigned char>(s[i + k]);
      if ((b & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (b & 0x3F);
    }
    if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    AppendUtf16(out, cp);
    i += extra + 1;
  }
  return out;
}

std::string TextToUtf8(TextView t) {
  std::string out;
  out.reserve(t.size());
  for (size_t i = 0; i < t.size(); ++i) {
    uint32_t cp = t[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < t.size() && t[i + 1] >= 0xDC00 && t[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (t[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

char16_t LowerChar(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
  if ((c >= 0x00C0 && c <= 0x00DE && c != 0x00D7) || (c >= 0x0391 && c <= 0x03AB && c != 0x03A2) ||
      (c >= 0x0410 && c <= 0x042F))
    return static_cast<char16_t>(c + 0x20);
  if (c >= 0x0400 && c <= 0x040F) return static_cast<char16_t>(c + 0x50);
  if (c == 0x0178) return 0x00FF;
  if (IsExtAUpper(c)) return static_cast<char16_t>(c + 1);
  return c;
}

char16_t UpperChar(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
  if ((c >= 0x00E0 && c <= 0x00FE && c != 0x00F7) || (c >= 0x03B1 && c <= 0x03CB && c != 0x03C2) ||
      (c >= 0x0430 && c <= 0x044F))
    return static_cast<char16_t>(c - 0x20);
  if (c >= 0x0450 && c <= 0x045F) return static_cast<char16_t>(c - 0x50);
  if (c == 0x00FF) return 0x0178;
  if (IsExtALower(c)) return static_cast<char16_t>(c - 1);
  return c;
}

Text LowerText(TextView text) {
  Text out(text);
  for (auto& c : out) c = LowerChar(c);
  return out;
}

Text UpperText(TextView text) {
  Text out(text);
  for (auto& c : out) c = UpperChar(c);
  return out;
}

bool SameText(TextView a, TextView b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && LowerChar(a[i]) != LowerChar(b[i])) return false;
  return true;
}

Text IntToText(int64_t value) { return T(std::to_string(value)); }

std::optional<int32_t> TextToInt32(TextView text) { return ParseInt<int32_t>(text); }
std::optional<int64_t> TextToInt64(TextView text) { return ParseInt<int64_t>(text); }

Text ReplaceText(TextView value, TextView find, TextView replacement, bool ignoreCase, bool all) {
  if (find.empty()) return Text(value);
  const Text haystack = ignoreCase ? LowerText(value) : Text(value);
  const Text needle = ignoreCase ? LowerText(find) : Text(find);
  Text out;
  size_t from = 0;
  for (size_t at = haystack.find(needle); at != Text::npos; at = haystack.find(needle, from)) {
    out.append(value.substr(from, at - from)).append(replacement);
    from = at + needle.size();
    if (!all) break;
  }
  return out.append(value.substr(from));
}

bool StartsWith(TextView text, TextView prefix) { return text.substr(0, prefix.size()) == prefix; }
bool EndsWith(TextView text, TextView suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace vx
