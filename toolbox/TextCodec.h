#pragma once
// Conversion between wide text (UTF-32 code points) and the byte encodings that stored
// formats use. Every conversion is locale-free and works character by character: a
// character the target encoding lacks becomes '?', and the rest of the text is kept.
#include <cstdint>
#include <string>
#include <string_view>

namespace toolbox {

// Encoding numbers follow the platform's string encodings, so that a value stored in a
// document keeps its meaning.
enum class StringEncoding : uint32_t {
  kMacRoman = 0,
  kIsoLatin1 = 0x0201,
  kUtf8 = 0x08000100,
};

inline constexpr char kLossByte = '?';

// Wide text to bytes. For UTF-8 nothing is lost (surrogate code points and values above
// U+10FFFF become U+FFFD); for the 8-bit encodings each unmappable character becomes '?'.
std::string EncodeText(std::wstring_view text, StringEncoding encoding);

// Bytes to wide text. UTF-8 decodes with invalid sequences as U+FFFD; every byte of an
// 8-bit encoding maps to exactly one character.
std::wstring DecodeText(std::string_view bytes, StringEncoding encoding);

// True for the encodings above.
bool IsKnownEncoding(StringEncoding encoding);

}  // namespace toolbox
