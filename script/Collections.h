// Hash tables keyed by names compared without regard to case.
//
// The variable store and the engine's other name tables share one layout, and its enumeration
// order is visible to scripts (a dump of all variables lists them bucket by bucket), so the layout
// is fixed rather than left to the standard library:
//   - the hash runs over the lower-cased name, one UTF-16 code unit at a time (NameHash);
//   - an empty table has no buckets; the first insertion creates 32;
//   - before an insertion, when the entry count has reached twice the bucket count, the bucket
//     count doubles and every entry is redistributed;
//   - a new entry goes to the head of its bucket's chain; replacing a value keeps the key as it
//     was first spelled; the empty name is never stored and never found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "script/Text.h"

namespace vx {

// h = h * 16 + unit over the lower-cased name, in wrapping 32-bit arithmetic; whenever h reaches
// 2^28, its top four bits are folded into bits 4 to 7 and cleared.
[[nodiscard]] uint32_t NameHash(TextView name);

template <typename Value>
class TCustomHashTable {
 public:
  static constexpr size_t kInitialBuckets = 32;

  [[nodiscard]] size_t Count() const { return count_; }
  [[nodiscard]] size_t BucketCount() const { return buckets_.size(); }

  [[nodiscard]] const Value* Find(TextView name) const {
    const Entry* e = FindEntry(name);
    return e ? &e->value : nullptr;
  }

  // Binds the name to the value; returns true when the name was new.
  bool Put(TextView name, Value value) {
    if (name.empty()) return false;
    Text folded = LowerText(name);
    const uint32_t hash = NameHash(folded);
    if (Entry* e = FindFolded(folded, hash)) {
      e->value = std::move(value);
      return false;
    }
    if (buckets_.empty()) {
      buckets_.resize(kInitialBuckets);
    } else if (count_ >= buckets_.size() * 2) {
      Grow();
    }
    // The back of a chain's vector is the head of the chain.
    buckets_[hash % buckets_.size()].push_back(Entry{Text(name), std::move(folded), hash, std::move(value)});
    ++count_;
    return true;
  }

  // Removes the binding; returns true when there was one.
  bool Remove(TextView name) {
    if (name.empty() || buckets_.empty()) return false;
    Text folded = LowerText(name);
    const uint32_t hash = NameHash(folded);
    auto& chain = buckets_[hash % buckets_.size()];
    for (auto it = chain.begin(); it != chain.end(); ++it) {
      if (it->hash == hash && it->folded == folded) {
        chain.erase(it);
        --count_;
        return true;
      }
    }
    return false;
  }

  // Back to the state of a new table: no entries and no buckets.
  void Clear() {
    buckets_.clear();
    count_ = 0;
  }

  // Calls f(key, value) for every entry: buckets from the first, each chain from its head.
  template <typename F>
  void ForEach(F&& f) const {
    for (const auto& chain : buckets_)
      for (auto it = chain.rbegin(); it != chain.rend(); ++it) f(it->key, it->value);
  }

 private:
  struct Entry {
    Text key;     // as first spelled
    Text folded;  // lower-cased, what is hashed and compared
    uint32_t hash;
    Value value;
  };

  const Entry* FindEntry(TextView name) const {
    if (name.empty() || buckets_.empty()) return nullptr;
    Text folded = LowerText(name);
    return FindIn(*this, folded, NameHash(folded));
  }

  Entry* FindFolded(const Text& folded, uint32_t hash) { return FindIn(*this, folded, hash); }

  // One search for the const and the mutable table.
  template <typename Self>
  static auto FindIn(Self& self, const Text& folded, uint32_t hash) -> decltype(&self.buckets_[0][0]) {
    if (self.buckets_.empty()) return nullptr;
    auto& chain = self.buckets_[hash % self.buckets_.size()];
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
      if (it->hash == hash && it->folded == folded) return &*it;
    return nullptr;
  }

  // Entries move in enumeration order and each lands at the head of its new chain.
  void Grow() {
    std::vector<std::vector<Entry>> grown(buckets_.size() * 2);
    for (auto& chain : buckets_)
      for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        grown[it->hash % grown.size()].push_back(std::move(*it));
    buckets_ = std::move(grown);
  }

  std::vector<std::vector<Entry>> buckets_;
  size_t count_ = 0;
};

// Names bound to texts: the variable store's table.
class TStringHashTable : public TCustomHashTable<Text> {};

}  // namespace vx
