#include "media/ArchiveRules.h"

#include <array>
#include <unordered_set>

#include "oxalib/OxaInterface.h"

namespace vx {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

std::vector<Text> SplitLines(std::string_view utf8) {
  if (utf8.substr(0, kUtf8Bom.size()) == kUtf8Bom) utf8.remove_prefix(kUtf8Bom.size());
  std::vector<Text> lines;
  while (!utf8.empty()) {
    size_t end = utf8.find('\n');
    std::string_view line = utf8.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(Utf8ToText(line));
    if (end == std::string_view::npos) break;
    utf8.remove_prefix(end + 1);
  }
  return lines;
}

std::string JoinLines(const std::vector<Text>& lines) {
  std::string out;
  for (const Text& line : lines) {
    out += TextToUtf8(line);
    out += "\r\n";
  }
  return out;
}

// The method switches of each level; "4" stands for every text that is not a known level.
TextView MethodSwitches(TextView level) {
  static const Text kLevel0 = T("-ms=off -mhc=off -m0=None -m0=Copy ");
  static const Text kLevel1 = T("-ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=23 -m1mf=hc4 -m1fb=64 ");
  static const Text kLevel2 = T("-ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=23 -m1mf=bt4 -m1fb=64 ");
  static const Text kLevel3 = T(
      "-ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=25 -m1mf=bt4 -m1fb=64 -m2=LZMA2 -m2d=20 -m2mf=bt4 "
      "-m2fb=64 -m3=LZMA2 -m3d=20 -m3mf=bt4 -m3fb=64 -mb0:1 -mb0s1:2 -mb0s2:3 ");
  static const Text kLevel4 = T(
      "-ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=26 -m1mf=bt4 -m1fb=64 -m2=LZMA2 -m2d=20 -m2mf=bt4 "
      "-m2fb=64 -m3=LZMA2 -m3d=20 -m3mf=bt4 -m3fb=64 -mb0:1 -mb0s1:2 -mb0s2:3 ");
  if (level == u"0") return kLevel0;
  if (level == u"1") return kLevel1;
  if (level == u"2") return kLevel2;
  if (level == u"3") return kLevel3;
  return kLevel4;
}

bool Contains(TextView text, std::string_view ascii) { return text.find(T(ascii)) != TextView::npos; }

Text ThreadSwitch(TextView methods, unsigned processors) {
  if (processors <= 1) return T("-mmt=off ");
  if (Contains(methods, "-m1d=26") || Contains(methods, "-m1d=29") || Contains(methods, "-m1d=30")) {
    return T("-mmt=2 ");
  }
  if (Contains(methods, "-m1d=25") && processors >= 3) return T("-mmt=3 ");
  return T("-mmt=") + IntToText(processors) + u' ';
}

// A name the Windows file API maps to a device, whatever folder it is written in.
bool IsDeviceName(TextView component) {
  TextView base = component.substr(0, component.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.remove_suffix(1);
  Text upper = UpperText(base);
  static constexpr std::array<std::u16string_view, 4> kPlain = {u"CON", u"PRN", u"AUX", u"NUL"};
  for (auto name : kPlain) {
    if (upper == name) return true;
  }
  if (upper.size() == 4 && (StartsWith(upper, u"COM") || StartsWith(upper, u"LPT"))) {
    return upper[3] >= u'0' && upper[3] <= u'9';
  }
  return false;
}

// Components made of dots and blanks only ("..", "...", ". .") resolve to a parent or to nothing
// once Windows strips trailing dots and blanks.
bool IsDotsOnly(TextView component) {
  return component.find_first_not_of(u". ") == TextView::npos;
}

bool HasWildcard(TextView text) { return text.find_first_of(u"*?") != TextView::npos; }

Text TrimSeparators(TextView text) {
  while (!text.empty() && IsSeparator(text.back())) text.remove_suffix(1);
  return Text(text);
}

}  // namespace

Text ArchiveErrorText(int32_t code) {
  if (code == oxa::kErrorUnsupportedOrPassword) return Text(kWrongPasswordText);
  return u"#" + IntToText(code);
}

Text NormalizeItemPath(TextView item) {
  Text result(item);
  size_t at = result.find(u"*.*");
  if (at != Text::npos) result.replace(at, 3, u"*");
  return result;
}

std::vector<Text> RemoveDuplicateItems(const std::vector<Text>& items) {
  std::unordered_set<Text> seen;
  std::vector<Text> kept;
  for (auto it = items.rbegin(); it != items.rend(); ++it) {
    if (seen.insert(LowerText(*it)).second) kept.push_back(*it);
  }
  return {kept.rbegin(), kept.rend()};
}

Text CompressionSwitches(TextView level, bool encryptHeaders, unsigned processors) {
  TextView methods = MethodSwitches(level);
  return T("-ssw ") + T(encryptHeaders ? "-mhe=on " : "-mhe=off ") + ThreadSwitch(methods, processors) +
         Text(methods);
}

RecognizedSwitches RecognizeSwitches(TextView switches, unsigned processors) {
  for (int level : {4, 3, 2, 5, 6}) {
    for (bool encrypt : {true, false}) {
      if (SameText(switches, CompressionSwitches(IntToText(level), encrypt, processors))) {
        return {level, encrypt};
      }
    }
  }
  return {};
}

Text RetryLevel(int d, int retry, bool wideAddressSpace) {
  if (!wideAddressSpace) {
    if (retry == 1) return IntToText(d - 1);
    if (retry == 2) return IntToText(d - 2);
    return T("1");
  }
  if (retry == 1) return T(d <= 4 ? "6" : d == 6 ? "5" : "4");
  if (retry == 2) return T(d <= 4 ? "5" : d == 6 ? "4" : "3");
  return T("2");
}

std::optional<ArchiveSwitches> ParseSwitchText(TextView switches) {
  ArchiveSwitches result;
  size_t pos = 0;
  while (pos < switches.size()) {
    size_t start = switches.find_first_not_of(u" \t\r\n", pos);
    if (start == TextView::npos) break;
    size_t end = switches.find_first_of(u" \t\r\n", start);
    TextView token = switches.substr(start, end == TextView::npos ? TextView::npos : end - start);
    pos = end == TextView::npos ? switches.size() : end;
    if (token.size() < 2 || (token[0] != u'-' && token[0] != u'/')) return std::nullopt;
    TextView body = token.substr(1);
    if (SameText(body, u"ssw")) {
      result.shareForWrite = true;
      continue;
    }
    if (body.size() < 2 || LowerChar(body[0]) != u'm') return std::nullopt;
    body.remove_prefix(1);
    size_t eq = body.find(u'=');
    if (eq == 0) return std::nullopt;
    if (eq == TextView::npos) {
      result.properties.emplace_back(Text(body), Text());
    } else {
      result.properties.emplace_back(Text(body.substr(0, eq)), Text(body.substr(eq + 1)));
    }
  }
  return result;
}

std::optional<Text> SafeEntryPath(TextView entryPath, bool flatten) {
  if (entryPath.empty() || IsSeparator(entryPath.front())) return std::nullopt;
  if (entryPath.find(u':') != TextView::npos) return std::nullopt;
  std::vector<TextView> parts;
  size_t pos = 0;
  while (pos <= entryPath.size()) {
    size_t end = pos;
    while (end < entryPath.size() && !IsSeparator(entryPath[end])) ++end;
    TextView part = entryPath.substr(pos, end - pos);
    pos = end + 1;
    if (part.empty() || part == u".") continue;
    if (IsDotsOnly(part) || IsDeviceName(part)) return std::nullopt;
    if (part.find(u'\0') != TextView::npos) return std::nullopt;
    parts.push_back(part);
  }
  if (parts.empty()) return std::nullopt;
  if (flatten) return Text(parts.back());
  Text joined;
  for (TextView part : parts) {
    if (!joined.empty()) joined += u'\\';
    joined += part;
  }
  return joined;
}

bool MatchesPattern(TextView pattern, TextView name) {
  auto same = [](char16_t a, char16_t b) {
    if (IsSeparator(a) && IsSeparator(b)) return true;
    return LowerChar(a) == LowerChar(b);
  };
  size_t p = 0, n = 0, starP = TextView::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || (pattern[p] != u'*' && same(pattern[p], name[n])))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      starP = p++;
      starN = n;
    } else if (starP != TextView::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

bool ItemSelectsEntry(TextView item, TextView entryPath) {
  Text wanted = TrimSeparators(item);
  Text entry = TrimSeparators(entryPath);
  if (wanted.empty()) return false;
  if (!HasWildcard(wanted)) {
    if (entry.size() < wanted.size()) return false;
    if (!MatchesPattern(wanted, TextView(entry).substr(0, wanted.size()))) return false;
    return entry.size() == wanted.size() || IsSeparator(entry[wanted.size()]);
  }
  // The pattern selects the entry or one of the folders it lies in.
  for (size_t end = 0; end <= entry.size(); ++end) {
    if (end == entry.size() || IsSeparator(entry[end])) {
      if (MatchesPattern(wanted, TextView(entry).substr(0, end))) return true;
    }
  }
  return false;
}

std::string FormatExtractParameters(const ExtractParameters& parameters) {
  return JoinLines({parameters.archive, parameters.password, parameters.targetFolder,
                    T(parameters.noPaths ? "TRUE" : "FALSE"), T(parameters.overwriteAll ? "TRUE" : "FALSE")});
}

ExtractParameters ParseExtractParameters(std::string_view utf8) {
  std::vector<Text> lines = SplitLines(utf8);
  lines.resize(std::max<size_t>(lines.size(), 5));
  ExtractParameters parameters;
  parameters.archive = lines[0];
  parameters.password = lines[1];
  parameters.targetFolder = lines[2];
  parameters.noPaths = SameText(lines[3], u"TRUE");
  parameters.overwriteAll = SameText(lines[4], u"TRUE");
  return parameters;
}

std::string FormatItemLines(const std::vector<Text>& items) { return JoinLines(items); }

std::vector<Text> ParseItemLines(std::string_view utf8) {
  std::vector<Text> items;
  for (Text& line : SplitLines(utf8)) {
    if (!line.empty()) items.push_back(std::move(line));
  }
  return items;
}

Text FirstLine(std::string_view utf8) {
  std::vector<Text> lines = SplitLines(utf8);
  return lines.empty() ? Text() : lines.front();
}

}  // namespace vx
