// The job's "castora_data" element.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <string_view>

#include "framework/platform/PathLayer.h"
#include "framework/platform/WideText.h"
#include "imaging/ElementXml.h"
#include "project/Job.h"
#include "project/JobList.h"
#include "project/Preset.h"

namespace ex = element_xml;

namespace {

constexpr const wchar_t* kExportFormats[] = {L"swf", L"flv", L"multi"};

JobInputRelocator g_relocator = nullptr;
uint32_t g_relocations = 0;

bool IsRegularFile(const PathString& path) {
  struct stat info;
  return ::stat(ToNativeString(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The attributes that hold paths, on the job's element and on its children.
constexpr struct {
  const wchar_t* element;
  const char* attribute;
} kPathAttributes[] = {{L"castora_data", "input"},    {L"castora_data", "output"},
                       {L"audio_data", "custom_audio"}, {L"watermark_data", "src"},
                       {L"publish_data", "output_folder"}, {L"jukebox_data", "artwork_path"}};

// Too long as it is stored, or, relative, once joined to the document's folder.
bool IsOverlongPath(const XmlValue& v) {
  if (!v.FitsPath()) return true;
  std::string_view text;
  PathString path;
  return v.Utf8Text(text) && !text.empty() && v.AsPath(path) && path.empty();
}

bool HasOverlongPath(const XmlValue& value, std::wstring_view tag) {
  XmlElement e;
  if (!value.ToElement(e)) return false;
  XmlValue v;
  for (const auto& a : kPathAttributes)
    if (tag == a.element && ex::Get(e, a.attribute, v) && IsOverlongPath(v)) return true;
  return false;
}

// Whether the job's element or one of its children holds a path longer than the system
// takes. Such a value names no file: it is damage, and it can be as large as the document.
bool HoldsOverlongPath(const XmlValue& job) {
  bool found = HasOverlongPath(job, L"castora_data");
  ex::ForEachChildElement(job, [&](const XmlValue& child, const std::wstring& tag) {
    found = found || HasOverlongPath(child, tag);
  });
  return found;
}

// Preset names are file names or short texts: a text longer than any path names none, and
// is not copied to be looked up.
bool MayBeName(const XmlValue& value) { return value.FitsPath(); }

}  // namespace

void SetJobInputRelocator(JobInputRelocator relocator) { g_relocator = relocator; }

uint32_t JobInputRelocations() { return g_relocations; }

bool Job::WriteXml(XmlWriter& w) const {
  ex::Open(w, L"castora_data");
  ex::Path(w, L"input", input);
  ex::Path(w, L"output", output);
  ex::Word(w, L"export_format", kExportFormats, export_format);
  ex::Text(w, L"preset", preset ? preset->name : std::wstring());
  ex::Bool(w, L"enable_video", enable_video);
  ex::Bool(w, L"enable_audio", enable_audio);
  ex::ULong(w, L"swf_width", swf_width);
  ex::ULong(w, L"swf_height", swf_height);
  ex::Bool(w, L"match_video_dimensions", match_video_dimensions);
  ex::ULong(w, L"start_msec", start_msec);
  ex::ULong(w, L"end_msec", end_msec);
  ex::Bool(w, L"match_source_duration", match_source_duration);
  ex::Bool(w, L"fade_in", fade_in);
  ex::ULong(w, L"fade_in_msec", fade_in_msec);
  ex::Bool(w, L"fade_out", fade_out);
  ex::ULong(w, L"fade_out_msec", fade_out_msec);
  ex::Float(w, L"swf_fps", swf_fps);
  ex::ULong(w, L"swf_bgcolor", swf_bgcolor);
  ex::Bool(w, L"compress", compress);
  ex::Bool(w, L"protect", protect);
  ex::Bool(w, L"disable_printing", disable_printing);
  ex::Bool(w, L"use_watermark", use_watermark);
  ex::Bool(w, L"player_auto_play", player_auto_play);
  ex::Bool(w, L"generate_spectrum_data", generate_spectrum_data);
  ex::EndOpen(w);
  video.WriteXml(w);
  audio.WriteXml(w);
  image.WriteXml(w);
  movie.WriteXml(w);
  watermark.WriteXml(w);
  publish.WriteXml(w);
  jukebox.WriteXml(w);
  if (player) player->WriteValuesXml(w, L"player_data");
  ex::Close(w, L"castora_data");
  return true;
}

// A file can hold anything: the values that size, time and count the built movie are
// brought into the ranges the setters allow, without counting. Values a setter would
// accept stay as read. A job without input has no duration to bound its times by.
void Job::ClampReadValues() {
  swf_width = std::clamp<uint32_t>(swf_width, 1, kMaxMovieSide);
  swf_height = std::clamp<uint32_t>(swf_height, 1, kMaxMovieSide);
  const double fps = swf_fps;
  swf_fps = std::isfinite(fps) ? static_cast<float>(std::clamp(fps, 1.0, 120.0)) : 12.0f;
  if (!media_source) return;
  end_msec = std::min(end_msec, source_duration);
  start_msec = std::min(start_msec, end_msec);
  fade_in_msec = std::min(fade_in_msec, source_duration);
  fade_out_msec = std::min(fade_out_msec, source_duration);
}

bool Job::ReadXml(const XmlValue& value, const PathString& projectFolder) {
  // A job holding a path that no file can have is left out before anything of it is read.
  if (HoldsOverlongPath(value)) return false;
  bool match = match_video_dimensions;
  XmlElement e;
  if (value.ToElement(e)) {
    XmlValue v;
    std::string_view text;
    // A job saved without an input writes an empty one; both read as no input.
    if (ex::Get(e, "input", v) && v.Utf8Text(text) && !text.empty()) {
      PathString path;
      v.AsPath(path);
      path = MakeAbsolutePath(path);
      if (!PathExists(path)) {
        PathString found;
        if (!g_relocator || !g_relocator(path, projectFolder, found)) return false;
        path = found;
        ++g_relocations;
      }
      // A project can come from anywhere: a device or a pipe named as input would have
      // the media layer read forever.
      if (!IsRegularFile(path)) return false;
      if (!SetInputFile(path)) return false;
    }
    if (ex::Get(e, "output", v)) {
      PathString path;
      v.AsPath(path);
      output = path.empty() ? path : MakeAbsolutePath(path);
    }
    ex::ReadWord(e, "export_format", kExportFormats, false, export_format);
    if (ex::Get(e, "preset", v)) {
      if (PresetList* list = FindPresetList(0)) {
        Preset* found = MayBeName(v) ? list->FindByName(v.AsString()) : nullptr;
        preset = found ? found : list->current;
      }
    }
    ex::ReadBool(e, "enable_video", enable_video);
    ex::ReadBool(e, "enable_audio", enable_audio);
    ex::ReadULong(e, "swf_width", swf_width);
    ex::ReadULong(e, "swf_height", swf_height);
    if (ex::ReadBool(e, "match_video_dimensions", match)) SetMatchVideoDimensions(match);
    ex::ReadULong(e, "start_msec", start_msec);
    ex::ReadULong(e, "end_msec", end_msec);
    ex::ReadBool(e, "match_source_duration", match_source_duration);
    ex::ReadBool(e, "fade_in", fade_in);
    ex::ReadULong(e, "fade_in_msec", fade_in_msec);
    ex::ReadBool(e, "fade_out", fade_out);
    ex::ReadULong(e, "fade_out_msec", fade_out_msec);
    ex::ReadFloat(e, "swf_fps", swf_fps);
    ex::ReadULong(e, "swf_bgcolor", swf_bgcolor);
    ex::ReadBool(e, "compress", compress);
    ex::ReadBool(e, "protect", protect);
    ex::ReadBool(e, "disable_printing", disable_printing);
    ex::ReadBool(e, "use_watermark", use_watermark);
    ex::ReadBool(e, "generate_spectrum_data", generate_spectrum_data);
    ex::ReadBool(e, "player_auto_play", player_auto_play);
  }

  ex::ForEachChildElement(value, [&](const XmlValue& child, const std::wstring& tag) {
    if (tag == L"video_data") video.ReadXml(child);
    else if (tag == L"audio_data") audio.ReadXml(child);
    else if (tag == L"image_data") image.ReadXml(child);
    else if (tag == L"swf_data") movie.ReadXml(child);
    else if (tag == L"watermark_data") watermark.ReadXml(child);
    else if (tag == L"jukebox_data") jukebox.ReadXml(child);
    else if (tag == L"publish_data") publish.ReadXml(child);
    else if (tag == L"player_data") {
      PlayerTemplateLibrary* library = PlayerTemplateLibrary::Find(0);
      player.reset(PlayerTemplateLibrary::FindForValues(library, child, true));
      if (player) {
        player->ReadValuesXml(child);
      } else if (owner) {
        XmlElement pe;
        XmlValue name;
        if (child.ToElement(pe)) ex::Get(pe, "name", name);
        owner->NoteMissingPlayer(input, ListedText(name));
      }
    }
  });

  ClampReadValues();
  // The flag as read, now that the video size it follows is read too: the call above knew
  // only the input's size and may have refused it. A video size no movie can have (only a
  // damaged file holds one with the flag on) leaves the flag off. Nor can the video follow
  // a source size no movie can have while the movie follows the video: a file that says so
  // keeps its video size, without that claim, as the setter leaves it.
  if (!SetMatchVideoDimensions(match)) match_video_dimensions = false;
  watermark.SetDocumentSize(static_cast<int32_t>(swf_width), static_cast<int32_t>(swf_height));
  // With a player the publish size is the player's, as the movie-size setter gives it: the
  // bare movie size would contradict the player and change the saved job on every open.
  DerivePublishSize();
  DeriveFlvOutput();
  return true;
}
