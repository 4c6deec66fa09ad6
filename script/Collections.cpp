#include "script/Collections.h"

namespace vx {

uint32_t NameHash(TextView name) {
  uint32_t h = 0;
  for (char16_t unit : name) {
    h = h * 16 + LowerChar(unit);
    if (uint32_t top = h & 0xF0000000u) h = h ^ (top >> 24) ^ top;
  }
  return h;
}

}  // namespace vx
