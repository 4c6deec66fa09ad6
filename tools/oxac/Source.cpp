#include "tools/oxac/Source.h"

namespace vx::oxac {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Reads the values of a line from left to right.
class ValueReader {
 public:
  explicit ValueReader(std::string_view rest) : rest_(rest) {}

  [[nodiscard]] bool AtEnd() {
    SkipBlanks();
    return rest_.empty();
  }

  // A quoted text; `what` names it in the error when the line holds something else there.
  std::string Quoted(std::string_view what) {
    SkipBlanks();
    if (rest_.empty() || rest_.front() != '"')
      throw LineError("expected " + std::string(what) + " in double quotes, found " + Found());
    std::string text;
    size_t i = 1;
    for (;; ++i) {
      if (i >= rest_.size()) throw LineError("a quoted text has no closing quote (write \"\" for a quote inside it)");
      if (rest_[i] != '"') {
        text += rest_[i];
      } else if (i + 1 < rest_.size() && rest_[i + 1] == '"') {
        text += '"';
        ++i;
      } else {
        break;
      }
    }
    rest_.remove_prefix(i + 1);
    if (!rest_.empty() && !IsBlank(rest_.front()))
      throw LineError("expected a blank after the closing quote, found " + Found());
    return text;
  }

  // A quoted text or a plain word.
  SourceValue Value() {
    SkipBlanks();
    if (!rest_.empty() && rest_.front() == '"') return {Quoted("a value"), true};
    size_t end = 0;
    while (end < rest_.size() && !IsBlank(rest_[end])) {
      if (rest_[end] == '"') throw LineError("a quote inside a plain word; put the whole value in double quotes");
      ++end;
    }
    SourceValue value{std::string(rest_.substr(0, end)), false};
    rest_.remove_prefix(end);
    return value;
  }

 private:
  void SkipBlanks() {
    while (!rest_.empty() && IsBlank(rest_.front())) rest_.remove_prefix(1);
  }
  std::string Found() const {
    if (rest_.empty()) return "the end of the line";
    std::string_view shown = rest_.substr(0, 20);
    return "'" + std::string(shown) + (rest_.size() > shown.size() ? "...'" : "'");
  }

  std::string_view rest_;
};

SourceLine ParseStatement(std::string_view text, bool disabled) {
  SourceLine line;
  line.kind = SourceLine::Kind::Statement;
  line.disabled = disabled;
  const size_t quote = text.find('"');
  line.name = std::string(Trim(text.substr(0, quote)));
  if (line.name.empty()) throw LineError("expected a command name before the first quote");
  if (quote == std::string_view::npos) return line;
  ValueReader reader(text.substr(quote));
  while (!reader.AtEnd()) line.values.push_back({reader.Quoted("a parameter"), true});
  return line;
}

// "include" followed by a blank or a quote; any other line starting with those letters is a statement.
bool IsInclude(std::string_view text) {
  constexpr std::string_view kWord = "include";
  return text.substr(0, kWord.size()) == kWord && text.size() > kWord.size() &&
         (IsBlank(text[kWord.size()]) || text[kWord.size()] == '"');
}

}  // namespace

SourceLine ParseLine(std::string_view raw) {
  const std::string_view text = Trim(raw);
  SourceLine line;
  if (text.empty()) return line;
  switch (text.front()) {
    case '#':
      line.kind = SourceLine::Kind::Comment;
      return line;
    case '~':
      if (IsInclude(Trim(text.substr(1)))) throw LineError("an include cannot be disabled with \"~\"; turn it into a comment with \"#\"");
      return ParseStatement(Trim(text.substr(1)), true);
    case '@': {
      line.kind = SourceLine::Kind::Setting;
      size_t end = 1;
      while (end < text.size() && !IsBlank(text[end])) ++end;
      line.name = std::string(text.substr(1, end - 1));
      if (line.name.empty()) throw LineError("expected a setting name right after \"@\"");
      ValueReader reader(text.substr(end));
      while (!reader.AtEnd()) line.values.push_back(reader.Value());
      return line;
    }
    default:
      break;
  }
  if (IsInclude(text)) {
    line.kind = SourceLine::Kind::Include;
    ValueReader reader(text.substr(7));
    line.values.push_back({reader.Quoted("the path of the included file"), true});
    if (!reader.AtEnd()) line.values.push_back(reader.Value());
    if (!reader.AtEnd()) throw LineError("expected the end of the line after the include's result variable");
    return line;
  }
  return ParseStatement(text, false);
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    size_t lf = text.find('\n');
    std::string_view line = text.substr(0, lf);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (lf == std::string_view::npos) break;
    text.remove_prefix(lf + 1);
  }
  return lines;
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace vx::oxac
