#include "imaging/ImageTransition.h"

#include "imaging/ElementXml.h"

TransitionList* FindTransitionList(uint32_t) { return nullptr; }

ImageTransition* FindTransitionByName(TransitionList*, const std::wstring&) { return nullptr; }

ImageTransition* TransitionList::FindByName(TransitionList*, const std::wstring&) {
  return nullptr;
}

bool ImageTransition::WriteXml(XmlWriter& writer, const wchar_t* elementName) const {
  element_xml::Open(writer, elementName);
  element_xml::Text(writer, L"name", Name());
  element_xml::ULong(writer, L"duration", duration_);
  WriteAttributes(writer);
  element_xml::EndEmpty(writer);
  return true;
}

bool ImageTransition::ReadXml(const XmlElement& element) {
  element_xml::ReadULong(element, "duration", duration_);
  ReadAttributes(element);
  return true;
}
