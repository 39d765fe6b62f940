// Preset files: one or more "brivane_preset" elements in the writer's wrapper, each a named
// set of settings. Their element and attribute names are the preset format's own, not the
// project file's, although many values are the same. Reading goes through the setters, so
// their limits apply and a refused value is dropped.
#include <algorithm>

#include "framework/platform/Bundle.h"
#include "framework/platform/FileOps.h"
#include "framework/platform/PathLayer.h"
#include "framework/platform/WideText.h"
#include "framework/platform/XmlReader.h"
#include "framework/platform/XmlWriter.h"
#include "imaging/ElementXml.h"
#include "imaging/ImageTransition.h"
#include "project/Preset.h"
#include "toolbox/Utf8.h"

namespace ex = element_xml;

namespace {

constexpr const wchar_t* kExportFormats[] = {L"swf", L"flv", L"multi"};
constexpr const wchar_t* kVideoCodecs[] = {L"sorenson", L"screen"};
constexpr const wchar_t* kMethods[] = {L"1_pass", L"2_pass"};
constexpr const wchar_t* kKeyframeTypes[] = {L"natural", L"fixed", L"max"};
constexpr const wchar_t* kAudioCodecs[] = {L"mp3"};
constexpr const wchar_t* kChannels[] = {L"mono", L"stereo"};
// The preset format spells type 2 differently from the project file, and has no word for 8.
constexpr const wchar_t* kImageTypes[] = {L"jpeg",        L"jpeg_alpha",       L"jpeg_import",
                                          L"lossless_24", L"lossless_24_alpha", L"lossless_15",
                                          L"lossless_8",  L"lossless_8_alpha"};
constexpr const wchar_t* kStartActions[] = {L"play_automatically", L"play_after_pause",
                                            L"stop_on_first_frame", L"click_to_begin"};
constexpr const wchar_t* kLoopModes[] = {L"none", L"times", L"forever"};
constexpr const wchar_t* kClickActions[] = {L"none", L"get_url", L"load_movie"};
constexpr const wchar_t* kEndActions[] = {L"none", L"get_url", L"load_movie", L"unload_movie"};
constexpr const wchar_t* kTargetTypes[] = {L"custom", nullptr, L"popup", nullptr,
                                           L"blank",  L"parent", L"self", L"top"};

bool SameNoCase(const std::wstring& a, const wchar_t* b) { return CompareNoCase(a.c_str(), b) == 0; }

// Reads an attribute and hands it to a setter only when present.
template <typename F>
void WithValue(const XmlElement& e, const char* name, F&& f) {
  XmlValue v;
  if (ex::Get(e, name, v)) f(v);
}
template <size_t N, typename F>
void WithWord(const XmlElement& e, const char* name, const wchar_t* const (&words)[N],
              bool ignoreCase, F&& f) {
  uint32_t word = 0;
  XmlValue v;
  if (ex::Get(e, name, v) && ex::MatchWord(v.AsString(), words, N, ignoreCase, word)) f(word);
}

float AsFloat(const XmlValue& v) {
  const double d = v.AsDouble(0);
  // Outside the float range (or not a number) no setter accepts it anyway.
  return d >= 1 && d <= 1000 ? static_cast<float>(d) : 0.0f;
}

struct ActionSetters {
  void (MovieSettings::*action)(uint32_t);
  void (MovieSettings::*targetType)(uint32_t);
  void (MovieSettings::*url)(const std::wstring&);
  void (MovieSettings::*target)(const std::wstring&);
  void (MovieSettings::*targetExpression)(bool);
  void (MovieSettings::*urlExpression)(bool);
};

void ReadAction(MovieSettings& m, const XmlValue& value, const wchar_t* const* actions,
                size_t actionCount, const ActionSetters& s) {
  XmlElement e;
  if (!value.ToElement(e)) return;
  XmlValue v;
  uint32_t word = 0;
  if (ex::Get(e, "action", v) && ex::MatchWord(v.AsString(), actions, actionCount, true, word))
    (m.*s.action)(word);
  WithWord(e, "target_type", kTargetTypes, true, [&](uint32_t t) { (m.*s.targetType)(t); });
  WithValue(e, "url", [&](const XmlValue& x) { (m.*s.url)(x.AsString()); });
  WithValue(e, "target", [&](const XmlValue& x) { (m.*s.target)(x.AsString()); });
  WithValue(e, "target_expression", [&](const XmlValue& x) { (m.*s.targetExpression)(x.AsBool()); });
  WithValue(e, "url_expression", [&](const XmlValue& x) { (m.*s.urlExpression)(x.AsBool()); });
}

}  // namespace

