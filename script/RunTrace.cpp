#include "script/RunTrace.h"

#include "platform/FileIO.h"

namespace vx {

std::string EncodeTraceLine(TextView line) {
  std::string bytes;
  bytes.reserve((line.size() + 2) * 2);
  auto put = [&bytes](char16_t c) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  };
  for (char16_t c : line) put(c);
  put(u'\r');
  put(u'\n');
  return bytes;
}

void RunTrace::SetPath(Text path) {
  std::lock_guard guard(lock_);
  path_ = std::move(path);
}

Text RunTrace::Path() const {
  std::lock_guard guard(lock_);
  return path_;
}

void RunTrace::Line(TextView line) {
  std::lock_guard guard(lock_);
  if (path_.empty()) return;
  // The first line of the process starts the file anew, whichever path it goes to.
  if (platform::AppendToFile(path_, EncodeTraceLine(line), !started_)) started_ = true;
}

}  // namespace vx
