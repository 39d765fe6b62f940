#include "publish/PopupSettings.h"

#include "imaging/ElementXml.h"

namespace ex = element_xml;

bool PopupSettings::WriteXml(XmlWriter& w, const wchar_t* elementName) const {
  ex::Open(w, elementName);
  ex::Long(w, L"width", width);
  ex::Long(w, L"height", height);
  ex::Long(w, L"x", x);
  ex::Long(w, L"y", y);
  ex::Bool(w, L"toolbar", toolbar);
  ex::Bool(w, L"location", location);
  ex::Bool(w, L"directories", directories);
  ex::Bool(w, L"status", status);
  ex::Bool(w, L"menubar", menubar);
  ex::Bool(w, L"scrollbars", scrollbars);
  ex::Bool(w, L"resizable", resizable);
  ex::EndEmpty(w);
  return true;
}

bool PopupSettings::ReadXml(const XmlValue& value) {
  XmlElement e;
  if (!value.ToElement(e)) return true;
  ex::ReadLong(e, "width", width);
  ex::ReadLong(e, "height", height);
  ex::ReadLong(e, "x", x);
  ex::ReadLong(e, "y", y);
  ex::ReadBool(e, "toolbar", toolbar);
  ex::ReadBool(e, "location", location);
  ex::ReadBool(e, "directories", directories);
  ex::ReadBool(e, "status", status);
  ex::ReadBool(e, "menubar", menubar);
  ex::ReadBool(e, "scrollbars", scrollbars);
  ex::ReadBool(e, "resizable", resizable);
  return true;
}