// ---- Writing ----

void Preset::WriteDoc(XmlWriter& w) const {
  const Job& j = settings;
  ex::Open(w, L"doc");
  ex::ULong(w, L"width", j.swf_width);
  ex::ULong(w, L"height", j.swf_height);
  ex::Bool(w, L"match_vid_dim", j.match_video_dimensions);
  ex::Float(w, L"fps", j.swf_fps);
  ex::ULong(w, L"bgcolor", j.swf_bgcolor);
  ex::Bool(w, L"compress", j.compress);
  ex::Bool(w, L"protect", j.protect);
  ex::Bool(w, L"disable_printing", j.disable_printing);
  ex::Bool(w, L"use_watermark", j.use_watermark);
  ex::Word(w, L"export_format", kExportFormats, j.export_format);
  ex::EndOpen(w);
  j.watermark.WriteXml(w);
  j.publish.WriteXml(w);
  ex::Close(w, L"doc");
}

void Preset::WriteVideo(XmlWriter& w) const {
  const VideoSettings& v = settings.video;
  ex::Open(w, L"video");
  ex::Word(w, L"codec", kVideoCodecs, v.codec);
  ex::Word(w, L"method", kMethods, v.method);
  ex::Word(w, L"keyframe_type", kKeyframeTypes, v.keyframe_type);
  ex::Long(w, L"data_rate", v.data_rate);
  ex::Long(w, L"width", v.width);
  ex::Long(w, L"height", v.height);
  ex::Bool(w, L"keep_aspect_ratio", v.keep_aspect_ratio);
  ex::Bool(w, L"match_source_dim", v.match_source_dimensions);
  ex::Long(w, L"key_frame_interval", v.key_frame_interval);
  ex::Float(w, L"video_fps", v.fps);
  ex::Bool(w, L"smoothing", v.smoothing);
  ex::Bool(w, L"deblocking", v.deblocking);
  ex::Long(w, L"quality", static_cast<int32_t>(v.avg_quality));
  ex::EndEmpty(w);
}

void Preset::WriteAudio(XmlWriter& w) const {
  const AudioSettings& a = settings.audio;
  ex::Open(w, L"audio");
  ex::Word(w, L"codec", kAudioCodecs, a.codec);
  ex::Long(w, L"sample_rate", a.sample_rate);
  ex::Long(w, L"bit_rate", a.bit_rate);
  ex::Word(w, L"channels", kChannels, a.channels);
  ex::EndEmpty(w);
}

void Preset::WriteImage(XmlWriter& w) const {
  const ImageSettings& i = settings.image;
  ex::Open(w, L"image");
  ex::Word(w, L"image_type", kImageTypes, i.image_type);
  ex::ULong(w, L"duration", i.duration);
  if (!i.transition_in && !i.transition_out) {
    ex::EndEmpty(w);
    return;
  }
  ex::EndOpen(w);
  if (i.transition_in) i.transition_in->WriteXml(w, L"image_fx_in");
  if (i.transition_out) i.transition_out->WriteXml(w, L"image_fx_out");
  ex::Close(w, L"image");
}

void Preset::WriteMovie(XmlWriter& w) const {
  const MovieSettings& m = settings.movie;
  ex::Open(w, L"swf");
  ex::Word(w, L"movie_start_action", kStartActions, m.movie_start_action);
  ex::Long(w, L"pause_time", m.pause_time);
  ex::Bool(w, L"preload", m.preload);
  ex::Word(w, L"loop", kLoopModes, m.loop);
  ex::Long(w, L"loop_count", m.loop_count);
  ex::EndOpen(w);
  m.WriteChildrenXml(w);
  ex::Close(w, L"swf");
}

