#include "commands/mUtilsX.h"

#include <limits>

#include "platform/PathForms.h"
#include "platform/RunFacts.h"
#include "script/CommandViews.h"

namespace vx {

namespace {

// Characters 1-based from `start` (below 1 counts as 1), `count` of them (below 1: none).
Text Copy(TextView text, int64_t start, int64_t count) {
  if (count < 1) return Text();
  const int64_t from = std::max<int64_t>(start, 1) - 1;
  if (from >= static_cast<int64_t>(text.size())) return Text();
  return Text(text.substr(static_cast<size_t>(from), static_cast<size_t>(count)));
}

// Blanks and control characters off both ends.
Text Trimmed(TextView text) {
  size_t from = 0;
  size_t to = text.size();
  while (from < to && text[from] <= u' ') ++from;
  while (to > from && text[to - 1] <= u' ') --to;
  return Text(text.substr(from, to - from));
}

bool HasDrive(TextView path) { return (path.size() >= 2 && path[1] == u':') || StartsWith(path, u"\\\\"); }

Text WithBackslash(Text path) {
  if (path.empty() || path.back() != u'\\') path.push_back(u'\\');
  return path;
}

// After the last backslash or drive colon.
size_t NameStart(TextView path) {
  const size_t cut = path.find_last_of(u"\\:");
  return cut == TextView::npos ? 0 : cut + 1;
}

// A drive letter with its colon, or the server and share of a network path; empty when none.
Text DrivePart(TextView path) {
  if (path.size() >= 2 && path[1] == u':') return Text(path.substr(0, 2));
  if (!StartsWith(path, u"\\\\")) return Text();
  const size_t server = path.find(u'\\', 2);
  if (server == TextView::npos || server == 2) return Text();
  const size_t share = path.find(u'\\', server + 1);
  return Text(path.substr(0, share));
}

Text CollapseDoubledBackslashes(TextView text) {
  Text out;
  for (size_t i = 0; i < text.size(); ++i) {
    out.push_back(text[i]);
    if (text[i] == u'\\' && i + 1 < text.size() && text[i + 1] == u'\\') ++i;
  }
  return out;
}

// --- handlers -------------------------------------------------------------------------------

void RunParseString(CommandContext& ctx) {
  const Text source = ctx.Normalized(1);
  const Text delimiter = ctx.Normalized(2);
  const Text firstName = ctx.PlainName(3);
  const Text secondName = ctx.PlainName(4);
  ctx.CreateFirst(firstName);
  ctx.CreateFirst(secondName);
  const int32_t mode = ctx.Number(5);
  ParsedParts parts = ParseParts(source, delimiter, mode, ctx.Flag(7));
  if (ctx.Flag(6)) {
    parts.first = Trimmed(parts.first);
    parts.second = Trimmed(parts.second);
  }
  ctx.Write(firstName, parts.first);
  ctx.Write(secondName, parts.second);
}

void RunReplaceString(CommandContext& ctx) {
  const Text name = ctx.NameOrReference(1);
  const Text value = ToLineBreakMarker(ctx.Vars().Get(name));
  const Text find = ToLineBreakMarker(ctx.Expanded(2));
  const Text replacement = ToLineBreakMarker(ctx.Expanded(3));
  ctx.Write(name, ReplaceText(value, find, replacement, ctx.Flag(4), ctx.Flag(5)));
}

void RunConvertCase(CommandContext& ctx) {
  const Text name = ctx.PlainName(1);
  const Text value = ctx.Vars().NormalizedPath(ctx.Vars().Get(name));
  ctx.Write(name, platform::LocaleCase(value, ctx.Flag(2)));
}

void RunConvertPath(CommandContext& ctx) {
  const FileSystemViewSwitch view(ctx.Run().BitnessMode());
  TVariableManager& vars = ctx.Vars();
  const Text name = ctx.PlainName(1);
  const bool shortForm = ctx.Flag(2);
  Text path = vars.NormalizedPath(vars.Get(name));
  if (Text expanded = platform::ExpandEnvironmentText(path); !expanded.empty()) path = std::move(expanded);
  if (!HasDrive(path)) path = WithBackslash(vars.NormalizedPath(vars.Get(u"SETUPPATH"))) + path;
  path = platform::AbsolutePath(path);
  if (path.empty() || !platform::PathExists(path)) {
    ctx.Write(name, u"");
    return;
  }
  std::optional<Text> converted;
  if (shortForm) {
    converted = platform::ShortPathForm(path);
    if (!converted && !StartsWith(path, u"\\\\?\\")) {
      // The long-path prefix lets the system read paths past its usual length limit.
      converted = platform::ShortPathForm(u"\\\\?\\" + path);
      if (converted && StartsWith(*converted, u"\\\\?\\")) converted->erase(0, 4);
    }
  } else {
    converted = platform::LongPathForm(path);
  }
  ctx.Write(name, converted.value_or(path));
}

void RunExtractPath(CommandContext& ctx) {
  const Text name = ctx.PlainName(1);
  const Text value = ctx.Vars().NormalizedPath(ctx.Vars().Get(name));
  if (std::optional<Text> part = ExtractPathPart(value, ctx.Number(2))) ctx.Write(name, *part);
}

void RunMathematics(CommandContext& ctx) {
  const Text name = ctx.PlainName(4);
  ctx.CreateFirst(name);
  MathGenerator& generator = ctx.Run().FamilyState<MathGenerator>();
  ctx.Write(name, Calculate(ctx.Expanded(1), ctx.Expanded(2), ctx.Literal(3), generator));
}

// --- arithmetic -----------------------------------------------------------------------------

// Two's-complement arithmetic without undefined behaviour.
int64_t Wrap(uint64_t value) { return static_cast<int64_t>(value); }
int32_t Low32(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value))); }

