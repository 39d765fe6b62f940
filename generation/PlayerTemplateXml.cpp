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

// Whether the element's "var" children are the template's variables, in order, by their
// names as they read back.
bool NamesVariablesOf(const XmlValue& element, const std::vector<PlayerVariable>& variables) {
  size_t at = 0;
  bool same = true;
  element_xml::ForEachChildElement(element, [&](const XmlValue& child, const std::wstring& tag) {
    if (tag != L"var" || !same) return;
    XmlElement e;
    XmlValue name;
    same = child.ToElement(e) && element_xml::Get(e, "name", name) && at < variables.size() &&
           XmlAttributeAsRead(variables[at++].name) == name.AsString();
  });
  return same && at == variables.size();
}

}  // namespace

PlayerTemplate* PlayerTemplateLibrary::FindForValues(PlayerTemplateLibrary* library,
                                                     const XmlValue& element, bool copy) {
  XmlElement e;
  XmlValue name;
  // Template names are file names: a longer text names none and is not copied.
  if (!library || !element.ToElement(e) || !element_xml::Get(e, "name", name) || !name.FitsPath())
    return nullptr;
  const std::wstring read = name.AsString();
  PlayerTemplate* found = nullptr;
  int best = 0;
  for (auto& t : library->templates_) {
    if (XmlAttributeAsRead(t->Name()) != read) continue;
    const int rank = 1 + (t->Name() == read) + 2 * NamesVariablesOf(element, t->Variables());
    if (rank > best) {
      found = t.get();
      best = rank;
    }
  }
  return found && copy ? found->Clone() : found;
}

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
    if (at < variables_.size() && XmlAttributeAsRead(variables_[at].name) == read)
      variables_[at].value = text.AsString();
    else
      SetVariable(read, text.AsString());
  });
  return true;
}
