#pragma once
// A classic resource file (data fork layout) holding one resource, for tests of the code
// that reads stored resources.
#include <cstdint>
#include <string>

#include "toolbox/AppleDouble.h"

namespace testsupport {

inline std::string Be16(uint16_t v) { return {static_cast<char>(v >> 8), static_cast<char>(v)}; }
inline std::string Be32(uint32_t v) {
  return Be16(static_cast<uint16_t>(v >> 16)) + Be16(static_cast<uint16_t>(v));
}

inline std::string ResourceFile(toolbox::OSType type, int16_t id, const std::string& bytes) {
  const std::string data = Be32(static_cast<uint32_t>(bytes.size())) + bytes;
  const std::string typeList = Be16(0) + Be32(type) + Be16(0) + Be16(10);
  const std::string refs = Be16(static_cast<uint16_t>(id)) + Be16(0xFFFF) + Be32(0) + Be32(0);
  const std::string map = std::string(24, '\0') + Be16(28) + Be16(0) + typeList + refs;
  return Be32(16) + Be32(16 + static_cast<uint32_t>(data.size())) +
         Be32(static_cast<uint32_t>(data.size())) + Be32(static_cast<uint32_t>(map.size())) + data + map;
}

}  // namespace testsupport