std::optional<int64_t> Binary(int32_t code, int64_t a, int64_t b) {
  const auto ua = static_cast<uint64_t>(a);
  const auto ub = static_cast<uint64_t>(b);
  switch (code) {
    case 0: return Wrap(ua + ub);
    case 1: return Wrap(ua - ub);
    case 2: return Wrap(ua * ub);
    case 3:
      if (b == 0) return std::nullopt;
      if (a == std::numeric_limits<int64_t>::min() && b == -1) return a;
      return a / b;
    case 4:
      if (b == 0) return std::nullopt;
      if (b == -1) return 0;
      return a % b;
    case 5: return a & b;
    case 6: return a | b;
    case 7: return a ^ b;
    case 8: return (b < 0 || b > 63) ? 0 : Wrap(ua << b);
    case 9: return (b < 0 || b > 63) ? 0 : Wrap(ua >> b);
  }
  return std::nullopt;
}

}  // namespace

ParsedParts ParseParts(TextView source, TextView delimiter, int32_t mode, bool ignoreCase) {
  const Text haystack = ignoreCase ? LowerText(source) : Text(source);
  const Text needle = ignoreCase ? LowerText(delimiter) : Text(delimiter);
  const auto length = static_cast<int64_t>(source.size());
  int64_t split = 0;  // P, 1-based; 0 when there is nothing to split
  int64_t cut = 1;    // D
  int64_t correction = 1;  // C
  bool whole = false;  // mode 3 asked for at least the whole source
  switch (mode) {
    case 0: {
      cut = static_cast<int64_t>(needle.size());
      const size_t at = needle.empty() ? Text::npos : haystack.find(needle);
      split = at == Text::npos ? length + 1 : static_cast<int64_t>(at) + 1;
      break;
    }
    case 1: {
      cut = static_cast<int64_t>(needle.size());
      const size_t at = needle.empty() ? Text::npos : haystack.rfind(needle);
      if (at == Text::npos) {
        split = 1;
        cut = 0;
      } else {
        split = static_cast<int64_t>(at) + 1;
      }
      break;
    }
    case 2:
    case 3: {
      correction = 0;
      const std::optional<int32_t> count = TextToInt32(delimiter);
      if (!count) break;
      if (mode == 3) {
        split = length - *count;
        // A count of the whole length or more leaves everything to the second part; the split
        // position 0 would otherwise read as "no split".
        whole = split <= 0;
      } else if (*count == 0) {
        split = 1;
        correction = 1;
        cut = -1;
      } else {
        split = *count;
      }
      break;
    }
    default:
      break;
  }
  if (whole) return ParsedParts{Text(), Text(source)};
  if (split == 0) return ParsedParts{};
  return ParsedParts{Copy(source, 1, split - correction), Copy(source, split + cut, length)};
}

std::optional<Text> ExtractPathPart(TextView path, int32_t code) {
  const size_t nameStart = NameStart(path);
  const TextView name = path.substr(nameStart);
  const size_t dot = name.find_last_of(u'.');
  switch (code) {
    case 0: return Text(name);
    case 1: return Text(dot == TextView::npos ? name : name.substr(0, dot));
    case 2: return dot == TextView::npos ? Text() : Text(name.substr(dot + 1));
    case 3: return Text(path.substr(0, nameStart));
    case 4: {
      TextView folder = path.substr(0, nameStart);
      if (folder.empty()) return Text();
      if (folder.back() == u'\\') folder.remove_suffix(1);
      return WithBackslash(Text(folder.substr(0, NameStart(folder))));
    }
    case 5: {
      const Text drive = DrivePart(path);
      return drive.empty() ? drive : drive + u"\\";
    }
    case 6: return CollapseDoubledBackslashes(path);
  }
  return std::nullopt;
}

Text Calculate(TextView first, TextView second, TextView code, MathGenerator& generator) {
  const std::optional<int32_t> op = TextToInt32(code);
  if (!op) return Text();
  if (*op == 11) return first.empty() ? Text() : IntToText(first.front());
  const std::optional<int64_t> a = TextToInt64(first);
  if (!a) return Text();
  if ((*op >= 0 && *op <= 9) || *op == 13) {
    const std::optional<int64_t> b = TextToInt64(second);
    if (!b) return Text();
    if (*op == 13) {
      generator.multiplier = Low32(*a);
      generator.increment = Low32(*b);
      return IntToText(Wrap(static_cast<uint64_t>(*a) + static_cast<uint64_t>(*b)));
    }
    const std::optional<int64_t> result = Binary(*op, *a, *b);
    return result ? IntToText(*result) : Text();
  }
  switch (*op) {
    case 10: return IntToText(~*a);
    case 12: return Text(1, static_cast<char16_t>(static_cast<uint64_t>(*a) & 0xFFFF));
    case 14:
      generator.state = Low32(*a);
      return IntToText(generator.state);
    case 15: {
      const uint32_t r = static_cast<uint32_t>(generator.multiplier) * static_cast<uint32_t>(generator.state) +
                         static_cast<uint32_t>(generator.increment);
      const int32_t value = static_cast<int32_t>(r);
      generator.state = value % 32767;
      if (*a == 0) return Text();
      if (*a == -1) return u"0";
      return IntToText(int64_t{value} % *a);
    }
  }
  return Text();
}

void RegisterStringCommands(CommandTable& table) {
  table.Bind(u"Parse String", &RunParseString);
  table.Bind(u"Replace String", &RunReplaceString);
  table.Bind(u"Convert Case", &RunConvertCase);
  table.Bind(u"Convert Path", &RunConvertPath);
  table.Bind(u"Extract Path", &RunExtractPath);
  table.Bind(u"Mathematics", &RunMathematics);
}

}  // namespace vx
