#include "script/TextList.h"

#include "script/EngineError.h"

namespace vx {

void ThrowListIndexError(int64_t index) {
  throw EngineError(T("List index out of bounds (" + std::to_string(index) + ")"));
}

void TextList::Add(Text line) {
  if (indexed_) index_.try_emplace(LowerText(line), lines_.size());
  lines_.push_back(std::move(line));
}

void TextList::Clear() {
  lines_.clear();
  index_.clear();
  indexed_ = false;
}

const Text& TextList::At(size_t i) const {
  if (i >= lines_.size()) ThrowListIndexError(static_cast<int64_t>(i));
  return lines_[i];
}

std::ptrdiff_t TextList::IndexOf(TextView text) const {
  if (!indexed_) BuildIndex();
  auto it = index_.find(LowerText(text));
  return it == index_.end() ? -1 : static_cast<std::ptrdiff_t>(it->second);
}

std::vector<Text>& TextList::MutableLines() {
  index_.clear();
  indexed_ = false;
  return lines_;
}

void TextList::BuildIndex() const {
  index_.clear();
  index_.reserve(lines_.size());
  // try_emplace keeps the first index of a repeated line, as a front-to-back search would find it.
  for (size_t i = 0; i < lines_.size(); ++i) index_.try_emplace(LowerText(lines_[i]), i);
  indexed_ = true;
}

}  // namespace vx
