#include "state/Components.h"

#include <algorithm>
#include <limits>

#include "platform/DiskSpace.h"
#include "script/VariableManager.h"

namespace vx {

namespace {

// Space figures come from the script and the saved state; a sum that would overflow stops at the
// limit instead of wrapping into a nonsense sign.
int64_t SaturatingAdd(int64_t a, int64_t b) {
  int64_t sum = 0;
  if (!__builtin_add_overflow(a, b, &sum)) return sum;
  return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

int64_t SaturatingSub(int64_t a, int64_t b) {
  int64_t difference = 0;
  if (!__builtin_sub_overflow(a, b, &difference)) return difference;
  return b < 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

bool Contains(const std::vector<Text>& list, TextView name) {
  return std::any_of(list.begin(), list.end(), [&](const Text& line) { return SameText(line, name); });
}

void RemoveAll(std::vector<Text>& list, TextView name) {
  std::erase_if(list, [&](const Text& line) { return SameText(line, name); });
}

// The name itself and every component it is nested in: "A\B\C", "A\B", "A".
bool NameOrParentIn(const std::vector<Text>& list, TextView name) {
  for (;;) {
    if (Contains(list, name)) return true;
    const size_t slash = name.rfind(u'\\');
    if (slash == TextView::npos) return false;
    name = name.substr(0, slash);
  }
}

}  // namespace

// --- the model ----------------------------------------------------------------------------------

void TComponentModel::Reset(const TextList& definitions) {
  *this = TComponentModel();
  const auto& lines = definitions.Lines();
  for (size_t i = 0; i + 1 < lines.size(); i += 2) sizes_.push_back({lines[i], lines[i + 1]});
  seeded_ = true;
}

std::optional<size_t> TComponentModel::Find(TextView name) const {
  for (size_t i = 0; i < names_.size(); ++i)
    if (SameText(names_[i], name)) return i;
  return std::nullopt;
}

const ComponentSize* TComponentModel::FindSize(TextView name) const {
  for (const ComponentSize& entry : sizes_)
    if (SameText(entry.name, name)) return &entry;
  return nullptr;
}

void TComponentModel::StoreDescription(size_t index, TextView description) {
  if (descriptions_.size() <= index) descriptions_.resize(index + 1);
  descriptions_[index] = Text(description);
}

void TComponentModel::Define(TextView name, bool selected, TextView description, TextView sizeSource) {
  // A translated component carries the size the script's definitions give its untranslated name.
  if (!sizeSource.empty() && !SameText(sizeSource, name) && !FindSize(name)) {
    const ComponentSize* source = FindSize(sizeSource);
    if (source && TextToInt64(source->size).value_or(0) != 0) sizes_.push_back({Text(name), source->size});
  }
  if (!FindSize(name)) sizes_.push_back({Text(name), u"0"});

  // A state file may hold fewer states than names; keep the lists parallel from here on.
  if (states_.size() < names_.size()) states_.resize(names_.size());
  if (const auto index = Find(name)) {
    if (auto it = std::find_if(deleted_.begin(), deleted_.end(), [&](const Text& n) { return SameText(n, name); });
        it != deleted_.end())
      deleted_.erase(it);
    StoreDescription(*index, description);
    if (states_[*index].empty()) states_[*index] = TruthText(selected);
    return;
  }
  names_.emplace_back(name);
  StoreDescription(names_.size() - 1, description);
  states_.push_back(TruthText(selected));
}

void TComponentModel::Delete(TextView name) {
  if (IsDefined(name) && !Contains(deleted_, name)) deleted_.emplace_back(name);
}

void TComponentModel::SetState(TextView name, bool selected) {
  const auto index = Find(name);
  if (!index) return;
  if (states_.size() <= *index) states_.resize(*index + 1);
  states_[*index] = TruthText(selected);
}

bool TComponentModel::SetSize(TextView name, TextView size) {
  const auto bytes = TextToInt64(size);
  if (!bytes || !IsDefined(name)) return false;
  for (ComponentSize& entry : sizes_) {
    if (SameText(entry.name, name)) {
      entry.size = IntToText(*bytes);
      return true;
    }
  }
  sizes_.push_back({Text(name), IntToText(*bytes)});
  return true;
}

void TComponentModel::SetChoice(TextView name, bool changeable) {
  if (changeable)
    RemoveAll(fixed_, name);
  else if (IsDefined(name) && !Contains(fixed_, name))
    fixed_.emplace_back(name);
}

void TComponentModel::SetVisibility(TextView name, bool visible) {
  if (visible)
    RemoveAll(hidden_, name);
  else if (IsDefined(name) && !Contains(hidden_, name))
    hidden_.emplace_back(name);
}

bool TComponentModel::IsDeleted(TextView name) const { return Contains(deleted_, name); }
bool TComponentModel::IsHidden(TextView name) const { return NameOrParentIn(hidden_, name); }
bool TComponentModel::IsFixed(TextView name) const { return NameOrParentIn(fixed_, name); }

bool TComponentModel::IsSelected(TextView name) const {
  const auto index = Find(name);
  return index && !IsDeleted(name) && *index < states_.size() && IsTrue(states_[*index]);
}

Text TComponentModel::Description(TextView name) const {
  const auto index = Find(name);
  return index && *index < descriptions_.size() ? descriptions_[*index] : Text();
}

int64_t TComponentModel::Size(TextView name) const {
  const ComponentSize* entry = FindSize(name);
  return entry ? TextToInt64(entry->size).value_or(0) : 0;
}

int64_t TComponentModel::SelectedSize() const {
  int64_t sum = 0;
  for (size_t i = 0; i < names_.size() && i < states_.size(); ++i)
    if (IsTrue(states_[i]) && !IsDeleted(names_[i])) sum = SaturatingAdd(sum, Size(names_[i]));
  return sum;
}

int64_t TComponentModel::RequiredSpace() const { return SaturatingSub(SelectedSize(), baseline_); }

bool TComponentModel::ShownInSelection(size_t index) const {
  const Text& name = names_[index];
  return !SameText(name, kPredefinedComponent) && !IsDeleted(name) && !IsHidden(name);
}

std::vector<SelectionNode> TComponentModel::SelectionTree() const {
  std::vector<SelectionNode> roots;
  for (size_t i = 0; i < names_.size(); ++i) {
    if (!ShownInSelection(i)) continue;
    std::vector<SelectionNode>* level = &roots;
    SelectionNode* node = nullptr;
    TextView rest = names_[i];
    for (;;) {
      const size_t slash = rest.find(u'\\');
      const TextView part = rest.substr(0, slash);
      auto it = std::find_if(level->begin(), level->end(), [&](const SelectionNode& n) { return SameText(n.text, part); });
      if (it == level->end()) it = level->insert(level->end(), SelectionNode{Text(part), -1, 0, {}});
      node = &*it;
      level = &node->children;
      if (slash == TextView::npos) break;
      rest = rest.substr(slash + 1);
    }
    node->imageIndex = i < states_.size() && IsTrue(states_[i]) ? 0 : 1;
    node->data = i + 1;
  }
  return roots;
}

std::vector<SelectionItem> TComponentModel::SelectionList() const {
  std::vector<SelectionItem> items;
  for (size_t i = 0; i < names_.size(); ++i)
    if (ShownInSelection(i)) items.push_back({names_[i], i < states_.size() && IsTrue(states_[i]), i + 1});
  return items;
}

void TComponentModel::ApplyCheckMarks(const std::vector<SelectionItem>& items) {
  for (const SelectionItem& item : items) SetState(item.name, item.checked);
}

void TComponentModel::Replace(std::vector<Text> names, std::vector<Text> states, std::vector<Text> deleted,
                              std::vector<Text> hidden, std::vector<Text> fixed, std::vector<ComponentSize> sizes) {
  names_ = std::move(names);
  states_ = std::move(states);
  descriptions_.clear();
  deleted_ = std::move(deleted);
  hidden_ = std::move(hidden);
  fixed_ = std::move(fixed);
  sizes_ = std::move(sizes);
  seeded_ = true;
}

void TComponentModel::Merge(const std::vector<Text>& names, const std::vector<Text>& states, std::vector<Text> deleted,
                            std::vector<Text> hidden, std::vector<Text> fixed) {
  for (size_t i = 0; i < names.size() && i < states.size(); ++i) {
    const auto index = Find(names[i]);
    if (!index) continue;
    if (states_.size() <= *index) states_.resize(*index + 1);
    states_[*index] = states[i];
  }
  deleted_ = std::move(deleted);
  hidden_ = std::move(hidden);
  fixed_ = std::move(fixed);
}

TComponentModel& ProcessComponents() {
  static TComponentModel model;
  return model;
}

// --- space figures ------------------------------------------------------------------------------

Text FormatSpace(int64_t bytes, const SpaceUnits& units) {
  const Text* unit = &units.bytes;
  int64_t shown = bytes;
  if (bytes >= 1073741824) {
    shown = bytes / 1048576;
    unit = &units.megabytes;
  } else if (bytes >= 1048576) {
    shown = bytes / 1024;
    unit = &units.kilobytes;
  }
  // The magnitude as unsigned, so that the most negative count has one too.
  uint64_t magnitude = shown < 0 ? 0 - static_cast<uint64_t>(shown) : static_cast<uint64_t>(shown);
  Text digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  Text grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += u',';
    grouped += digits[i];
  }
  return (shown < 0 ? Text(u"-") : Text()) + grouped + u" " + *unit;
}

Text DrivePart(TextView path) {
  if (path.size() >= 2 && path[1] == u':') return Text(path.substr(0, 2));
  if (!StartsWith(path, u"\\\\")) return Text();
  // "\\server\share": up to the separator after the share name.
  const size_t server = path.find(u'\\', 2);
  if (server == TextView::npos) return Text(path);
  return Text(path.substr(0, path.find(u'\\', server + 1)));
}

FreeSpaceQuery MachineFreeSpace() { return &platform::FreeDiskSpace; }

int64_t AvailableSpace(TextView targetDir, const FreeSpaceQuery& query) {
  if (targetDir.empty()) return -1;
  const Text drive = DrivePart(targetDir);
  if (drive.empty()) return 0;
  return query(drive + u"\\").value_or(0);
}

SpaceTexts ComputeSpaceTexts(const TComponentModel& model, TextView component, TextView targetDir,
                             const FreeSpaceQuery& query, const SpaceUnits& units) {
  const int64_t required = model.RequiredSpace();
  const int64_t available = AvailableSpace(targetDir, query);
  return {FormatSpace(model.Size(component), units), FormatSpace(required, units), FormatSpace(available, units),
          FormatSpace(SaturatingSub(available, required), units)};
}

}  // namespace vx
