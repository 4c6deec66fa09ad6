#include "state/ComponentState.h"

#include <algorithm>

#include "platform/AtomicWrite.h"
#include "platform/FileIO.h"
#include "script/EngineError.h"
#include "script/VariableManager.h"

namespace vx {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";
constexpr TextView kBitnessPair = u"ZURI64WOW";
constexpr TextView kDollarMarker = u"$DOLLAR$";
constexpr size_t kListCount = 6;
constexpr size_t kFolderLines = 4;  // TARGETDIR, ALLUSERS, STARTMENU, data folder

// --- writing ------------------------------------------------------------------------------------

// One text on one line: every kind of line break becomes the marker.
Text EncodeText(TextView text) {
  Text out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' || text[i] == u'\n') {
      out += kNewLineMarker;
      if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

class StateWriter {
 public:
  void Line(TextView text) { bytes_.append(TextToUtf8(EncodeText(text))).append(kLineEnd); }
  void ListEnd() { bytes_.append("$").append(kLineEnd); }
  void List(const std::vector<Text>& lines) {
    for (const Text& line : lines) Line(line == u"$" ? kDollarMarker : TextView(line));
    ListEnd();
  }
  void Sizes(const std::vector<ComponentSize>& sizes) {
    for (const ComponentSize& entry : sizes) {
      Line(entry.name == u"$" ? kDollarMarker : TextView(entry.name));
      Line(entry.size);
    }
    ListEnd();
  }
  void Tail(const StateFileValues& values) {
    for (const auto& [name, value] : values.persisted) {
      // A saved variable of that name would be read back as the start of the closing pairs.
      if (SameText(name, kBitnessPair)) continue;
      Line(name);
      Line(value);
    }
    for (const auto& [name, value] : {std::pair<TextView, TextView>{kBitnessPair, values.bitnessMode},
                                      {u"OVERRIDECACHE", values.overrideCache},
                                      {u"NATIVE_ENGINE", values.nativeEngine}}) {
      Line(name);
      Line(value);
    }
  }
  void Raw(std::string_view line) { bytes_.append(line).append(kLineEnd); }
  [[nodiscard]] std::string Take() { return std::move(bytes_); }

 private:
  std::string bytes_;
};

// --- reading ------------------------------------------------------------------------------------

// The lines of a file, after an optional byte-order mark; CR LF, a lone LF and a lone CR all end
// a line, so files edited by other tools read the same.
std::vector<std::string_view> SplitLines(std::string_view bytes) {
  if (bytes.starts_with(kByteOrderMark)) bytes.remove_prefix(kByteOrderMark.size());
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n') continue;
    lines.push_back(bytes.substr(start, i - start));
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));
  return lines;
}

Text DecodeLine(std::string_view raw) { return FromLineBreakMarker(Utf8ToText(raw)); }

Text DecodeListLine(std::string_view raw) {
  Text text = Utf8ToText(raw);
  return SameText(text, kDollarMarker) ? Text(u"$") : FromLineBreakMarker(text);
}

class StateReader {
 public:
  StateReader(std::string_view bytes, TextView source) : lines_(SplitLines(bytes)), source_(source) {}

  std::vector<Text> List(const char* what) {
    std::vector<Text> list;
    for (;;) {
      const std::string_view raw = Next(what);
      if (raw == "$") return list;
      list.push_back(DecodeListLine(raw));
    }
  }

  Text Line(const char* what) { return DecodeLine(Next(what)); }

  // Skips the six lists and the four folder lines; returns how many lines that was.
  size_t SkipHead() {
    for (size_t i = 0; i < kListCount; ++i)
      while (Next("component lists") != "$") {
      }
    for (size_t i = 0; i < kFolderLines; ++i) Next("folder lines");
    return position_;
  }

  [[nodiscard]] bool AtEnd() const { return position_ >= lines_.size(); }
  [[nodiscard]] const std::vector<std::string_view>& Lines() const { return lines_; }

 private:
  std::string_view Next(const char* what) {
    if (AtEnd())
      throw EngineError(u"The component state file " + Text(source_) + u" is damaged: it ends inside its " + T(what));
    return lines_[position_++];
  }

  std::vector<std::string_view> lines_;
  size_t position_ = 0;
  TextView source_;
};

std::vector<ComponentSize> SizePairs(const std::vector<Text>& lines) {
  std::vector<ComponentSize> sizes;
  for (size_t i = 0; i + 1 < lines.size(); i += 2) sizes.push_back({lines[i], lines[i + 1]});
  return sizes;
}

