#pragma once
// A popup browser window opened by a movie's click or end action: its size, position and
// the window features it shows.
#include <cstdint>

class XmlWriter;
class XmlValue;

class PopupSettings {
 public:
  // Writes the record as a childless element of that name, with its line end.
  bool WriteXml(XmlWriter& writer, const wchar_t* elementName) const;
  // Attributes by name; an absent one leaves its field. Always true.
  bool ReadXml(const XmlValue& value);

  bool operator==(const PopupSettings&) const = default;

  int32_t width = 100;
  int32_t height = 100;
  int32_t x = 0;
  int32_t y = 0;
  bool toolbar = false;
  bool location = false;
  bool directories = false;
  bool status = false;
  bool menubar = false;
  bool scrollbars = false;
  bool resizable = false;
};
