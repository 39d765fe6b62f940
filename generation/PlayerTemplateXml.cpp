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

bool PlayerTemplate::ReadValuesXml(const XmlValue& value) {
  element_xml::ForEachChildElement(value, [&](const XmlValue& child, const std::wstring& tag) {
    if (tag != L"var") return;
    XmlElement e;
    child.ToElement(e);
    XmlValue name, text;
    if (element_xml::Get(e, "name", name) && element_xml::Get(e, "value", text))
      SetVariable(name.AsString(), text.AsString());
  });
  return true;
}
