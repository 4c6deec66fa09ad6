// Where the executable image ends inside its file: the largest end (raw data offset + raw data
// size) over the section headers. Everything after it was appended: the compiled script of a
// setup, or the language data of the archive library.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vx {

// The headers are read from the first bytes of the file; every offset is checked against them.
// Nothing when they are not a PE image or the section table does not lie within the bytes given.
[[nodiscard]] std::optional<uint64_t> PeImageEnd(std::string_view headerBytes);

// How many bytes from the start of the file PeImageEnd needs to see.
inline constexpr size_t kPeHeaderReadSize = 64 * 1024;

}  // namespace vx
