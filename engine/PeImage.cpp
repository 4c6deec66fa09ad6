#include "engine/PeImage.h"

#include <algorithm>

namespace vx {

namespace {

template <typename Int>
std::optional<Int> ReadAt(std::string_view bytes, uint64_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(Int)) return std::nullopt;
  Int value = 0;
  for (size_t i = 0; i < sizeof(Int); ++i)
    value |= static_cast<Int>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
  return value;
}

}  // namespace

std::optional<uint64_t> PeImageEnd(std::string_view bytes) {
  if (bytes.substr(0, 2) != "MZ") return std::nullopt;
  auto peOffset = ReadAt<uint32_t>(bytes, 0x3C);
  if (!peOffset || bytes.substr(std::min<uint64_t>(*peOffset, bytes.size()), 4) != std::string_view("PE\0\0", 4))
    return std::nullopt;
  const uint64_t fileHeader = uint64_t{*peOffset} + 4;
  auto sectionCount = ReadAt<uint16_t>(bytes, fileHeader + 2);
  auto optionalHeaderSize = ReadAt<uint16_t>(bytes, fileHeader + 16);
  if (!sectionCount || !optionalHeaderSize) return std::nullopt;
  // The section table follows the optional header, whose size the file header gives: this holds
  // for the 32-bit and the 64-bit (PE32+) layout alike.
  const uint64_t table = fileHeader + 20 + *optionalHeaderSize;
  uint64_t end = 0;
  for (uint32_t i = 0; i < *sectionCount; ++i) {
    const uint64_t header = table + uint64_t{i} * 40;
    auto rawSize = ReadAt<uint32_t>(bytes, header + 16);
    auto rawOffset = ReadAt<uint32_t>(bytes, header + 20);
    if (!rawSize || !rawOffset) return std::nullopt;
    end = std::max(end, uint64_t{*rawOffset} + *rawSize);
  }
  return end;
}

}  // namespace vx
