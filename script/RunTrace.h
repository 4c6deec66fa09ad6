// The run trace: an optional tagged log of the run, written to the "/l=" path.
//
// Each line is UTF-16 little-endian text followed by CR LF, without a byte-order mark. The first
// line written in the process empties the file. The file is opened, extended and closed for every
// line, so the trace survives a crash and another process can read it while the setup runs. An
// empty path writes nothing. The interpreter moves the trace by setting a new path (LOGGED).
#pragma once

#include <mutex>

#include "script/Text.h"

namespace vx {

class RunTrace {
 public:
  explicit RunTrace(Text path = Text()) : path_(std::move(path)) {}

  void SetPath(Text path);
  [[nodiscard]] Text Path() const;

  // Writes one line; a failure to write is not an error of the run.
  void Line(TextView line);

 private:
  mutable std::mutex lock_;  // workers add native-engine records from their threads
  Text path_;
  bool started_ = false;
};

// The encoded bytes of one trace line.
[[nodiscard]] std::string EncodeTraceLine(TextView line);

}  // namespace vx