void Preset::WritePlayer(XmlWriter& w) const {
  if (settings.player) settings.player->WriteValuesXml(w, L"player_data");
}

bool Preset::WriteFile(const PathString& path) const {
  XmlWriter w;
  if (!w.Open(path, XmlWriterOptions(), true)) return false;
  ex::Open(w, L"brivane_preset");
  ex::Text(w, L"name", name);
  w.Write(L">\n");
  WriteDoc(w);
  WriteVideo(w);
  WriteAudio(w);
  WriteImage(w);
  WriteMovie(w);
  WritePlayer(w);
  ex::Close(w, L"brivane_preset");
  return w.Close();
}

// ---- Reading ----

void Preset::ReadDoc(const XmlValue& value) {
  Job& j = settings;
  XmlElement e;
  if (value.ToElement(e)) {
    WithValue(e, "match_vid_dim", [&](const XmlValue& v) { j.SetMatchVideoDimensions(v.AsBool()); });
    WithValue(e, "width", [&](const XmlValue& v) { j.SetMovieWidth(ex::ParseUnsigned(v.AsString())); });
    WithValue(e, "height", [&](const XmlValue& v) { j.SetMovieHeight(ex::ParseUnsigned(v.AsString())); });
    WithValue(e, "bgcolor", [&](const XmlValue& v) { j.SetBackgroundColor(ex::ParseUnsigned(v.AsString())); });
    WithValue(e, "fps", [&](const XmlValue& v) { j.SetFrameRate(AsFloat(v)); });
    WithValue(e, "compress", [&](const XmlValue& v) { j.SetCompress(v.AsBool()); });
    WithValue(e, "protect", [&](const XmlValue& v) { j.SetProtect(v.AsBool()); });
    WithValue(e, "disable_printing", [&](const XmlValue& v) { j.SetDisablePrinting(v.AsBool()); });
    WithValue(e, "use_watermark", [&](const XmlValue& v) { j.SetUseWatermark(v.AsBool()); });
    WithWord(e, "export_format", kExportFormats, false, [&](uint32_t f) { j.SetExportFormat(f); });
  }
  ex::ForEachChildElement(value, [&](const XmlValue& child, const std::wstring& tag) {
    if (SameNoCase(tag, L"watermark_data")) {
      j.watermark.SetDocumentSize(static_cast<int32_t>(j.swf_width), static_cast<int32_t>(j.swf_height));
      j.watermark.ReadXml(child);
    } else if (SameNoCase(tag, L"publish_data")) {
      j.publish.ReadXml(child);
    }
  });
}

void Preset::ReadVideo(const XmlValue& value) {
  VideoSettings& s = settings.video;
  XmlElement e;
  if (!value.ToElement(e)) return;
  auto asInt = [](const XmlValue& v) { return static_cast<int32_t>(v.AsLong(0)); };
  WithWord(e, "codec", kVideoCodecs, false, [&](uint32_t x) { s.SetCodec(x); });
  WithWord(e, "method", kMethods, false, [&](uint32_t x) { s.SetMethod(x); });
  WithWord(e, "keyframe_type", kKeyframeTypes, false, [&](uint32_t x) { s.SetKeyframeType(x); });
  WithValue(e, "data_rate", [&](const XmlValue& v) { s.SetDataRate(asInt(v)); });
  WithValue(e, "keep_aspect_ratio", [&](const XmlValue& v) { s.SetKeepAspectRatio(v.AsBool()); });
  WithValue(e, "match_source_dim", [&](const XmlValue& v) { s.SetMatchSourceDimensions(v.AsBool()); });
  WithValue(e, "width", [&](const XmlValue& v) { s.SetOutputWidth(asInt(v)); });
  WithValue(e, "height", [&](const XmlValue& v) { s.SetOutputHeight(asInt(v)); });
  WithValue(e, "key_frame_interval", [&](const XmlValue& v) { s.SetKeyFrameInterval(asInt(v)); });
  WithValue(e, "video_fps", [&](const XmlValue& v) { s.SetFrameRate(AsFloat(v)); });
  WithValue(e, "smoothing", [&](const XmlValue& v) { s.SetSmoothing(v.AsBool()); });
  WithValue(e, "deblocking", [&](const XmlValue& v) { s.SetDeblocking(v.AsBool()); });
  WithValue(e, "quality", [&](const XmlValue& v) {
    const long q = v.AsLong(0);
    if (q >= 0) s.SetQuality(static_cast<uint32_t>(q));
  });
}

