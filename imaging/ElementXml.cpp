#include "imaging/ElementXml.h"

#include <limits>

#include "framework/platform/WideText.h"

namespace element_xml {

uint32_t ParseUnsigned(const std::wstring& text) {
  size_t i = 0;
  while (i < text.size() && IsWhiteSpace(text[i])) ++i;
  if (i < text.size() && text[i] == L'+') ++i;
  uint64_t v = 0;
  bool any = false;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    any = true;
    v = v * 10 + static_cast<uint64_t>(text[i] - L'0');
    if (v > std::numeric_limits<uint32_t>::max()) return std::numeric_limits<uint32_t>::max();
  }
  return any ? static_cast<uint32_t>(v) : 0;
}

bool MatchWord(const std::wstring& text, const wchar_t* const* words, size_t count,
               bool ignoreCase, uint32_t& field) {
  for (size_t i = 0; i < count; ++i) {
    if (!words[i] || !*words[i]) continue;
    if (ignoreCase ? CompareNoCase(text.c_str(), words[i]) == 0 : text == words[i]) {
      field = static_cast<uint32_t>(i);
      return true;
    }
  }
  return false;
}

std::wstring ElementName(const XmlValue& value) {
  XmlElement e;
  if (!value.ToElement(e)) return std::wstring();
  WideText name;
  if (!value.Name(name)) return std::wstring();
  return name.CStr();
}

}  // namespace element_xml
