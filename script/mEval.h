// The script's two kinds of tests: the structured condition of "If", "Else If", "While" and
// "Until", and the free-form expression of "Evaluate Expression".
//
// Structured condition: parameter 1 the variable (a name or "$NAME$"), 2 the comparison code,
// 3 the value, 4 the negation flag. L is the variable's value expanded, R the value expanded.
//   code  both L and R whole 32-bit numbers   otherwise
//   "0"   L = R                                L equals R, case counts
//   "1"   L = R                                L contains R, case counts
//   "2"   L > R                                L sorts after R by UTF-16 code units
//   "3"   L = R                                L contains R, case ignored
//   "4"   L = R                                L equals R, case ignored (A to Z only)
//   "5"   a variable named exactly as parameter 1 exists
//   "6"   L is a higher version than R (up to four dotted parts)
// Any other code compares false. The condition holds when the comparison differs from the flag.
//
// Expression grammar (blanks are spaces, skipped between tokens):
//   expression  = term { connective term }     evaluated left to right, "and" and "or" of equal rank
//   connective  = "and" | "or"                 lower case exactly
//   term        = "(" expression ")" | literal operator literal
//   operator    = "=" | "<>" | "<=" | "<" | ">=" | ">"
//   literal     = '"' characters '"'           a doubled quote inside stands for one quote
// A connective or operator runs up to the next double quote or space. Two literals that are both
// whole numbers (optional sign, decimal digits) compare as numbers, others by UTF-16 code units.
// The text is evaluated as if wrapped in one pair of parentheses.
#pragma once

#include <cstddef>

#include "script/Text.h"

namespace vx {

class TVariableManager;
struct CompiledScript;

// "TRUE", "FALSE", or "ERROR" for a malformed expression. A numeric literal that does not fit
// 32 bits raises the conversion error of the statement.
[[nodiscard]] Text EvaluateExpression(TextView text);

// The compiler's check: with every "$" read as a double quote, the text must not evaluate to "ERROR".
[[nodiscard]] bool ExpressionSyntaxValid(TextView text);

// True when version l is higher than version r. A part before a "." that is not a whole number
// raises the conversion error of the statement; the last part counts as 0 when it is not one.
[[nodiscard]] bool VersionIsHigher(TextView l, TextView r);

// The structured condition with its four parameters as written.
[[nodiscard]] bool ConditionHolds(const TVariableManager& vars, TextView variable, TextView code,
                                  TextView value, TextView negate);

// The condition of statement n ("If", "Else If", "While", "Until"), its texts translated while a
// setup language is active.
[[nodiscard]] bool StatementConditionHolds(const CompiledScript& script, size_t n, const TVariableManager& vars);

// The "Evaluate Expression" command of statement n: parameter 1 the expression, parameter 2 the
// result variable.
void RunEvaluateExpression(const CompiledScript& script, size_t n, TVariableManager& vars);

}  // namespace vx
