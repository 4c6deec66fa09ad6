// The compiled script: the text the authoring compiler appends to the engine, and the in-memory
// model the loader builds from it.
//
// File grammar (UTF-8, optional byte-order mark, lines end with CR LF, each section ends with a
// line that is exactly "$"; anything after the fourteenth "$" is ignored):
//
//   section  1  command name of each statement
//   section  2  identifier of each statement ("{GUID}", upper case)
//   section  3  parameter blocks: identifier line, then parameter 1, 2, ... ("$WILD_DOLLAR$" or
//               "$DOLLAR$" stands for a lone "$")
//   section  4  statement flag: empty or "C" (commented out)
//   section  5  product code, product title | plug-in command names
//   section  6  publisher, contact, help link, update link, comments, version | block, password pairs
//   section  7  media folder of each statement
//   section  8  package kind (integer) | component name, size pairs
//   section  9  revision code | media file triples (block, path in archive, destination folder)
//   section 10  ask-language "TRUE"/other, default language | command header, statement number pairs
//   section 11  build variable name, value pairs
//   section 12  project code page (integer) | source reference of each statement ("file*line")
//   section 13  native total size (64-bit integer) | native file table
//   section 14  include context of each statement ("variable*depth")
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "script/TextList.h"

namespace vx {

// The ordered stack of parameter lists. The loader leaves one list (section 3); included scripts
// push their own lists while they run.
class ParameterStack {
 public:
  void Push(std::shared_ptr<const TextList> list) { lists_.push_back(std::move(list)); }
  void Pop() { if (!lists_.empty()) lists_.pop_back(); }
  void Clear() { lists_.clear(); }
  [[nodiscard]] size_t Depth() const { return lists_.size(); }
  [[nodiscard]] const TextList& List(size_t i) const { return *lists_.at(i); }

  // Parameter k of the statement with this identifier: the line k places after the identifier in
  // the first list that holds it; empty text when no list does; k = 0 is the identifier line.
  // Reading past the end of that list raises the list-index error.
  [[nodiscard]] Text Parameter(TextView identifier, size_t k) const;

 private:
  std::vector<std::shared_ptr<const TextList>> lists_;
};

struct ProductValues {
  Text productCode;
  Text title;
  Text publisher;
  Text contact;
  Text helpLink;
  Text updateLink;
  Text comments;
  Text version;
  int32_t packageKind = 0;
  Text revisionCode;
  bool askLanguage = false;
  Text defaultLanguage;
  int32_t codePage = 0;
  int64_t nativeTotalSize = 0;
};

struct CompiledScript {
  // Statement tables, indexed by statement number.
  TextList commands;
  TextList identifiers;
  TextList flags;
  TextList mediaFolders;
  TextList sourceReferences;
  TextList includeContexts;

  ParameterStack parameters;

  ProductValues product;

  // Product lists.
  TextList pluginCommands;
  TextList mediaPasswords;
  TextList components;
  TextList mediaFiles;
  TextList commandHeaders;
  TextList buildVariables;
  TextList nativeFileTable;

  [[nodiscard]] size_t StatementCount() const { return commands.Count(); }
  [[nodiscard]] bool IsCommentedOut(size_t n) const { return flags.Get(n) == u"C"; }

  // Parameter k of statement n (through the parameter-list stack).
  [[nodiscard]] Text Parameter(size_t n, size_t k) const { return parameters.Parameter(identifiers.Get(n), k); }

  // The command header owned by statement n, or empty.
  [[nodiscard]] Text Header(size_t n) const;
  [[nodiscard]] Text SourceFile(size_t n) const;
  [[nodiscard]] int32_t SourceLine(size_t n) const;
  [[nodiscard]] Text IncludeVariable(size_t n) const;
  [[nodiscard]] int32_t IncludeDepth(size_t n) const;

  // Build-variable substitution: every "#NAME#" of a build variable in the text is replaced by its
  // value, case ignored, repeated while the result still holds "#" and changes (at most a fixed
  // number of rounds, so a value that refers to itself cannot grow without end).
  [[nodiscard]] Text BuildValue(TextView text) const;

 private:
  // Statement number -> index of its header line. Only the number lines of the pairs are keyed,
  // so a header whose hexadecimal digits happen to read as a number is never taken for one.
  mutable std::unordered_map<int64_t, size_t> headerIndex_;
  mutable bool headerIndexed_ = false;
};

// Builds the model from the bytes of a compiled script. A file that ends before a section's end
// line, a fixed number line that is not a number, or statement tables of unequal length raise an
// EngineError that says what is wrong with the script.
[[nodiscard]] CompiledScript LoadCompiledScript(std::string_view bytes);

// The marker lines that stand for a parameter whose whole text is "$".
inline constexpr std::u16string_view kWildDollar = u"$WILD_DOLLAR$";
inline constexpr std::u16string_view kDollar = u"$DOLLAR$";

// Serialises a model to the compiled-script text (CR LF, no byte-order mark). The parameter blocks
// come from the first list of the parameter stack, written as they stand except that a line that
// is exactly "$" is written as "$WILD_DOLLAR$". A line that would end a list section early or
// break the line structure raises an EngineError naming the section.
[[nodiscard]] std::string WriteCompiledScript(const CompiledScript& script);

}  // namespace vx
