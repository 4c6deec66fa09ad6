#include "script/CompiledScript.h"

#include "script/EngineError.h"

namespace vx {

namespace {

constexpr int kSectionCount = 14;

// Reads the compiled script line by line. Every read is checked against the end of the data: a
// file that stops early is reported, never read past.
class ScriptReader {
 public:
  explicit ScriptReader(std::string_view bytes) : data_(bytes) {
    if (data_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
  }

  void BeginSection(int number) { section_ = number; }

  // One fixed line of the current section.
  Text Line() {
    std::string_view line;
    if (!Next(line)) Truncated();
    return Utf8ToText(line);
  }

  // A fixed line that starts with a decimal integer; the rest of the line is skipped.
  int64_t Number() {
    Text line = Line();
    size_t i = 0;
    while (i < line.size() && (line[i] == u' ' || line[i] == u'\t')) ++i;
    size_t end = i;
    if (end < line.size() && (line[end] == u'-' || line[end] == u'+')) ++end;
    while (end < line.size() && line[end] >= u'0' && line[end] <= u'9') ++end;
    auto value = TextToInt64(TextView(line).substr(i, end - i));
    if (!value) Damaged(T("a number is expected where the line reads \"") + line + u"\"");
    return *value;
  }

  // The list part of the current section, up to its "$" line.
  TextList List() {
    std::vector<Text> lines;
    std::string_view line;
    for (;;) {
      if (!Next(line)) Truncated();
      if (line == "$") break;
      lines.push_back(Utf8ToText(line));
    }
    return TextList(std::move(lines));
  }

  [[noreturn]] void Damaged(const Text& what) const {
    throw EngineError(T("The setup script is damaged: section " + std::to_string(section_) + " of " +
                        std::to_string(kSectionCount) + ": ") + what);
  }

 private:
  bool Next(std::string_view& line) {
    if (pos_ >= data_.size()) return false;
    size_t lf = data_.find('\n', pos_);
    size_t end = lf == std::string_view::npos ? data_.size() : lf;
    line = data_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = lf == std::string_view::npos ? data_.size() : lf + 1;
    return true;
  }

  [[noreturn]] void Truncated() const {
    throw EngineError(T("The setup script is truncated: it ends inside section " + std::to_string(section_) +
                        " of " + std::to_string(kSectionCount) + ", before the section's end line \"$\""));
  }

  std::string_view data_;
  size_t pos_ = 0;
  int section_ = 0;
};

int32_t ToInt32(ScriptReader& reader, int64_t value) {
  if (value < INT32_MIN || value > INT32_MAX) reader.Damaged(T("the number " + std::to_string(value) + " is out of range"));
  return static_cast<int32_t>(value);
}

// Text before and after the first "*" of a source reference or include context.
TextView BeforeStar(TextView text) { return text.substr(0, text.find(u'*')); }
TextView AfterStar(TextView text) {
  size_t star = text.find(u'*');
  return star == TextView::npos ? TextView() : text.substr(star + 1);
}

}  // namespace

Text ParameterStack::Parameter(TextView identifier, size_t k) const {
  for (const auto& list : lists_) {
    std::ptrdiff_t at = list->IndexOf(identifier);
    if (at >= 0) return list->At(static_cast<size_t>(at) + k);
  }
  return Text();
}

Text CompiledScript::Header(size_t n) const {
  if (!headerIndexed_) {
    headerIndex_.clear();
    const auto& lines = commandHeaders.Lines();
    for (size_t i = 0; i + 1 < lines.size(); i += 2)
      if (auto number = TextToInt64(lines[i + 1])) headerIndex_.try_emplace(*number, i);
    headerIndexed_ = true;
  }
  auto it = headerIndex_.find(static_cast<int64_t>(n));
  return it == headerIndex_.end() ? Text() : commandHeaders.At(it->second);
}

Text CompiledScript::SourceFile(size_t n) const { return Text(BeforeStar(sourceReferences.Get(n))); }
int32_t CompiledScript::SourceLine(size_t n) const {
  return TextToInt32(AfterStar(sourceReferences.Get(n))).value_or(0);
}
Text CompiledScript::IncludeVariable(size_t n) const { return Text(BeforeStar(includeContexts.Get(n))); }
int32_t CompiledScript::IncludeDepth(size_t n) const {
  return TextToInt32(AfterStar(includeContexts.Get(n))).value_or(0);
}

Text CompiledScript::BuildValue(TextView text) const {
  constexpr int kMaxRounds = 32;
  Text current(text);
  const auto& pairs = buildVariables.Lines();
  for (int round = 0; round < kMaxRounds && current.find(u'#') != Text::npos; ++round) {
    Text before = current;
    for (size_t i = 0; i + 1 < pairs.size(); i += 2)
      current = ReplaceText(current, u"#" + pairs[i] + u"#", pairs[i + 1], true, true);
    if (current == before) break;
  }
  return current;
}

CompiledScript LoadCompiledScript(std::string_view bytes) {
  CompiledScript s;
  ScriptReader r(bytes);
  ProductValues& p = s.product;

  r.BeginSection(1);
  s.commands = r.List();
  r.BeginSection(2);
  s.identifiers = r.List();
  r.BeginSection(3);
  TextList parameters = r.List();
  for (Text& line : parameters.MutableLines())
    if (SameText(line, kWildDollar) || SameText(line, kDollar)) line = u"$";
  r.BeginSection(4);
  s.flags = r.List();
  r.BeginSection(5);
  p.productCode = r.Line();
  p.title = r.Line();
  s.pluginCommands = r.List();
  r.BeginSection(6);
  p.publisher = r.Line();
  p.contact = r.Line();
  p.helpLink = r.Line();
  p.updateLink = r.Line();
  p.comments = r.Line();
  p.version = r.Line();
  s.mediaPasswords = r.List();
  r.BeginSection(7);
  s.mediaFolders = r.List();
  r.BeginSection(8);
  p.packageKind = ToInt32(r, r.Number());
  s.components = r.List();
  r.BeginSection(9);
  p.revisionCode = r.Line();
  s.mediaFiles = r.List();
  r.BeginSection(10);
  p.askLanguage = r.Line() == u"TRUE";
  p.defaultLanguage = r.Line();
  s.commandHeaders = r.List();
  r.BeginSection(11);
  s.buildVariables = r.List();
  r.BeginSection(12);
  p.codePage = ToInt32(r, r.Number());
  s.sourceReferences = r.List();
  r.BeginSection(13);
  p.nativeTotalSize = r.Number();
  s.nativeFileTable = r.List();
  r.BeginSection(14);
  s.includeContexts = r.List();

  // The per-statement tables are read by statement number everywhere; unequal lengths would send
  // those reads outside a table, so they are refused here, once.
  const size_t count = s.commands.Count();
  const std::pair<int, const TextList*> perStatement[] = {
      {2, &s.identifiers}, {4, &s.flags}, {7, &s.mediaFolders}, {12, &s.sourceReferences}, {14, &s.includeContexts}};
  for (const auto& [section, list] : perStatement) {
    if (list->Count() != count) {
      r.BeginSection(section);
      r.Damaged(T("it has " + std::to_string(list->Count()) + " lines for " + std::to_string(count) + " statements"));
    }
  }

  s.parameters.Push(std::make_shared<const TextList>(std::move(parameters)));
  return s;
}

namespace {

class ScriptWriter {
 public:
  void BeginSection(int number) { section_ = number; }

