#pragma once
// Helpers for the settings elements that write themselves with the XML writer and read
// themselves back from a parsed element: attributes written as a blank, the name, "=" and
// the value in double quotes; read by name, with an absent attribute leaving its field.
// Used by this folder and by the folders above it (generation, publish, project).
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "framework/platform/PathString.h"
#include "framework/platform/XmlReader.h"
#include "framework/platform/XmlWriter.h"

namespace element_xml {

// ---- Writing ----

inline void Open(XmlWriter& w, const wchar_t* element) { w.Write(L"<").Write(element); }
inline void Name(XmlWriter& w, const wchar_t* name) { w.Write(L" ").Write(name).Write(L"=\""); }
// " />" and a line feed: a childless element ends.
inline void EndEmpty(XmlWriter& w) { w.Write(L" />\n"); }
// " >" and a line feed: children follow.
inline void EndOpen(XmlWriter& w) { w.Write(L" >\n"); }
inline void Close(XmlWriter& w, const wchar_t* element) {
  w.Write(L"</").Write(element).Write(L">\n");
}

inline void Text(XmlWriter& w, const wchar_t* name, std::wstring_view value) {
  Name(w, name);
  w.WriteEscaped(value);
  w.Write(L"\"");
}
inline void Bool(XmlWriter& w, const wchar_t* name, bool value) {
  Name(w, name);
  w.WriteBool(value).Write(L"\"");
}
inline void Long(XmlWriter& w, const wchar_t* name, int32_t value) {
  Name(w, name);
  w.WriteLong(value).Write(L"\"");
}
inline void ULong(XmlWriter& w, const wchar_t* name, uint32_t value) {
  Name(w, name);
  w.WriteULong(value).Write(L"\"");
}
inline void Short(XmlWriter& w, const wchar_t* name, int16_t value) {
  Name(w, name);
  w.WriteShort(value).Write(L"\"");
}
inline void Float(XmlWriter& w, const wchar_t* name, float value) {
  Name(w, name);
  w.WriteFloat(value).Write(L"\"");
}
inline void Path(XmlWriter& w, const wchar_t* name, const PathString& value) {
  Name(w, name);
  w.WritePath(value).Write(L"\"");
}
// The word of an enumeration value; a value without a word is written empty.
template <size_t N>
void Word(XmlWriter& w, const wchar_t* name, const wchar_t* const (&words)[N], uint32_t value) {
  Name(w, name);
  if (value < N && words[value]) w.Write(words[value]);
  w.Write(L"\"");
}

// ---- Reading ----

// Unsigned decimal from the start of the text (after white space; a '+' is allowed),
// saturated to the 32-bit range; 0 without digits or for a negative number.
uint32_t ParseUnsigned(std::wstring_view text);
// The same, of a value's text, without a string made for it.
uint32_t ParseUnsigned(const XmlValue& value);

inline bool Get(const XmlElement& e, const char* name, XmlValue& v) {
  v = XmlValue();
  return e.Attribute(name, v);
}
inline bool ReadBool(const XmlElement& e, const char* name, bool& field) {
  XmlValue v;
  if (!Get(e, name, v)) return false;
  field = v.AsBool();
  return true;
}
inline bool ReadLong(const XmlElement& e, const char* name, int32_t& field) {
  XmlValue v;
  if (!Get(e, name, v)) return false;
  field = static_cast<int32_t>(v.AsLong(0));
  return true;
}
inline bool ReadULong(const XmlElement& e, const char* name, uint32_t& field) {
  XmlValue v;
  if (!Get(e, name, v)) return false;
  field = ParseUnsigned(v);
  return true;
}
inline bool ReadShort(const XmlElement& e, const char* name, int16_t& field) {
  XmlValue v;
  if (!Get(e, name, v)) return false;
  field = static_cast<int16_t>(v.AsLong(0));
  return true;
}
// A number beyond the float range becomes the largest float of its sign.
inline bool ReadFloat(const XmlElement& e, const char* name, float& field) {
  XmlValue v;
  if (!Get(e, name, v)) return false;
  const double d = v.AsDouble(0);
  constexpr double kMax = std::numeric_limits<float>::max();
  field = d > kMax ? static_cast<float>(kMax) : d < -kMax ? static_cast<float>(-kMax) : static_cast<float>(d);
  return true;
}
template <typename S>
bool ReadText(const XmlElement& e, const char* name, S& field) {
  XmlValue v;
  if (!Get(e, name, v)) return false;
  field = v.AsString();
  return true;
}
// A word of the table, exactly or ignoring letter case; any other word leaves the field.
bool MatchWord(std::wstring_view text, const wchar_t* const* words, size_t count,
               bool ignoreCase, uint32_t& field);
// The same, of a value's text, without a string made for it.
bool MatchWord(const XmlValue& value, const wchar_t* const* words, size_t count,
               bool ignoreCase, uint32_t& field);
template <size_t N>
bool ReadWord(const XmlElement& e, const char* name, const wchar_t* const (&words)[N],
              bool ignoreCase, uint32_t& field) {
  XmlValue v;
  if (!Get(e, name, v)) return false;
  return MatchWord(v, words, N, ignoreCase, field);
}

// The name of an element value; empty when it is not an element.
std::wstring ElementName(const XmlValue& value);
// The same into `name`, whose storage is reused; false, leaving it empty, for a value that is
// not an element.
bool ElementName(const XmlValue& value, std::wstring& name);
// Calls f(child value, child name) for every child element, in document order.
template <typename F>
void ForEachChildElement(const XmlValue& value, F&& f) {
  XmlNode node;
  if (!value.ToNode(node)) return;
  const int n = node.ChildCount();
  std::wstring name;  // one buffer for every child's name
  for (int i = 0; i < n; ++i) {
    XmlValue child;
    if (!node.ChildAt(i, child)) continue;
    if (!ElementName(child, name)) continue;
    f(child, std::as_const(name));
  }
}

}  // namespace element_xml
