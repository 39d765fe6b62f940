#pragma once
// A job's publishing settings: the names and folder of the published files, which outputs a
// "multi" export publishes, and the records of each output.
#include <cstdint>
#include <string>

#include "framework/platform/PathString.h"

class XmlWriter;
class XmlElement;
class XmlValue;

class HtmlPublishSettings {
 public:
  static void Assign(HtmlPublishSettings& target, const HtmlPublishSettings& source);
  int32_t display_width = 320;
  int32_t display_height = 240;
};

// The QuickTime movie with a Flash track. No settings of its own yet.
class QuickTimeExportSettings {
 public:
  static void Assign(QuickTimeExportSettings&, const QuickTimeExportSettings&) {}
};

// One projector (Mac or Windows). No settings of its own yet.
class ProjectorSettings {
 public:
  static void Assign(ProjectorSettings&, const ProjectorSettings&) {}
};

class PublishSettings {
 public:
  PublishSettings() : base_name(L"Untitled") {}

  void SetBaseName(const std::wstring& text) { base_name = text; }
  void SetOutputFolder(const PathString& folder) { output_folder = folder; }
  void SetMovieWidth(int32_t pixels) { movie_width = pixels; }
  void SetMovieHeight(int32_t pixels) { movie_height = pixels; }
  void SetUseDefaultBaseName(bool on) { use_default_base_name = on; }
  void SetPublishSwf(bool on) { publish_swf = on; }
  void SetPublishFlv(bool on) { publish_flv = on; }
  void SetPublishHtml(bool on) { publish_html = on; }
  void SetPublishMacProjector(bool on) { publish_mac_projector = on; }
  void SetPublishWinProjector(bool on) { publish_win_projector = on; }
  void SetPublishQuickTime(bool on) { publish_quicktime = on; }
  void SetPublishScreenSaver(bool on) { publish_screen_saver = on; }
  void SetPublishInstaller(bool on) { publish_installer = on; }

  // The "publish_data" element (childless while its records have no fields).
  bool WriteXml(XmlWriter& writer) const;
  // Attributes by name; an absent one leaves its field. Always true.
  bool ReadXml(const XmlValue& value);

  std::wstring base_name;
  PathString output_folder;
  int32_t movie_width = 320;
  int32_t movie_height = 240;
  bool use_default_base_name = true;
  bool publish_swf = true;
  bool publish_flv = false;
  bool publish_html = true;
  bool publish_mac_projector = false;
  bool publish_win_projector = false;
  bool publish_quicktime = false;
  bool publish_screen_saver = false;
  bool publish_installer = false;
  HtmlPublishSettings html;
  QuickTimeExportSettings quicktime;
  ProjectorSettings mac_projector;
  ProjectorSettings win_projector;
};
