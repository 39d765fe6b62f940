#include "toolbox/CFString.h"

#include "toolbox/Utf8.h"

namespace toolbox {
namespace {

bool IsScalarValue(wchar_t c) {
  return c >= 0 && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
}

}  // namespace

CFString::CFString(std::wstring_view text) : text_(text) {
  for (wchar_t& c : text_) {
    if (!IsScalarValue(c)) c = kReplacementChar;
  }
}

CFStringRef CreateString(std::wstring_view text) { return std::make_shared<const CFString>(text); }

CFStringRef CreateStringWithBytes(std::string_view bytes, StringEncoding encoding) {
  if (!IsKnownEncoding(encoding)) return nullptr;
  return CreateString(DecodeText(bytes, encoding));
}

CFStringRef CreateStringWithUtf16(std::u16string_view units) {
  std::wstring text;
  text.reserve(units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    const char32_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      const char32_t low = units[++i];
      text.push_back(static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00)));
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      text.push_back(kReplacementChar);
    } else {
      text.push_back(static_cast<wchar_t>(u));
    }
  }
  return CreateString(text);
}

std::string GetBytes(const CFString& string, StringEncoding encoding) {
  if (!IsKnownEncoding(encoding)) return std::string();
  return EncodeText(string.Text(), encoding);
}

std::u16string GetUtf16(const CFString& string) {
  std::u16string units;
  units.reserve(string.Length());
  for (wchar_t c : string.Text()) {
    const auto cp = static_cast<char32_t>(c);  // a scalar value, checked on construction
    if (cp >= 0x10000) {
      units.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(cp));
    }
  }
  return units;
}

bool EqualStrings(const CFStringRef& a, const CFStringRef& b) {
  if (!a || !b) return !a && !b;
  return a->Text() == b->Text();
}

}  // namespace toolbox
