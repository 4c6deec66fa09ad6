#include "script/mEval.h"

#include <array>
#include <optional>

#include "script/CompiledScript.h"
#include "script/EngineError.h"
#include "script/ScriptSeams.h"
#include "script/VariableManager.h"

namespace vx {

namespace {

// --- expressions --------------------------------------------------------------------------

enum class Op { kEqual, kNotEqual, kLessEqual, kLess, kGreaterEqual, kGreater };

std::optional<Op> ReadOperator(TextView word) {
  static constexpr std::array<std::pair<TextView, Op>, 6> kOps{{
      {u"=", Op::kEqual}, {u"<>", Op::kNotEqual}, {u"<=", Op::kLessEqual},
      {u"<", Op::kLess}, {u">=", Op::kGreaterEqual}, {u">", Op::kGreater},
  }};
  for (const auto& [text, op] : kOps)
    if (word == text) return op;
  return std::nullopt;
}

// An optional sign and at least one decimal digit, nothing else.
bool LooksLikeWholeNumber(TextView text) {
  size_t i = (!text.empty() && (text[0] == u'+' || text[0] == u'-')) ? 1 : 0;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i)
    if (text[i] < u'0' || text[i] > u'9') return false;
  return true;
}

template <typename V>
bool Apply(Op op, const V& l, const V& r) {
  switch (op) {
    case Op::kEqual: return l == r;
    case Op::kNotEqual: return l != r;
    case Op::kLessEqual: return l <= r;
    case Op::kLess: return l < r;
    case Op::kGreaterEqual: return l >= r;
    case Op::kGreater: return l > r;
  }
  return false;
}

bool Compare(const Text& l, Op op, const Text& r) {
  if (LooksLikeWholeNumber(l) && LooksLikeWholeNumber(r)) return Apply(op, WholeNumber(l), WholeNumber(r));
  return Apply(op, l, r);  // char16_t is unsigned: code-unit order
}

// Recursive descent over the grammar in the header; nullopt is a parse failure.
class ExpressionParser {
 public:
  explicit ExpressionParser(TextView text) : s_(text) {}

  [[nodiscard]] std::optional<bool> Expression() {
    std::optional<bool> value = Term();
    while (value) {
      SkipBlanks();
      if (AtEnd() || s_[pos_] == u')') break;
      const TextView connective = Word();
      if (connective != u"and" && connective != u"or") return std::nullopt;
      const std::optional<bool> rhs = Term();
      if (!rhs) return std::nullopt;
      value = connective == u"and" ? (*value && *rhs) : (*value || *rhs);
    }
    return value;
  }

  [[nodiscard]] bool AtEnd() const { return pos_ >= s_.size(); }

 private:
  std::optional<bool> Term() {
    SkipBlanks();
    if (AtEnd()) return std::nullopt;
    if (s_[pos_] == u'(') {
      ++pos_;
      std::optional<bool> inner = Expression();
      if (!inner || AtEnd()) return std::nullopt;
      ++pos_;  // the ")" that stopped the inner expression
      return inner;
    }
    std::optional<Text> left = Literal();
    if (!left) return std::nullopt;
    SkipBlanks();
    std::optional<Op> op = ReadOperator(Word());
    if (!op) return std::nullopt;
    std::optional<Text> right = Literal();
    if (!right) return std::nullopt;
    return Compare(*left, *op, *right);
  }

  std::optional<Text> Literal() {
    SkipBlanks();
    if (AtEnd() || s_[pos_] != u'"') return std::nullopt;
    Text value;
    for (size_t from = pos_ + 1;;) {
      const size_t quote = s_.find(u'"', from);
      if (quote == TextView::npos) return std::nullopt;
      value.append(s_.substr(from, quote - from));
      if (quote + 1 < s_.size() && s_[quote + 1] == u'"') {
        value.push_back(u'"');
        from = quote + 2;
        continue;
      }
      pos_ = quote + 1;
      return value;
    }
  }

  // Everything up to the next double quote or space.
  TextView Word() {
    const size_t end = std::min(s_.find_first_of(u"\" ", pos_), s_.size());
    TextView word = s_.substr(pos_, end - pos_);
    pos_ = end;
    return word;
  }