void Preset::ReadAudio(const XmlValue& value) {
  AudioSettings& a = settings.audio;
  XmlElement e;
  if (!value.ToElement(e)) return;
  WithWord(e, "codec", kAudioCodecs, false, [&](uint32_t x) { a.SetCodec(x); });
  WithValue(e, "sample_rate", [&](const XmlValue& v) { a.SetSampleRate(static_cast<int32_t>(v.AsLong(0))); });
  WithValue(e, "bit_rate", [&](const XmlValue& v) { a.SetBitRate(static_cast<int32_t>(v.AsLong(0))); });
  WithWord(e, "channels", kChannels, false, [&](uint32_t x) { a.SetChannels(x); });
}

void Preset::ReadImage(const XmlValue& value) {
  ImageSettings& i = settings.image;
  XmlElement e;
  if (value.ToElement(e)) {
    WithWord(e, "image_type", kImageTypes, false, [&](uint32_t x) { i.SetImageType(x); });
    WithValue(e, "duration", [&](const XmlValue& v) { i.SetDuration(ex::ParseUnsigned(v.AsString())); });
  }
  ex::ForEachChildElement(value, [&](const XmlValue& child, const std::wstring& tag) {
    const bool in = tag == L"image_fx_in";
    if (!in && tag != L"image_fx_out") return;
    // No transition list is registered in this product: a named transition finds none
    // and leaves the image's transition as it was; a child without a name sets none.
    bool named = false;
    ImageTransition* made = ImageSettings::ReadTransition(child, in, &named);
    if (named && !made) return;
    if (in)
      i.SetTransitionIn(made);
    else
      i.SetTransitionOut(made);
  });
}

void Preset::ReadMovie(const XmlValue& value) {
  MovieSettings& m = settings.movie;
  XmlElement e;
  if (!value.ToElement(e)) return;
  WithWord(e, "movie_start_action", kStartActions, true, [&](uint32_t x) { m.SetStartAction(x); });
  WithValue(e, "pause_time", [&](const XmlValue& v) { m.SetPauseTime(static_cast<uint32_t>(v.AsLong(0))); });
  WithValue(e, "preload", [&](const XmlValue& v) { m.SetPreload(v.AsBool()); });
  WithWord(e, "loop", kLoopModes, true, [&](uint32_t x) { m.SetLoopMode(x); });
  WithValue(e, "loop_count", [&](const XmlValue& v) { m.SetLoopCount(static_cast<uint32_t>(v.AsLong(0))); });
  static constexpr ActionSetters kClick = {
      &MovieSettings::SetClickAction, &MovieSettings::SetClickTargetType,
      &MovieSettings::SetClickUrl, &MovieSettings::SetClickTarget,
      &MovieSettings::SetClickTargetIsExpression, &MovieSettings::SetClickUrlIsExpression};
  static constexpr ActionSetters kEnd = {
      &MovieSettings::SetEndAction, &MovieSettings::SetEndTargetType, &MovieSettings::SetEndUrl,
      &MovieSettings::SetEndTarget, &MovieSettings::SetEndTargetIsExpression,
      &MovieSettings::SetEndUrlIsExpression};
  ex::ForEachChildElement(value, [&](const XmlValue& child, const std::wstring& tag) {
    if (SameNoCase(tag, L"preload_data"))
      m.preloader.ReadXml(child);
    else if (SameNoCase(tag, L"mouse_click_action"))
      ReadAction(m, child, kClickActions, std::size(kClickActions), kClick);
    else if (SameNoCase(tag, L"movie_end_action"))
      ReadAction(m, child, kEndActions, std::size(kEndActions), kEnd);
  });
}

