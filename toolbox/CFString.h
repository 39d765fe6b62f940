#pragma once
// The platform string: an immutable, shared text of Unicode code points (UTF-32). There is
// no UTF-16 step inside; where a UTF-16 form is read or produced, surrogate pairs are
// combined and a lone surrogate becomes U+FFFD.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "toolbox/TextCodec.h"

namespace toolbox {

// A length byte followed by up to 255 bytes.
using Str255 = unsigned char[256];

// A 16-bit length followed by up to 255 UTF-16 units.
struct HFSUniStr255 {
  uint16_t length = 0;
  char16_t unicode[255] = {};
};

class CFString {
 public:
  // Code points that are surrogates or lie above U+10FFFF become U+FFFD.
  explicit CFString(std::wstring_view text);

  const std::wstring& Text() const { return text_; }
  // Number of characters (code points).
  size_t Length() const { return text_.size(); }

 private:
  std::wstring text_;
};

// A reference to a shared string; releasing is dropping the reference.
using CFStringRef = std::shared_ptr<const CFString>;

CFStringRef CreateString(std::wstring_view text);

// Null when the encoding is unknown. Invalid UTF-8 decodes with U+FFFD in place of each bad
// sequence.
CFStringRef CreateStringWithBytes(std::string_view bytes, StringEncoding encoding);

// Surrogate pairs are combined; a lone surrogate becomes U+FFFD.
CFStringRef CreateStringWithUtf16(std::u16string_view units);

// The text in an encoding; characters the encoding lacks become '?'. Empty for an unknown
// encoding.
std::string GetBytes(const CFString& string, StringEncoding encoding);

// The text as UTF-16 units, characters above U+FFFF as surrogate pairs.
std::u16string GetUtf16(const CFString& string);

// True when both are null or both hold the same text.
bool EqualStrings(const CFStringRef& a, const CFStringRef& b);

}  // namespace toolbox
