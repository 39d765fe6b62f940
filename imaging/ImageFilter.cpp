#include "imaging/ImageFilter.h"

#include "framework/platform/WideText.h"
#include "imaging/ElementXml.h"

namespace ex = element_xml;

bool ImageFilter::WriteXml(XmlWriter& writer) const {
  ex::Open(writer, L"filter");
  ex::Text(writer, L"name", name_);
  WriteAttributes(writer);
  ex::EndEmpty(writer);
  return true;
}

void GenericImageFilter::WriteAttributes(XmlWriter& writer) const {
  for (const FilterAttribute& a : attributes_) ex::Text(writer, a.first.c_str(), a.second);
}

FilterList* FindFilterList(uint32_t id) {
  static FilterList list0(0);
  return id == 0 ? &list0 : nullptr;
}

ImageFilter* ReadFilterElement(FilterList* list, const XmlElement& element) {
  if (!list) return nullptr;
  XmlValue name;
  if (!element.Attribute("name", name)) return nullptr;
  std::vector<FilterAttribute> attributes;
  const int n = element.AttributeCount();
  for (int i = 0; i < n; ++i) {
    std::string key;
    XmlValue value;
    if (!element.AttributeAt(i, key, value) || key == "name") continue;
    attributes.emplace_back(FromNativeString(key), value.AsString());
  }
  return new GenericImageFilter(name.AsString(), std::move(attributes));
}
