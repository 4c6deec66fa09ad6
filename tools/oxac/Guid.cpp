#include "tools/oxac/Guid.h"

#include <array>
#include <cctype>
#include <random>

namespace vx::oxac {

namespace {

using Bytes = std::array<uint8_t, 16>;

std::string Format(const Bytes& b) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "{";
  for (size_t i = 0; i < b.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
    out += kHex[b[i] >> 4];
    out += kHex[b[i] & 15];
  }
  return out + "}";
}

// Marks the bytes as an RFC 9562 GUID of the given version (variant 10).
void Stamp(Bytes& b, uint8_t version) {
  b[6] = static_cast<uint8_t>((b[6] & 0x0F) | (version << 4));
  b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);
}

uint64_t Fnv1a(std::string_view text, uint64_t hash) {
  for (unsigned char c : text) hash = (hash ^ c) * 0x100000001B3ULL;
  return hash;
}

// SplitMix64's finaliser: spreads every input bit over the whole word.
uint64_t Mix(uint64_t x) {
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

void Put(Bytes& b, size_t at, uint64_t value) {
  for (size_t i = 0; i < 8; ++i) b[at + i] = static_cast<uint8_t>(value >> (56 - 8 * i));
}

}  // namespace

std::string StatementIdentifier(std::string_view productCode, size_t n) {
  std::string key(productCode);
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  key += '#' + std::to_string(n);
  Bytes b{};
  Put(b, 0, Mix(Fnv1a(key, 0xCBF29CE484222325ULL)));
  Put(b, 8, Mix(Fnv1a(key, 0x84222325CBF29CE4ULL) ^ 0x9E3779B97F4A7C15ULL));
  Stamp(b, 8);  // version 8: a custom, deterministic derivation
  return Format(b);
}

std::string RandomGuid() {
  std::random_device device;
  std::uniform_int_distribution<unsigned> byte(0, 255);
  Bytes b{};
  for (uint8_t& v : b) v = static_cast<uint8_t>(byte(device));
  Stamp(b, 4);
  return Format(b);
}

std::optional<std::string> NormalizeGuid(std::string_view text) {
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
  if (text.size() != 36) return std::nullopt;
  std::string out = "{";
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? c != '-' : !std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return out + "}";
}

}  // namespace vx::oxac