  void Line(TextView text) {
    CheckLine(text);
    out_ += TextToUtf8(text);
    out_ += "\r\n";
  }
  void Number(int64_t value) { Line(IntToText(value)); }

  // A list part and its end line. A line that is exactly "$" would end the section early.
  void List(const std::vector<Text>& lines) {
    for (const Text& line : lines) {
      if (line == u"$") Refuse(u"a line is exactly \"$\", which would end the section");
      Line(line);
    }
    out_ += "$\r\n";
  }

  void ParameterList(const std::vector<Text>& lines) {
    for (const Text& line : lines) Line(line == u"$" ? kWildDollar : TextView(line));
    out_ += "$\r\n";
  }

  std::string Take() { return std::move(out_); }

 private:
  void CheckLine(TextView text) const {
    if (text.find_first_of(u"\r\n") != TextView::npos) Refuse(u"a value holds a line break");
  }
  [[noreturn]] void Refuse(TextView why) const {
    throw EngineError(T("Cannot write section " + std::to_string(section_) + " of the setup script: ") + Text(why));
  }

  std::string out_;
  int section_ = 0;
};

}  // namespace

std::string WriteCompiledScript(const CompiledScript& s) {
  ScriptWriter w;
  const ProductValues& p = s.product;
  static const std::vector<Text> kNoLines;
  const std::vector<Text>& parameters = s.parameters.Depth() ? s.parameters.List(0).Lines() : kNoLines;

  w.BeginSection(1);
  w.List(s.commands.Lines());
  w.BeginSection(2);
  w.List(s.identifiers.Lines());
  w.BeginSection(3);
  w.ParameterList(parameters);
  w.BeginSection(4);
  w.List(s.flags.Lines());
  w.BeginSection(5);
  w.Line(p.productCode);
  w.Line(p.title);
  w.List(s.pluginCommands.Lines());
  w.BeginSection(6);
  for (const Text* line : {&p.publisher, &p.contact, &p.helpLink, &p.updateLink, &p.comments, &p.version}) w.Line(*line);
  w.List(s.mediaPasswords.Lines());
  w.BeginSection(7);
  w.List(s.mediaFolders.Lines());
  w.BeginSection(8);
  w.Number(p.packageKind);
  w.List(s.components.Lines());
  w.BeginSection(9);
  w.Line(p.revisionCode);
  w.List(s.mediaFiles.Lines());
  w.BeginSection(10);
  w.Line(p.askLanguage ? u"TRUE" : u"FALSE");
  w.Line(p.defaultLanguage);
  w.List(s.commandHeaders.Lines());
  w.BeginSection(11);
  w.List(s.buildVariables.Lines());
  w.BeginSection(12);
  w.Number(p.codePage);
  w.List(s.sourceReferences.Lines());
  w.BeginSection(13);
  w.Number(p.nativeTotalSize);
  w.List(s.nativeFileTable.Lines());
  w.BeginSection(14);
  w.List(s.includeContexts.Lines());
  return w.Take();
}

}  // namespace vx
