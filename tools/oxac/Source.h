// One line of an oxac source file, taken apart.
//
// Line grammar (blanks are spaces and tabs; leading and trailing blanks are ignored):
//
//   line       = blank | comment | setting | include | statement | "~" statement
//   comment    = "#" anything
//   setting    = "@" word { blanks value }
//   include    = "include" blanks quoted [ blanks word ]
//   statement  = name { blanks quoted }        the name is everything before the first quote
//   quoted     = '"' { any character except '"' | '""' } '"'
//   value      = quoted | word                 a word is a run of non-blank characters without '"'
//
// A doubled quote inside a quoted text stands for one quote; there is no other escape, so
// backslashes are ordinary characters ("$PROGRAMFILES$\Acme" reads as written).
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vx::oxac {

// A line that does not follow the grammar; the caller adds file and line.
class LineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct SourceValue {
  std::string text;
  bool quoted = false;
};

struct SourceLine {
  enum class Kind { Blank, Comment, Setting, Include, Statement };
  Kind kind = Kind::Blank;
  bool disabled = false;                // statement marked with "~"
  std::string name;                     // command name, setting name (without "@")
  std::vector<SourceValue> values;      // parameters, setting values, include path and variable
};

// Takes one line apart (without its line end). Raises LineError saying what was expected.
[[nodiscard]] SourceLine ParseLine(std::string_view line);

// The lines of a source file: a UTF-8 byte-order mark is dropped, LF and CR LF both end lines.
[[nodiscard]] std::vector<std::string_view> SplitLines(std::string_view text);

// A text in source form: in double quotes, with every quote inside doubled.
[[nodiscard]] std::string Quote(std::string_view text);

}  // namespace vx::oxac
