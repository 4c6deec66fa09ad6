#include "script/ControlFlow.h"

#include "platform/RunFacts.h"
#include "script/EngineError.h"
#include "script/VariableManager.h"
#include "script/mEval.h"

namespace vx {

namespace {

// Long searches keep the windows alive: pending messages are handled after this many statements.
constexpr size_t kSearchPumpInterval = 313;

constexpr TextView kForEachOrigin = u"For Each Action";

std::optional<LoopKind> HeadKind(TextView command) {
  if (command == u"While") return LoopKind::While;
  if (command == u"Repeat") return LoopKind::Repeat;
  if (command == u"For Each") return LoopKind::ForEach;
  return std::nullopt;
}

std::optional<LoopKind> EndKind(TextView command) {
  if (command == u"Wend") return LoopKind::While;
  if (command == u"Until") return LoopKind::Repeat;
  if (command == u"Next") return LoopKind::ForEach;
  return std::nullopt;
}

Text HeadName(LoopKind kind) {
  switch (kind) {
    case LoopKind::While: return u"While";
    case LoopKind::Repeat: return u"Repeat";
    case LoopKind::ForEach: return u"For Each";
  }
  return Text();
}

Text EndName(LoopKind kind) {
  switch (kind) {
    case LoopKind::While: return u"Wend";
    case LoopKind::Repeat: return u"Until";
    case LoopKind::ForEach: return u"Next";
  }
  return Text();
}

// Counts the statements a search examines and lets messages through at the interval.
class SearchPacer {
 public:
  void Examined() {
    if (++count_ % kSearchPumpInterval == 0) platform::PumpMessages();
  }

