// The one exception type of the engine. Failures are raised as EngineError and caught at the
// levels the engine fixes: per command, per statement in the interpreter, and at the process entry.
#pragma once

#include <exception>
#include <string>

#include "script/Text.h"

namespace vx {

class EngineError : public std::exception {
 public:
  explicit EngineError(Text message) : message_(std::move(message)), utf8_(TextToUtf8(message_)) {}
  explicit EngineError(std::string_view ascii) : EngineError(T(ascii)) {}

  [[nodiscard]] const Text& Message() const noexcept { return message_; }
  [[nodiscard]] const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  Text message_;
  std::string utf8_;
};

// The error a list read past its end raises; a run-time error of the statement that caused it.
[[noreturn]] void ThrowListIndexError(int64_t index);

}  // namespace vx
