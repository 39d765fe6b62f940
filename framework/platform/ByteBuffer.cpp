#include "framework/platform/ByteBuffer.h"

#include <array>

namespace {

constexpr std::array<uint8_t, 256> MakeBase64Table() {
  std::array<uint8_t, 256> t{};
  for (auto& v : t) v = 255;
  for (int i = 0; i < 26; ++i) {
    t['A' + i] = static_cast<uint8_t>(i);
    t['a' + i] = static_cast<uint8_t>(26 + i);
  }
  for (int i = 0; i < 10; ++i) t['0' + i] = static_cast<uint8_t>(52 + i);
  t['+'] = 62;
  t['/'] = 63;
  return t;
}

constexpr std::array<uint8_t, 256> kBase64 = MakeBase64Table();

}  // namespace

bool ByteBuffer::DecodeBase64(const char* text, int32_t length) {
  if (!text) return false;
  bytes_.clear();
  if (length <= 0) return true;
  bytes_.reserve(static_cast<size_t>(length) / 4 * 3 + 3);
  const auto T = [text](int64_t i) { return kBase64[static_cast<unsigned char>(text[i])]; };
  for (int64_t i = 0; i < length; i += 4) {  // 64-bit: i + 4 must not overflow
    if (i + 1 >= length) break;  // a lone final character carries no whole byte
    bytes_.push_back(static_cast<uint8_t>((T(i) << 2) | ((T(i + 1) >> 4) & 3)));
    if (i + 2 < length) {
      if (text[i + 2] == '=') break;
      bytes_.push_back(static_cast<uint8_t>((T(i + 1) << 4) | ((T(i + 2) >> 2) & 15)));
    }
    if (i + 3 < length) {
      if (text[i + 3] == '=') break;
      bytes_.push_back(static_cast<uint8_t>((T(i + 2) << 6) | T(i + 3)));
    }
  }
  return true;
}