// The saved variables: "ZURI64WOW" gives the bitness mode and is followed by the pairs of
// OVERRIDECACHE and NATIVE_ENGINE; every other pair is a persisted variable.
std::optional<Text> ApplyPairs(const ComponentStateFile& file, TVariableManager& vars, TPersistedVariables& persisted) {
  std::optional<Text> bitness;
  for (size_t i = 0; i < file.pairs.size(); ++i) {
    const auto& [name, value] = file.pairs[i];
    if (SameText(name, kBitnessPair)) {
      bitness = value;
      for (size_t closing = 0; closing < 2 && i + 1 < file.pairs.size(); ++closing, ++i)
        vars.Set(file.pairs[i + 1].first, file.pairs[i + 1].second, kOriginLoadComponents);
      continue;
    }
    vars.Set(name, value, kOriginLoadComponents);
    persisted.Add(name);
  }
  return bitness;
}

AppliedState ApplyFolders(const ComponentStateFile& file, TVariableManager& vars, TPersistedVariables& persisted) {
  vars.Set(u"TARGETDIR", file.targetDir, kOriginLoadComponents);
  vars.Set(u"ALLUSERS", file.allUsers, kOriginLoadComponents);
  vars.Set(u"STARTMENU", file.startMenu, kOriginLoadComponents);
  return {file.dataFolder, ApplyPairs(file, vars, persisted)};
}

}  // namespace

// --- persisted variables ----------------------------------------------------------------------

void TPersistedVariables::Add(TextView name) {
  if (std::none_of(names_.begin(), names_.end(), [&](const Text& n) { return SameText(n, name); }))
    names_.emplace_back(name);
}

TPersistedVariables& ProcessPersistedVariables() {
  static TPersistedVariables persisted;
  return persisted;
}

// --- the file ---------------------------------------------------------------------------------

StateFileValues CollectStateValues(const TVariableManager& vars, const TPersistedVariables& persisted,
                                   TextView bitnessMode, TextView dataFolder) {
  StateFileValues values{vars.Get(u"TARGETDIR"), vars.Get(u"ALLUSERS"), vars.Get(u"STARTMENU"), Text(dataFolder),
                         {}, Text(bitnessMode), vars.Get(u"OVERRIDECACHE"), vars.Get(u"NATIVE_ENGINE")};
  for (const Text& name : persisted.Names()) values.persisted.emplace_back(name, vars.Get(name));
  return values;
}

std::string WriteComponentState(const TComponentModel& model, const StateFileValues& values) {
  StateWriter out;
  out.List(model.Names());
  out.List(model.States());
  out.List(model.DeletedNames());
  out.List(model.HiddenNames());
  out.List(model.FixedNames());
  out.Sizes(model.Sizes());
  out.Line(values.targetDir);
  out.Line(values.allUsers);
  out.Line(values.startMenu);
  out.Line(values.dataFolder);
  out.Tail(values);
  return out.Take();
}

ComponentStateFile ParseComponentState(std::string_view bytes, TextView source) {
  StateReader in(bytes, source);
  ComponentStateFile file;
  file.names = in.List("list of names");
  file.states = in.List("list of states");
  file.deleted = in.List("list of deleted components");
  file.hidden = in.List("list of hidden components");
  file.fixed = in.List("list of fixed components");
  file.sizes = SizePairs(in.List("list of sizes"));
  file.targetDir = in.Line("folder lines");
  file.allUsers = in.Line("folder lines");
  file.startMenu = in.Line("folder lines");
  file.dataFolder = in.Line("folder lines");
  // A name without its value line (a file cut short by another tool) is left out.
  while (!in.AtEnd()) {
    Text name = in.Line("variables");
    if (in.AtEnd()) break;
    file.pairs.emplace_back(std::move(name), in.Line("variables"));
  }
  return file;
}

std::string RewriteStateTail(std::string_view oldBytes, const StateFileValues& values, TextView source) {
  StateReader in(oldBytes, source);
  const size_t kept = in.SkipHead();
  StateWriter out;
  for (size_t i = 0; i < kept; ++i) out.Raw(in.Lines()[i]);
  out.Tail(values);
  return out.Take();
}

AppliedState ApplyFullState(const ComponentStateFile& file, TComponentModel& model, TVariableManager& vars,
                            TPersistedVariables& persisted) {
  model.Replace(file.names, file.states, file.deleted, file.hidden, file.fixed, file.sizes);
  return ApplyFolders(file, vars, persisted);
}

AppliedState ApplyMergedState(const ComponentStateFile& file, TComponentModel& model, TVariableManager& vars,
                              TPersistedVariables& persisted) {
  model.Merge(file.names, file.states, file.deleted, file.hidden, file.fixed);
  return ApplyFolders(file, vars, persisted);
}

bool WriteStateFile(const Text& path, std::string_view bytes) {
  return platform::WriteFileAtomically(path, path + u".dat", bytes);
}

std::optional<ComponentStateFile> ReadStateFile(const Text& path) {
  const auto bytes = platform::ReadWholeFile(path);
  if (!bytes) return std::nullopt;
  return ParseComponentState(*bytes, path);
}

bool RewriteStateFileInPlace(const Text& path, const StateFileValues& values) {
  const auto bytes = platform::ReadWholeFile(path);
  if (!bytes) return false;
  return WriteStateFile(path, RewriteStateTail(*bytes, values, path));
}

}  // namespace vx
