// An ordered list of text lines searched without regard to case.
//
// The compiled script's tables are read-mostly lists that are searched often (parameter blocks by
// identifier, labels, build values). IndexOf keeps a hash of the lower-cased lines, built on the
// first search and kept up to date by Add, so a lookup costs the same for 10 or 1,000,000 lines.
#pragma once

#include <cstddef>
#include <unordered_map>
#include <vector>

#include "script/Text.h"

namespace vx {

class TextList {
 public:
  TextList() = default;
  explicit TextList(std::vector<Text> lines) : lines_(std::move(lines)) {}

  void Add(Text line);
  void Clear();

  [[nodiscard]] size_t Count() const { return lines_.size(); }
  [[nodiscard]] bool Empty() const { return lines_.empty(); }

  // Line i; reading outside the list raises the list-index error.
  [[nodiscard]] const Text& At(size_t i) const;
  // Line i, or empty text outside the list.
  [[nodiscard]] Text Get(size_t i) const { return i < lines_.size() ? lines_[i] : Text(); }

  // Index of the first line equal to the text without regard to case, or -1.
  [[nodiscard]] std::ptrdiff_t IndexOf(TextView text) const;

  [[nodiscard]] const std::vector<Text>& Lines() const { return lines_; }
  std::vector<Text>& MutableLines();  // invalidates the search hash

 private:
  void BuildIndex() const;

  std::vector<Text> lines_;
  mutable std::unordered_map<Text, size_t> index_;
  mutable bool indexed_ = false;
};

}  // namespace vx
