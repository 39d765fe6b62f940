#include "framework/platform/XmlWriter.h"

#include <charconv>
#include <cstdint>

namespace {

bool IsXmlChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

void AppendHexReference(std::wstring& out, uint32_t code) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  wchar_t digits[8];
  int n = 0;
  do {
    digits[n++] = kDigits[code & 15];
    code >>= 4;
  } while (code != 0);
  if (n < 2) digits[n++] = L'0';
  out += L"&#x";
  while (n > 0) out.push_back(digits[--n]);
  out.push_back(L';');
}

}  // namespace

std::wstring EscapeXmlText(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size() + text.size() / 4);
  for (wchar_t ch : text) {
    const uint32_t c = static_cast<uint32_t>(ch);
    switch (c) {
      case 0x22: out += L"&quot;"; continue;
      case 0x27: out += L"&apos;"; continue;
      case 0x26: out += L"&amp;"; continue;
      case 0x3C: out += L"&lt;"; continue;
      case 0x3E: out += L"&gt;"; continue;
      case 0x0A: out += L"&#x0a;"; continue;
      case 0x0D: out += L"&#x0d;"; continue;
      // A raw tab in an attribute value would come back as a blank.
      case 0x09: out += L"&#x09;"; continue;
      default: break;
    }
    if (!IsXmlChar(c))
      out += L"&#xfffd;";
    else if (c < 0x80)
      out.push_back(ch);
    else
      AppendHexReference(out, c);
  }
  return out;
}

std::wstring FormatXmlDouble(double value) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
  return std::wstring(buf, r.ptr);
}