void Preset::ReadPlayer(const XmlValue& value) {
  PlayerTemplateLibrary* library = PlayerTemplateLibrary::Find(0);
  PlayerTemplate* copy = PlayerTemplateLibrary::FindForValues(library, value, true);
  if (!copy) return;
  copy->ReadValuesXml(value);
  settings.SetPlayer(copy);
}

bool Preset::ReadXml(const XmlValue& value) {
  XmlElement e;
  XmlValue v;
  if (value.ToElement(e) && ex::Get(e, "name", v)) name = v.AsString();
  ex::ForEachChildElement(value, [&](const XmlValue& child, const std::wstring& tag) {
    if (tag == L"doc") ReadDoc(child);
    else if (tag == L"video") ReadVideo(child);
    else if (tag == L"audio") ReadAudio(child);
    else if (tag == L"image") ReadImage(child);
    else if (tag == L"swf") ReadMovie(child);
    else if (tag == L"player_data") ReadPlayer(child);
  });
  return true;
}

// ---- Lists and files ----

Preset* PresetList::LoadFile(const PathString& path) {
  XmlDocument doc;
  XmlValue root;
  if (!doc.Load(path) || !doc.GetRoot(root)) return nullptr;
  Preset* last = nullptr;
  ex::ForEachChildElement(root, [&](const XmlValue& child, const std::wstring& tag) {
    if (tag != L"brivane_preset") return;
    auto preset = std::make_unique<Preset>(std::wstring(), 1);
    preset->ReadXml(child);
    preset->file_path = path;
    presets.push_back(std::move(preset));
    last = presets.back().get();
  });
  return last;
}

bool PresetList::LoadFolder(const PathString& folder) {
  // By file name, ignoring case: the folder's own order is arbitrary, and the popup's order
  // and which of two equal names is found first should not change between runs.
  PathList entries;
  PathString entry;
  bool isFolder = false;
  for (bool more = FirstFolderEntry(folder, entry, &isFolder); more;
       more = NextFolderEntry(entry, &isFolder))
    if (!isFolder) entries.AddAbsolute(entry);
  CloseFolderIterator();
  entries.Sort();
  for (auto& p : entries) LoadFile(*p);
  return true;
}

bool PresetList::DeletePreset(Preset* preset, bool deleteFile) {
  if (!preset) return false;
  if (deleteFile && !preset->file_path.empty() && PathExists(preset->file_path) &&
      !DeletePath(preset->file_path, false))
    return false;
  auto it = std::find_if(presets.begin(), presets.end(), [&](auto& p) { return p.get() == preset; });
  if (it == presets.end()) return false;
  presets.erase(it);
  return true;
}

PathString PresetFileName(const std::wstring& presetName) {
  std::wstring base = presetName;
  std::replace(base.begin(), base.end(), L'/', L'_');
  if (!base.empty() && base[0] == L'.') base[0] = L'_';
  std::replace(base.begin(), base.end(), L'\0', L'_');
  // 251 bytes of UTF-8 and ".xml" fill a file name's 255 bytes; whole characters only.
  size_t bytes = 0, keep = 0;
  for (; keep < base.size(); ++keep) {
    const size_t n = toolbox::WideToUtf8(base.substr(keep, 1)).size();
    if (bytes + n > 251) break;
    bytes += n;
  }
  base.resize(keep);
  return PathString(base + L".xml");
}

PresetList* SetUpPresetList(PathString& presetsFolder) {
  presetsFolder.clear();
  PresetList* list = FindPresetList(0);
  if (!list) list = CreatePresetList(0);
  list->DeleteAll();
  list->SetCurrent(list->AddNewPresetFromString(1066, 0));
  for (int i = 0; i < 6; ++i) list->AddNewPresetFromString(1073 + i, 10 + static_cast<uint32_t>(i));
  list->AddNewPresetFromString(1079, 16);
  PathString support;
  if (!GetProductSupportFolder(support, kThisProductCode)) return list;
  PathString folder;
  if (!JoinPath(folder, PathString(L"Presets"), support)) return list;
  if (!IsFolder(folder) && !CreateFolder(folder)) return list;
  EnsureTrailingSlash(folder);
  presetsFolder = folder;
  list->LoadFolder(folder);
  return list;
}
