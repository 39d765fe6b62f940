#include "publish/PublishSettings.h"

#include "imaging/ElementXml.h"

void HtmlPublishSettings::Assign(HtmlPublishSettings& target, const HtmlPublishSettings& source) {
  target.display_width = source.display_width;
  target.display_height = source.display_height;
}

namespace ex = element_xml;

bool PublishSettings::WriteXml(XmlWriter& w) const {
  ex::Open(w, L"publish_data");
  ex::Text(w, L"base_name", base_name);
  ex::Path(w, L"output_folder", output_folder);
  ex::Bool(w, L"use_default_base_name", use_default_base_name);
  ex::Bool(w, L"publish_swf", publish_swf);
  ex::Bool(w, L"publish_flv", publish_flv);
  ex::Bool(w, L"publish_html", publish_html);
  ex::Bool(w, L"publish_mac_projector", publish_mac_projector);
  ex::Bool(w, L"publish_win_projector", publish_win_projector);
  ex::Bool(w, L"publish_quicktime", publish_quicktime);
  ex::Bool(w, L"publish_screen_saver", publish_screen_saver);
  ex::Bool(w, L"publish_installer", publish_installer);
  ex::Long(w, L"movie_width", movie_width);
  ex::Long(w, L"movie_height", movie_height);
  ex::Long(w, L"html_display_width", html.display_width);
  ex::Long(w, L"html_display_height", html.display_height);
  ex::EndEmpty(w);
  return true;
}

bool PublishSettings::ReadXml(const XmlValue& value) {
  XmlElement e;
  if (!value.ToElement(e)) return true;
  ex::ReadText(e, "base_name", base_name);
  XmlValue folder;
  if (ex::Get(e, "output_folder", folder)) folder.AsPath(output_folder);
  ex::ReadBool(e, "use_default_base_name", use_default_base_name);
  ex::ReadBool(e, "publish_swf", publish_swf);
  ex::ReadBool(e, "publish_flv", publish_flv);
  ex::ReadBool(e, "publish_html", publish_html);
  ex::ReadBool(e, "publish_mac_projector", publish_mac_projector);
  ex::ReadBool(e, "publish_win_projector", publish_win_projector);
  ex::ReadBool(e, "publish_quicktime", publish_quicktime);
  ex::ReadBool(e, "publish_screen_saver", publish_screen_saver);
  ex::ReadBool(e, "publish_installer", publish_installer);
  ex::ReadLong(e, "movie_width", movie_width);
  ex::ReadLong(e, "movie_height", movie_height);
  ex::ReadLong(e, "html_display_width", html.display_width);
  ex::ReadLong(e, "html_display_height", html.display_height);
  return true;
}
