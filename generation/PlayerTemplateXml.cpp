// The "player_data" element: the template's name and its chosen values.
#include "generation/PlayerTemplate.h"
#include "imaging/ElementXml.h"

bool PlayerTemplate::WriteValuesXml(XmlWriter& w, const wchar_t* elementName) const {
  element_xml::Open(w, elementName);
  element_xml::Text(w, L"name", name_);
  element_xml::EndOpen(w);
  for (const PlayerVariable& v : variables_) {
    element_xml::Open(w, L"var");
    element_xml::Text(w, L"name", v.name);
    element_xml::Text(w, L"value", v.value);
    element_xml::EndEmpty(w);
  }
  element_xml::Close(w, elementName);
  return true;
}

namespace {

// A name as an attribute written by the XML writer reads back: every character XML cannot
// carry (a control character, a lone surrogate) reads as U+FFFD, and the reader drops line
// feeds from attribute values.
std::wstring AsReadBack(const std::wstring& name) {
  std::wstring read = DecodeXmlEscapes(EscapeXmlText(name));
  std::erase(read, L'\n');
  return read;
}

}  // namespace

bool PlayerTemplate::ReadValuesXml(const XmlValue& value) {
  // The writer writes every variable in order, so the n-th "var" is the n-th variable when
  // its name reads as that variable's name reads back. That finds a name XML cannot carry,
  // even among names that read alike; a file written for another version of the template
  // is still read by name.
  size_t position = 0;
  element_xml::ForEachChildElement(value, [&](const XmlValue& child, const std::wstring& tag) {
    if (tag != L"var") return;
    const size_t at = position++;
    XmlElement e;
    child.ToElement(e);
    XmlValue name, text;
    if (!element_xml::Get(e, "name", name) || !element_xml::Get(e, "value", text)) return;
    const std::wstring read = name.AsString();
    if (at < variables_.size() && AsReadBack(variables_[at].name) == read)
      variables_[at].value = text.AsString();
    else
      SetVariable(read, text.AsString());
  });
  return true;
}
