#include "toolbox/ResourceFork.h"

namespace toolbox {
namespace {

bool Read16(std::string_view d, uint64_t at, uint16_t& v) {
  if (at > d.size() || d.size() - at < 2) return false;
  v = static_cast<uint16_t>((static_cast<unsigned char>(d[at]) << 8) | static_cast<unsigned char>(d[at + 1]));
  return true;
}

bool Read32(std::string_view d, uint64_t at, uint32_t& v) {
  uint16_t hi, lo;
  if (!Read16(d, at, hi) || !Read16(d, at + 2, lo)) return false;
  v = (static_cast<uint32_t>(hi) << 16) | lo;
  return true;
}

}  // namespace

bool FindResourceData(std::string_view fork, OSType type, int16_t id, size_t& offset, size_t& length) {
  uint32_t dataOffset, mapOffset;
  uint16_t typeListOffset, typeCountMinusOne;
  if (!Read32(fork, 0, dataOffset) || !Read32(fork, 4, mapOffset)) return false;
  if (!Read16(fork, uint64_t{mapOffset} + 24, typeListOffset)) return false;
  const uint64_t typeList = uint64_t{mapOffset} + typeListOffset;
  if (!Read16(fork, typeList, typeCountMinusOne)) return false;
  // 0xFFFF is how an empty type list is written.
  const uint32_t typeCount = typeCountMinusOne == 0xFFFF ? 0 : uint32_t{typeCountMinusOne} + 1;
  for (uint32_t t = 0; t < typeCount; ++t) {
    const uint64_t entry = typeList + 2 + uint64_t{t} * 8;
    uint32_t entryType;
    uint16_t countMinusOne, refListOffset;
    if (!Read32(fork, entry, entryType) || !Read16(fork, entry + 4, countMinusOne) ||
        !Read16(fork, entry + 6, refListOffset))
      return false;
    if (entryType != type) continue;
    for (uint32_t r = 0; r <= countMinusOne; ++r) {
      const uint64_t ref = typeList + refListOffset + uint64_t{r} * 12;
      uint16_t refId;
      uint32_t attrsAndOffset, dataLength;
      if (!Read16(fork, ref, refId) || !Read32(fork, ref + 4, attrsAndOffset)) return false;
      if (static_cast<int16_t>(refId) != id) continue;
      const uint64_t at = uint64_t{dataOffset} + (attrsAndOffset & 0x00FFFFFF);
      if (!Read32(fork, at, dataLength) || fork.size() - (at + 4) < dataLength) return false;
      offset = static_cast<size_t>(at + 4);
      length = dataLength;
      return true;
    }
  }
  return false;
}

}  // namespace toolbox