 private:
  size_t count_ = 0;
};

// The For Each variable: parameter 1 without its enclosing dollar signs.
Text ForEachVariable(TextView line) {
  if (line.size() >= 2 && line.front() == u'$' && line.back() == u'$') line = line.substr(1, line.size() - 2);
  return UpperText(line);
}

// The next item of a For Each list; empty when the list is used up. Leading separators are
// dropped, so empty items between repeated separators never reach the body. When no separator is
// left, the rest is the last item and the separator itself stays behind, so the next turn finds
// nothing.
Text TakeItem(ForEachState& state) {
  const Text& sep = state.separator;
  Text& rest = state.remaining;
  if (!sep.empty())
    while (StartsWith(rest, sep)) rest.erase(0, sep.size());
  const size_t at = sep.empty() ? Text::npos : rest.find(sep);
  Text item;
  if (at != Text::npos) {
    item = rest.substr(0, at);
    rest.erase(0, at + sep.size());
  } else {
    item = std::move(rest);
    rest = sep;
  }
  return item;
}

}  // namespace

ControlFlow::ControlFlow(const CompiledScript& script, TVariableManager& vars) : script_(script), vars_(vars) {
  for (size_t n = 0; n < script_.StatementCount(); ++n)
    if (Command(n) == u"Label") labels_[UpperText(script_.Parameter(n, 1))] = n;
}

// --- the fetch ------------------------------------------------------------------------------

std::optional<size_t> ControlFlow::Fetch() {
  ApplySkips();
  FollowIncludeDepth();
  const bool chosen = state_.wizardMode && Navigate();
  const size_t count = script_.StatementCount();
  if (!chosen)
    while (pointer_ < count && (!Active(pointer_) || Command(pointer_) == u"Ignore")) ++pointer_;
  if (pointer_ >= count) return std::nullopt;
  current_ = pointer_++;
  if (branchArrival_ && *branchArrival_ != current_) branchArrival_.reset();
  return current_;
}

void ControlFlow::ApplySkips() {
  if (state_.skipToBranch) {
    state_.skipToBranch = false;
    const size_t stop = ScanChain(pointer_, true, current_);
    const Text& c = Command(stop);
    if (c == u"Else If") {
      pointer_ = stop;
      branchArrival_ = stop;
    } else {
      pointer_ = c == u"Else" ? stop + 1 : stop;
    }
  } else if (state_.skipToEnd) {
    state_.skipToEnd = false;
    pointer_ = ScanChain(pointer_, false, current_);
  }
}

void ControlFlow::FollowIncludeDepth() {
  if (pointer_ >= script_.StatementCount()) return;
  const int32_t depth = script_.IncludeDepth(pointer_);
  if (depth > lastDepth_) {
    saved_.push_back(state_);
  } else if (depth < lastDepth_ && !saved_.empty()) {
    // The included script's loops and For Each lists end with it.
    state_ = std::move(saved_.back());
    saved_.pop_back();
  }
  lastDepth_ = depth;
}

bool ControlFlow::Navigate() {
  if (wizardDirection_ == 0) {
    LeaveWizardAt(current_);
    return true;
  }
  const size_t count = script_.StatementCount();
  size_t i = current_;
  for (;;) {
    if (wizardDirection_ > 0 ? ++i >= count : i-- == 0)
      throw EngineError(u"The wizard loop has no end");
    if (!Active(i)) continue;
    const Text& c = Command(i);
    if (c == u"Display Dialog") {
      pointer_ = i;
      return true;
    }
    if ((c == u"End" && wizardDirection_ > 0) || (c == u"Wizard Loop" && wizardDirection_ < 0)) {
      LeaveWizardAt(i);
      return true;
    }
  }
}

void ControlFlow::LeaveWizardAt(size_t from) {
  for (size_t i = from; i < script_.StatementCount(); ++i) {
    if (Active(i) && Command(i) == u"End") {
      state_.wizardMode = false;
      pointer_ = i;
      return;
    }
  }
  throw EngineError(u"The wizard loop has no 'End'");
}

// --- scans ----------------------------------------------------------------------------------

// Forward from `from` over a branch chain, counting nested "If" and "Wizard Loop" blocks: the
// first "Else" or "Else If" at the chain's own level (when stopAtBranch), or the chain's "End".
size_t ControlFlow::ScanChain(size_t from, bool stopAtBranch, size_t origin) const {
  int nesting = 0;
  for (size_t i = from; i < script_.StatementCount(); ++i) {
    if (!Active(i)) continue;
    const Text& c = Command(i);
    if (c == u"If" || c == u"Wizard Loop") {
      ++nesting;
    } else if (c == u"End") {
      if (--nesting < 0) return i;
    } else if (stopAtBranch && nesting == 0 && (c == u"Else" || c == u"Else If")) {
      return i;
    }
  }
  throw EngineError(u"No 'End' closes the '" + Command(origin) + u"' block");
}

size_t ControlFlow::SearchLoopEnd(size_t n, LoopKind kind) const {
  std::vector<LoopKind> wanted{kind};
  SearchPacer pacer;
  for (size_t i = n + 1; i < script_.StatementCount(); ++i) {
    pacer.Examined();
    if (!Active(i)) continue;
    const Text& c = Command(i);
    if (auto head = HeadKind(c)) {
      wanted.push_back(*head);
    } else if (auto end = EndKind(c); end && *end == wanted.back()) {
      wanted.pop_back();
      if (wanted.empty()) return i;
    }
  }
  throw EngineError(u"No '" + EndName(kind) + u"' ends the '" + HeadName(kind) + u"' loop");
}

size_t ControlFlow::SearchLoopHead(size_t n, LoopKind kind) const {
  std::vector<LoopKind> wanted{kind};
  SearchPacer pacer;
  for (size_t i = n; i-- > 0;) {
    pacer.Examined();
    if (!Active(i)) continue;
    const Text& c = Command(i);
    if (auto end = EndKind(c)) {
      wanted.push_back(*end);
    } else if (auto head = HeadKind(c); head && *head == wanted.back()) {
      wanted.pop_back();
      if (wanted.empty()) return i;
    }
  }
  throw EngineError(u"No '" + HeadName(kind) + u"' starts the loop of '" + Command(n) + u"'");
}

LoopKind ControlFlow::InnermostLoop(size_t n) const {
  if (state_.loops.empty()) throw EngineError(u"'" + Command(n) + u"' is not inside a running loop");
  return state_.loops.back().kind;
}

void ControlFlow::PopLoop() {
  if (!state_.loops.empty()) state_.loops.pop_back();
}

void ControlFlow::EndForEach(const Text& variable) {
  state_.forEach.erase(variable);
  vars_.Delete(variable);
}

// --- branch chains --------------------------------------------------------------------------

void ControlFlow::If(size_t n) {
  if (!StatementConditionHolds(script_, n, vars_)) state_.skipToBranch = true;
}

void ControlFlow::ElseIf(size_t n) {
  if (branchArrival_ == n) {
    branchArrival_.reset();
    If(n);
  } else {
    state_.skipToEnd = true;  // the branch before it has run
  }
}

void ControlFlow::Else(size_t) { state_.skipToEnd = true; }

// --- loops ----------------------------------------------------------------------------------

void ControlFlow::While(size_t n) {
  if (StatementConditionHolds(script_, n, vars_)) {
    state_.loops.push_back({LoopKind::While, Text()});
  } else {
    pointer_ = SearchLoopEnd(n, LoopKind::While) + 1;
  }
}

void ControlFlow::Wend(size_t n) {
  PopLoop();
  pointer_ = SearchLoopHead(n, LoopKind::While);
}

void ControlFlow::Repeat(size_t) { state_.loops.push_back({LoopKind::Repeat, Text()}); }

void ControlFlow::Until(size_t n) {
  const bool done = StatementConditionHolds(script_, n, vars_);
  PopLoop();
  if (!done) pointer_ = SearchLoopHead(n, LoopKind::Repeat);
}

void ControlFlow::ForEach(size_t n) {
  const Text variable = ForEachVariable(script_.Parameter(n, 1));
  auto it = state_.forEach.find(variable);
  if (it == state_.forEach.end()) {
    ForEachState fresh{vars_.Expand(script_.Parameter(n, 3)), vars_.Expand(script_.Parameter(n, 2))};
    state_.loops.push_back({LoopKind::ForEach, variable});
    it = state_.forEach.emplace(variable, std::move(fresh)).first;
  }
  const Text item = TakeItem(it->second);
  if (!item.empty()) {
    vars_.Set(variable, item, kForEachOrigin);
    return;
  }
  pointer_ = SearchLoopEnd(n, LoopKind::ForEach) + 1;
  PopLoop();
  EndForEach(variable);
}

void ControlFlow::Next(size_t n) { pointer_ = SearchLoopHead(n, LoopKind::ForEach); }

void ControlFlow::Break(size_t n) {
  const LoopKind kind = InnermostLoop(n);
  pointer_ = SearchLoopEnd(n, kind) + 1;
  const LoopEntry left = state_.loops.back();
  PopLoop();
  if (kind == LoopKind::ForEach) EndForEach(left.variable);
}

void ControlFlow::Continue(size_t n) {
  const LoopKind kind = InnermostLoop(n);
  const size_t head = SearchLoopHead(n, kind);
  if (kind != LoopKind::ForEach) PopLoop();
  pointer_ = head;
}

// --- wizard loop, labels, includes ----------------------------------------------------------

void ControlFlow::WizardLoop(size_t) {
  state_.wizardMode = true;
  wizardDirection_ = 1;
}

void ControlFlow::DialogResult(int result) {
  if (!state_.wizardMode) return;
  if (result == 6) wizardDirection_ = 1;
  if (result == 7) wizardDirection_ = -1;
  if (result == 2) wizardDirection_ = 0;
}

void ControlFlow::ClearLoops() {
  state_.loops.clear();
  state_.forEach.clear();
}

// A label sits outside every block, so the jump leaves every loop of the script: their For Each
// lists are dropped too, and a later loop over the same variable starts its own list. The include
// save stack is trimmed to the label's level so the next depth change restores the right state.
void ControlFlow::GoToLabel(size_t n) {
  const Text name = script_.Parameter(n, 1);
  auto it = labels_.find(UpperText(name));
  if (it == labels_.end()) throw EngineError(u"The label '" + name + u"' does not exist");
  pointer_ = it->second;
  state_.skipToBranch = false;
  state_.skipToEnd = false;
  state_.wizardMode = false;
  ClearLoops();
  const int32_t depth = script_.IncludeDepth(pointer_);
  while (!saved_.empty() && static_cast<int32_t>(saved_.size()) > depth) saved_.pop_back();
  lastDepth_ = depth;
}

void ControlFlow::ReturnFromInclude(size_t n) {
  const Text variable = script_.IncludeVariable(n);
  if (variable == u"0") return;
  const int32_t target = script_.IncludeDepth(n) - 1;
  size_t i = n + 1;
  while (i < script_.StatementCount() && script_.IncludeDepth(i) != target) ++i;
  if (i >= script_.StatementCount())
    throw EngineError(u"'Return from Include Script' finds no statement of the including script");
  pointer_ = i;
  if (variable.empty()) return;
  const Text reason = Command(n) + u" Action";
  if (!vars_.Exists(variable)) vars_.Define(UpperText(variable), u"", reason);
  vars_.Set(variable, vars_.Expand(script_.Parameter(n, 1)), reason);
}

}  // namespace vx
