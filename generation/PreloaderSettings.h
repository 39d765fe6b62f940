#pragma once
// A job's preloader settings: the attributes of its "preload_data" element, kept in order
// as name and value pairs (none by default).
#include <string>
#include <utility>
#include <vector>

class XmlWriter;
class XmlValue;

class PreloaderSettings {
 public:
  using Attribute = std::pair<std::wstring, std::wstring>;

  static void Assign(PreloaderSettings& target, const PreloaderSettings& source) {
    target.attributes = source.attributes;
  }
  // The whole childless "preload_data" element with its line end.
  bool WriteXml(XmlWriter& writer) const;
  // Takes every attribute of the element, in order, in place of the held ones; a value that
  // is not an element leaves them. Always true.
  bool ReadXml(const XmlValue& value);

  std::vector<Attribute> attributes;
};
