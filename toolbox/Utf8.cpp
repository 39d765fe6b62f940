#include "toolbox/Utf8.h"

#include <cstdint>
#include <cstring>

namespace toolbox {
namespace {

// True when none of the eight bytes at `p` has its top bit set.
bool AllAscii(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return (word & 0x8080808080808080u) == 0;
}

// Writes each of `count` ASCII characters as its byte; the pointers never overlap, which
// lets the loop run on vectors.
void NarrowAscii(const wchar_t* __restrict from, size_t count, char* __restrict to) {
  for (size_t i = 0; i < count; ++i)
    to[i] = static_cast<char>(static_cast<uint32_t>(from[i]) & 0x7F);
}

// The code point a wide character is written as: surrogates and values above U+10FFFF
// become U+FFFD.
unsigned long CodePoint(wchar_t wc) {
  const auto cp = static_cast<unsigned long>(static_cast<unsigned int>(wc));
  return cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ? kReplacementChar : cp;
}

// Decodes one sequence starting at bytes[i]; advances i past what was consumed and returns
// the code point, or -1 for an invalid sequence (of which one byte is consumed).
long DecodeOne(std::string_view bytes, size_t& i) {
  const auto b0 = static_cast<unsigned char>(bytes[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int extra;
  unsigned long cp;
  unsigned long min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    extra = 1, cp = b0 & 0x1F, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    extra = 2, cp = b0 & 0x0F, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    extra = 3, cp = b0 & 0x07, min = 0x10000;
  } else {
    ++i;
    return -1;
  }
  size_t j = i + 1;
  for (int k = 0; k < extra; ++k, ++j) {
    if (j >= bytes.size()) {
      ++i;
      return -1;
    }
    const auto b = static_cast<unsigned char>(bytes[j]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return -1;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return -1;
  }
  i = j;
  return static_cast<long>(cp);
}

}  // namespace

std::wstring Utf8ToWide(std::string_view bytes) {
  // No sequence gives more than one code point a byte; ASCII, most of any script or path,
  // is copied eight bytes at a time.
  std::wstring out(bytes.size(), L'\0');
  wchar_t* to = out.data();
  const char* from = bytes.data();
  size_t i = 0;
  while (i < bytes.size()) {
    while (i + 8 <= bytes.size() && AllAscii(from + i)) {
      for (size_t k = 0; k < 8; ++k) to[k] = static_cast<unsigned char>(from[i + k]);
      to += 8;
      i += 8;
    }
    if (i == bytes.size()) break;
    const long cp = DecodeOne(bytes, i);
    *to++ = cp < 0 ? kReplacementChar : static_cast<wchar_t>(cp);
  }
  out.resize(static_cast<size_t>(to - out.data()));
  return out;
}

std::wstring Utf8ToWideShowingBytes(std::string_view bytes) {
  static const wchar_t kHex[] = L"0123456789ABCDEF";
  std::wstring out;
  size_t i = 0;
  while (i < bytes.size()) {
    const size_t at = i;
    const long cp = DecodeOne(bytes, i);
    if (cp >= 0) {
      out += static_cast<wchar_t>(cp);
      continue;
    }
    const auto b = static_cast<unsigned char>(bytes[at]);
    out += {L'\\', L'x', kHex[b >> 4], kHex[b & 0xF]};
  }
  return out;
}

bool IsValidUtf8(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    while (i + 8 <= bytes.size() && AllAscii(bytes.data() + i)) i += 8;
    if (i == bytes.size()) break;
    if (DecodeOne(bytes, i) < 0) return false;
  }
  return true;
}

size_t Utf8Size(std::wstring_view text) {
  // The length of CodePoint(c) in UTF-8, without branches so that the loop runs on vectors: one
  // byte, one more from U+0080, one more from U+0800, and a fourth for U+10000 to U+10FFFF
  // only (a surrogate or a value past U+10FFFF is written as U+FFFD, three bytes).
  size_t size = 0;
  for (const wchar_t wc : text) {
    const auto cp = static_cast<uint32_t>(wc);
    size += 1u + (cp >= 0x80u) + (cp >= 0x800u) + (cp - 0x10000u < 0x100000u);
  }
  return size;
}

std::string WideToUtf8(std::wstring_view text) {
  // Measured first, so that the text is written in place, with ASCII at one store a
  // character.
  std::string out(Utf8Size(text), '\0');
  char* to = out.data();
  if (out.size() == text.size()) {
    // Every character took one byte: all of them are ASCII.
    NarrowAscii(text.data(), text.size(), to);
    return out;
  }
  for (const wchar_t wc : text) {
    const unsigned long cp = CodePoint(wc);
    if (cp < 0x80) {
      *to++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
      *to++ = static_cast<char>(0xC0 | (cp >> 6));
      *to++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      *to++ = static_cast<char>(0xE0 | (cp >> 12));
      *to++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *to++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      *to++ = static_cast<char>(0xF0 | (cp >> 18));
      *to++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *to++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *to++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

}  // namespace toolbox
