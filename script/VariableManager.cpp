#include "script/VariableManager.h"

#include <algorithm>

#include "script/CompiledScript.h"
#include "script/EngineError.h"
#include "script/ScriptSeams.h"

namespace vx {

namespace {

constexpr TextView kPersistMarker = u"$ZURI$ZURI$";

bool IsOwnReference(TextView name, TextView value) {
  return value.size() == name.size() + 2 && value.front() == u'$' && value.back() == u'$' &&
         SameText(value.substr(1, name.size()), name);
}

}  // namespace

Text ToLineBreakMarker(TextView text) { return ReplaceText(text, u"\r\n", kNewLineMarker, false, true); }
Text FromLineBreakMarker(TextView text) { return ReplaceText(text, kNewLineMarker, u"\r\n", true, true); }

bool IsTrue(TextView text) { return text == u"-1" || SameText(text, u"TRUE"); }

Text ReferenceName(TextView text) {
  if (text.size() < 2 || text.front() != u'$' || text.back() != u'$') return Text();
  TextView inner = text.substr(1, text.size() - 2);
  return inner.find(u'$') == TextView::npos ? Text(inner) : Text();
}

int32_t WholeNumber(TextView text) {
  if (auto n = TextToInt32(text)) return *n;
  throw EngineError(u"'" + Text(text) + u"' is not a valid integer value");
}

// --- store operations ---------------------------------------------------------------------

std::unique_lock<std::recursive_mutex> TVariableManager::ReadLock() const {
  return readsTakeLock_ ? std::unique_lock(lock_) : std::unique_lock<std::recursive_mutex>();
}

void TVariableManager::Store(TextView name, TextView value) {
  std::lock_guard guard(lock_);
  table_.Put(name, Text(value));
}

bool TVariableManager::Exists(TextView name) const {
  auto guard = ReadLock();
  return table_.Find(name) != nullptr;
}

Text TVariableManager::Get(TextView name) const { return Find(name).value_or(Text()); }

std::optional<Text> TVariableManager::Find(TextView name) const {
  auto guard = ReadLock();
  const Text* value = table_.Find(name);
  return value ? std::optional<Text>(*value) : std::nullopt;
}

void TVariableManager::Delete(TextView name) {
  std::lock_guard guard(lock_);
  table_.Remove(name);
}

void TVariableManager::Clear() {
  std::lock_guard guard(lock_);
  table_.Clear();
}

void TVariableManager::Dump(TextList& list) const {
  auto guard = ReadLock();
  list.Clear();
  table_.ForEach([&](const Text& name, const Text& value) {
    list.Add(name);
    list.Add(value);
  });
}

void TVariableManager::Names(TextList& list) const {
  auto guard = ReadLock();
  list.Clear();
  table_.ForEach([&](const Text& name, const Text&) { list.Add(name); });
}

size_t TVariableManager::Count() const {
  auto guard = ReadLock();
  return table_.Count();
}

size_t TVariableManager::BucketCount() const {
  auto guard = ReadLock();
  return table_.BucketCount();
}

// The text still to scan is kept reversed, so that putting a value in front of it (to scan the
// value again) is an append, and each unit carries the nesting depth of the value it came from.
// Everything already moved to the result is final, which keeps the work linear in what is scanned.
Text TVariableManager::ExpandText(TextView text, bool quoted) const {
  if (text.find(u'$') == TextView::npos) return Text(text);
  Text out;
  out.reserve(text.size());
  Text pending(text.rbegin(), text.rend());
  std::vector<uint8_t> depth(pending.size(), 0);
  size_t budget = kNestedExpandBudget;

  auto moveToResult = [&](size_t keep) {  // moves everything above index `keep` to the result
    out.append(pending.rbegin(), pending.rbegin() + static_cast<std::ptrdiff_t>(pending.size() - keep));
    pending.resize(keep);
    depth.resize(keep);
  };

  while (!pending.empty()) {
    const size_t open = pending.rfind(u'$');
    if (open == Text::npos) break;
    moveToResult(open + 1);  // the opening "$" is now on top
    const size_t close = open == 0 ? Text::npos : pending.rfind(u'$', open - 1);
    if (close == Text::npos) break;
    const Text name(pending.rbegin() + 1, pending.rbegin() + static_cast<std::ptrdiff_t>(open - close));
    const int level = depth[open];
    std::optional<Text> value;
    if (!name.empty() && level < kMaxExpandDepth) value = Find(name);
    const size_t inserted = value ? value->size() + (quoted ? 2 : 0) : 0;
    if (value && level > 0 && inserted > budget) value.reset();
    if (!value) {
      // Not a reference: its closing "$" opens the next candidate.
      moveToResult(close + 1);
      continue;
    }
    if (level > 0) budget -= inserted;
    pending.resize(close);
    depth.resize(close);
    if (quoted) pending.push_back(u'"');
    pending.append(value->rbegin(), value->rend());
    if (quoted) pending.push_back(u'"');
    depth.resize(pending.size(), static_cast<uint8_t>(level + 1));
  }
  moveToResult(0);
  return out;
}

// --- script-level operations --------------------------------------------------------------

void TVariableManager::SetCommandLineNames(std::vector<Text> names) {
  for (Text& name : names) name = UpperText(name);
  std::lock_guard guard(lock_);
  commandLineNames_ = std::move(names);
}

bool TVariableManager::IsProtected(TextView name, TextView origin) const {
  if (!Silent() || origin == kOriginCommandLine) return false;
  const Text upper = UpperText(name);
  std::lock_guard guard(lock_);
  return std::find(commandLineNames_.begin(), commandLineNames_.end(), upper) != commandLineNames_.end();
}

void TVariableManager::Define(TextView name, TextView value, TextView origin) {
  const TextView v = IsOwnReference(name, value) ? TextView() : value;
  if (Exists(name)) {
    Set(name, v, origin);
  } else {
    Store(name, v);
  }
}

void TVariableManager::Set(TextView name, TextView value, TextView origin) {
  if (IsProtected(name, origin)) return;
  if (Exists(name)) {
    Store(name, IsOwnReference(name, value) ? TextView() : value);
  } else {
    Define(name, value, origin);
  }
}

Text TVariableManager::ReferencedValue(TextView text, TextView missing) const {
  Text name = ReferenceName(text);
  if (name.empty()) name = Text(text);
  std::optional<Text> value = Find(name);
  return value ? Expand(*value) : Text(missing);
}

Text TVariableManager::NormalizedPath(TextView text) const {
  const Text expanded = Expand(text);
  Text path = ReplaceText(expanded, u"\\\\", u"\\", false, true);
  if (StartsWith(expanded, u"\\\\")) path.insert(path.begin(), u'\\');
  return path;
}

TVariableManager& ProcessVariables() {
  static TVariableManager store(true);
  return store;
}

// --- "Set Variable" -----------------------------------------------------------------------

namespace {

void SetVariableSideEffects(TextView name, TextView value, TVariableManager& vars) {
  if (SameText(name, u"ABORT")) {
    vars.Set(u"ZURI_IsCancelled", value, u"Set Variable Tricke");
  } else if (SameText(name, u"ZURI_TIMEOUT")) {
    seams::SetDownloadTimeout(TextToInt32(value).value_or(10));
  } else if (SameText(name, u"PROGRESS") || SameText(name, u"PROGRESSTEXT")) {
    seams::RefreshScriptProgress(vars.Get(u"PROGRESSTEXT"), WholeNumber(vars.Get(u"PROGRESS")));
  }
}

}  // namespace

void RunSetVariable(const CompiledScript& script, size_t n, TVariableManager& vars) {
  Text value = script.Parameter(n, 2);
  if (!vars.Get(u"LANGUAGE").empty()) value = seams::TranslateText(value, script.Parameter(n, 0), 1);
  value = vars.Expand(value);

  const Text targetText = script.Parameter(n, 1);
  TextView nameText = targetText;
  bool persist = false;
  if (size_t at = targetText.find(kPersistMarker); at != Text::npos) {
    persist = TextView(targetText).substr(at + kPersistMarker.size()) == u"TRUE";
    nameText = TextView(targetText).substr(0, at);
  }
  Text name = ReferenceName(nameText);
  if (name.empty()) name = Text(nameText);
  if (!vars.Exists(name)) vars.Define(UpperText(name), u"", kOriginSetVariable);

  if (SameText(name, u"NATIVE_LOGGING")) {
    const Text current = vars.Get(name);
    if (value != current) value = seams::SwitchNativeLogging(current, value);
  }
  vars.Set(name, value, kOriginSetVariable);
  if (persist) seams::AddPersistedVariable(name);
  SetVariableSideEffects(name, value, vars);
}

}  // namespace vx
