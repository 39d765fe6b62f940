#include "generation/PreloaderSettings.h"

#include "framework/platform/WideText.h"
#include "imaging/ElementXml.h"

bool PreloaderSettings::WriteXml(XmlWriter& w) const {
  element_xml::Open(w, L"preload_data");
  for (const Attribute& a : attributes) element_xml::Text(w, a.first.c_str(), a.second);
  element_xml::EndEmpty(w);
  return true;
}

bool PreloaderSettings::ReadXml(const XmlValue& value) {
  XmlElement e;
  if (!value.ToElement(e)) return true;
  std::vector<Attribute> read;
  const int n = e.AttributeCount();
  for (int i = 0; i < n; ++i) {
    std::string name;
    XmlValue v;
    if (e.AttributeAt(i, name, v)) read.emplace_back(FromNativeString(name), v.AsString());
  }
  attributes.swap(read);
  return true;
}
