#include "imaging/ElementXml.h"

#include <iterator>
#include <limits>

#include "framework/platform/WideText.h"
#include "toolbox/Utf8.h"

namespace element_xml {

namespace {

// Calls f with the value's text as a wide string; short ASCII text, nearly every value, is
// widened on the stack.
template <typename F>
auto WithWideText(const XmlValue& value, F&& f) {
  std::string_view utf8;
  value.Utf8Text(utf8);
  wchar_t buffer[64];
  if (utf8.size() <= std::size(buffer)) {
    bool ascii = true;
    for (size_t i = 0; i < utf8.size(); ++i) {
      const auto c = static_cast<unsigned char>(utf8[i]);
      ascii = ascii && c < 0x80;
      buffer[i] = static_cast<wchar_t>(c);
    }
    if (ascii) return f(std::wstring_view(buffer, utf8.size()));
  }
  const std::wstring wide = value.AsString();
  return f(std::wstring_view(wide));
}

// CompareNoCase(text, word) == 0 for a text that holds no NUL.
bool SameNoCase(std::wstring_view text, const wchar_t* word) {
  size_t i = 0;
  for (; i < text.size(); ++i)
    if (word[i] == L'\0' || FoldCase(text[i]) != FoldCase(word[i])) return false;
  return word[i] == L'\0';
}

}  // namespace

uint32_t ParseUnsigned(const XmlValue& value) {
  return WithWideText(value, [](std::wstring_view text) { return ParseUnsigned(text); });
}

bool MatchWord(const XmlValue& value, const wchar_t* const* words, size_t count, bool ignoreCase,
               uint32_t& field) {
  return WithWideText(value, [&](std::wstring_view text) {
    return MatchWord(text, words, count, ignoreCase, field);
  });
}

uint32_t ParseUnsigned(std::wstring_view text) {
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

bool MatchWord(std::wstring_view text, const wchar_t* const* words, size_t count,
               bool ignoreCase, uint32_t& field) {
  for (size_t i = 0; i < count; ++i) {
    if (!words[i] || !*words[i]) continue;
    if (ignoreCase ? SameNoCase(text, words[i]) : text == words[i]) {
      field = static_cast<uint32_t>(i);
      return true;
    }
  }
  return false;
}

std::wstring ElementName(const XmlValue& value) {
  std::wstring name;
  ElementName(value, name);
  return name;
}

bool ElementName(const XmlValue& value, std::wstring& name) {
  name.clear();
  XmlElement e;
  std::string_view utf8;
  if (!value.ToElement(e) || !value.Utf8Name(utf8)) return false;
  name.resize(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0x80) {
      name = toolbox::Utf8ToWide(utf8);
      break;
    }
    name[i] = static_cast<wchar_t>(c);
  }
  return true;
}

}  // namespace element_xml