  void SkipBlanks() {
    while (!AtEnd() && s_[pos_] == u' ') ++pos_;
  }

  TextView s_;
  size_t pos_ = 0;
};

// --- structured conditions ----------------------------------------------------------------

bool AsciiSameText(TextView a, TextView b) {
  if (a.size() != b.size()) return false;
  auto fold = [](char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; };
  for (size_t i = 0; i < a.size(); ++i)
    if (fold(a[i]) != fold(b[i])) return false;
  return true;
}

bool Contains(TextView text, TextView part) { return !part.empty() && text.find(part) != TextView::npos; }

std::array<int32_t, 4> VersionParts(TextView version) {
  std::array<int32_t, 4> parts{};
  size_t i = 0;
  for (; i < 3; ++i) {
    const size_t dot = version.find(u'.');
    if (dot == TextView::npos) break;
    parts[i] = WholeNumber(version.substr(0, dot));
    version.remove_prefix(dot + 1);
  }
  parts[i] = TextToInt32(version).value_or(0);
  return parts;
}

bool Compare(TextView code, const Text& l, const Text& r) {
  if (code == u"6") return VersionIsHigher(l, r);
  const std::optional<int32_t> ln = TextToInt32(l);
  const std::optional<int32_t> rn = TextToInt32(r);
  const bool numbers = ln && rn;
  if (code == u"0") return numbers ? *ln == *rn : l == r;
  if (code == u"1") return numbers ? *ln == *rn : Contains(l, r);
  if (code == u"2") return numbers ? *ln > *rn : l > r;
  if (code == u"3") return numbers ? *ln == *rn : Contains(UpperText(l), UpperText(r));
  if (code == u"4") return numbers ? *ln == *rn : AsciiSameText(l, r);
  return false;
}

}  // namespace

Text EvaluateExpression(TextView text) {
  const Text wrapped = u"(" + Text(text) + u")";
  ExpressionParser parser(wrapped);
  const std::optional<bool> value = parser.Expression();
  if (!value || !parser.AtEnd()) return u"ERROR";
  return TruthText(*value);
}

bool ExpressionSyntaxValid(TextView text) {
  Text probe(text);
  for (char16_t& c : probe)
    if (c == u'$') c = u'"';
  try {
    return EvaluateExpression(probe) != u"ERROR";
  } catch (const EngineError&) {
    return true;  // well formed; the oversized number is the statement's run-time error
  }
}

bool VersionIsHigher(TextView l, TextView r) {
  const auto a = VersionParts(l);
  const auto b = VersionParts(r);
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return a[i] > b[i];
  return false;
}

bool ConditionHolds(const TVariableManager& vars, TextView variable, TextView code, TextView value,
                    TextView negate) {
  bool result = false;
  if (code == u"5") {
    result = vars.Exists(variable);
  } else {
    Text name = ReferenceName(variable);
    if (name.empty()) name = Text(variable);
    result = Compare(code, vars.Expand(vars.Get(name)), vars.Expand(value));
  }
  return result != IsTrue(negate);
}

bool StatementConditionHolds(const CompiledScript& script, size_t n, const TVariableManager& vars) {
  Text variable = script.Parameter(n, 1);
  Text value = script.Parameter(n, 3);
  if (!vars.Get(u"LANGUAGE").empty()) {
    const Text key = script.Parameter(n, 0);
    variable = seams::TranslateText(variable, key, 1);
    value = seams::TranslateText(value, key, 2);
  }
  return ConditionHolds(vars, variable, script.Parameter(n, 2), value, script.Parameter(n, 4));
}

void RunEvaluateExpression(const CompiledScript& script, size_t n, TVariableManager& vars) {
  static constexpr TextView kOrigin = u"Evaluate Expression Action";
  const Text target = script.Parameter(n, 2);
  if (!vars.Exists(target)) vars.Define(UpperText(target), u"", kOrigin);
  const Text expression = vars.ExpandQuoted(script.Parameter(n, 1));
  vars.Set(target, EvaluateExpression(expression), kOrigin);
}

}  // namespace vx
