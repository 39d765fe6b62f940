// The XML elements of the audio, video, image, movie, watermark and jukebox settings.
#include "framework/platform/PathLayer.h"
#include "framework/platform/WideText.h"
#include "imaging/ElementXml.h"
#include "project/AudioSettings.h"
#include "project/ImageSettings.h"
#include "project/MovieSettings.h"
#include "project/VideoSettings.h"
#include "project/WatermarkSettings.h"

namespace ex = element_xml;

namespace {

constexpr const wchar_t* kAudioCodecs[] = {L"mp3", L"adpcm"};
constexpr const wchar_t* kChannels[] = {L"mono", L"stereo"};
constexpr const wchar_t* kVideoCodecs[] = {L"sorenson", L"screen"};
constexpr const wchar_t* kMethods[] = {L"1_pass", L"2_pass"};
constexpr const wchar_t* kKeyframeTypes[] = {L"natural", L"fixed", L"max"};
constexpr const wchar_t* kImageTypes[] = {
    L"jpeg",        L"jpeg_alpha",        L"jpeg_import_data", L"lossless_24",  L"lossless_24_alpha",
    L"lossless_15", L"lossless_8",        L"lossless_8_alpha", L"jpeg_external"};
constexpr const wchar_t* kStartActions[] = {L"play_automatically", L"play_after_pause",
                                            L"stop_on_first_frame", L"click_to_begin"};
constexpr const wchar_t* kLoopModes[] = {L"none", L"times", L"forever"};
constexpr const wchar_t* kClickActions[] = {L"none", L"get_url", L"load_movie"};
constexpr const wchar_t* kEndActions[] = {L"none", L"get_url", L"load_movie", L"unload_movie"};
constexpr const wchar_t* kTargetTypes[] = {L"custom", nullptr, L"popup", nullptr,
                                           L"blank",  L"parent", L"self", L"top"};
constexpr const wchar_t* kHAligns[] = {L"left", L"center", L"right"};
constexpr const wchar_t* kVAligns[] = {L"top", L"center", L"bottom"};
constexpr const wchar_t* kMediaTypes[] = {L"file", L"url"};
constexpr const wchar_t* kArtworkTypes[] = {L"image", L"url"};

bool SameNoCase(const std::wstring& a, const wchar_t* b) { return CompareNoCase(a.c_str(), b) == 0; }

}  // namespace

// ---- audio_data ----

bool AudioSettings::WriteXml(XmlWriter& w) const {
  ex::Open(w, L"audio_data");
  ex::Word(w, L"codec", kAudioCodecs, codec);
  ex::Long(w, L"sample_rate", sample_rate);
  ex::Long(w, L"bit_rate", bit_rate);
  ex::Word(w, L"channels", kChannels, channels);
  ex::Bool(w, L"use_custom_audio", use_custom_audio);
  if (use_custom_audio) ex::Path(w, L"custom_audio", custom_audio);
  ex::Bool(w, L"stream", stream);
  ex::EndEmpty(w);
  return true;
}

bool AudioSettings::ReadXml(const XmlValue& value) {
  XmlElement e;
  if (!value.ToElement(e)) return true;
  ex::ReadWord(e, "codec", kAudioCodecs, false, codec);
  ex::ReadLong(e, "sample_rate", sample_rate);
  ex::ReadLong(e, "bit_rate", bit_rate);
  ex::ReadWord(e, "channels", kChannels, false, channels);
  ex::ReadBool(e, "use_custom_audio", use_custom_audio);
  XmlValue v;
  PathString path;
  // A text too long to be a path is not taken (AsPath refuses it uncopied).
  if (ex::Get(e, "custom_audio", v) && v.AsPath(path)) {
    // A sound that does not open now keeps its name, so that a save does not lose it.
    if (!SetCustomAudioFile(path)) custom_audio = path;
  }
  ex::ReadBool(e, "stream", stream);
  return true;
}

// ---- video_data ----

bool VideoSettings::WriteXml(XmlWriter& w) const {
  ex::Open(w, L"video_data");
  ex::Word(w, L"codec", kVideoCodecs, codec);
  ex::Word(w, L"method", kMethods, method);
  ex::Word(w, L"keyframe_type", kKeyframeTypes, keyframe_type);
  ex::Long(w, L"width", width);
  ex::Long(w, L"height", height);
  ex::Bool(w, L"keep_aspect_ratio", keep_aspect_ratio);
  ex::Bool(w, L"match_source_dimensions", match_source_dimensions);
  ex::Bool(w, L"crop", crop);
  ex::Short(w, L"crop_left", crop_rect.left);
  ex::Short(w, L"crop_right", crop_rect.right);
  ex::Short(w, L"crop_top", crop_rect.top);
  ex::Short(w, L"crop_bottom", crop_rect.bottom);
  ex::Bool(w, L"flip_horizontal", flip_horizontal);
  ex::Bool(w, L"flip_vertical", flip_vertical);
  ex::Float(w, L"fps", fps);
  ex::Bool(w, L"match_source_fps", match_source_fps);
  ex::Long(w, L"data_rate", data_rate);
  ex::ULong(w, L"avg_quality", avg_quality);
  ex::Long(w, L"key_frame_interval", key_frame_interval);
  ex::Bool(w, L"smoothing", smoothing);
  ex::Bool(w, L"deblocking", deblocking);
  ex::Bool(w, L"deinterlace", deinterlace);
  ex::EndOpen(w);
  for (const auto& f : filters) f->WriteXml(w);
  ex::Close(w, L"video_data");
  return true;
}

bool VideoSettings::ReadXml(const XmlValue& value) {
  XmlElement e;
  if (!value.ToElement(e)) return true;
  ex::ReadWord(e, "codec", kVideoCodecs, false, codec);
  ex::ReadWord(e, "method", kMethods, false, method);
  ex::ReadWord(e, "keyframe_type", kKeyframeTypes, false, keyframe_type);
  ex::ReadLong(e, "width", width);
  ex::ReadLong(e, "height", height);
  ex::ReadBool(e, "keep_aspect_ratio", keep_aspect_ratio);
  ex::ReadBool(e, "match_source_dimensions", match_source_dimensions);
  ex::ReadBool(e, "crop", crop);
  ex::ReadShort(e, "crop_left", crop_rect.left);
  ex::ReadShort(e, "crop_right", crop_rect.right);
  ex::ReadShort(e, "crop_top", crop_rect.top);
  ex::ReadShort(e, "crop_bottom", crop_rect.bottom);
  ex::ReadBool(e, "flip_horizontal", flip_horizontal);
  ex::ReadBool(e, "flip_vertical", flip_vertical);
  ex::ReadFloat(e, "fps", fps);
  ex::ReadBool(e, "match_source_fps", match_source_fps);
  ex::ReadLong(e, "data_rate", data_rate);
  ex::ReadULong(e, "avg_quality", avg_quality);
  ex::ReadLong(e, "key_frame_interval", key_frame_interval);
  ex::ReadBool(e, "smoothing", smoothing);
  ex::ReadBool(e, "deblocking", deblocking);
  ex::ReadBool(e, "deinterlace", deinterlace);
  ex::ForEachChildElement(value, [&](const XmlValue& child, const std::wstring& tag) {
    if (tag != L"filter") return;
    XmlElement fe;
    child.ToElement(fe);
    AddFilter(ReadFilterElement(FindFilterList(0), fe));
  });
  return true;
}

// ---- image_data ----

bool ImageSettings::WriteXml(XmlWriter& w) const {
  ex::Open(w, L"image_data");
  ex::Word(w, L"image_type", kImageTypes, image_type);
  ex::ULong(w, L"duration", duration);
  ex::EndOpen(w);
  if (transition_in) transition_in->WriteXml(w, L"image_fx_in");
  if (transition_out) transition_out->WriteXml(w, L"image_fx_out");
  ex::Close(w, L"image_data");
  return true;
}

bool ImageSettings::ReadXml(const XmlValue& value) {
  XmlElement e;
  if (!value.ToElement(e)) return true;
  ex::ReadWord(e, "image_type", kImageTypes, false, image_type);
  ex::ReadULong(e, "duration", duration);
  ex::ForEachChildElement(value, [&](const XmlValue& child, const std::wstring& tag) {
    const bool in = tag == L"image_fx_in";
    if (!in && tag != L"image_fx_out") return;
    // A transition that is not registered (none is, in this product) reads as none, like
    // a child without a name.
    ImageTransition* made = ReadTransition(child, in, nullptr);
    if (in)
      SetTransitionIn(made);
    else
      SetTransitionOut(made);
  });
  return true;
}

ImageTransition* ImageSettings::ReadTransition(const XmlValue& child, bool in, bool* named) {
  XmlElement te;
  child.ToElement(te);
  XmlValue name;
  const bool hasName = ex::Get(te, "name", name);
  if (named) *named = hasName;
  if (!hasName) return nullptr;
  TransitionList* list = FindTransitionList(0);
  const ImageTransition* found = in ? FindTransitionByName(list, name.AsString())
                                    : TransitionList::FindByName(list, name.AsString());
  ImageTransition* made = found ? found->Duplicate() : nullptr;
  if (made) made->ReadXml(te);
  return made;
}

// ---- swf_data ----

namespace {

void WriteAction(XmlWriter& w, const wchar_t* element, const wchar_t* const* actions,
                 size_t actionCount, uint32_t action, uint32_t targetType, const std::wstring& url,
                 const std::wstring& target, bool targetExpression, bool urlExpression,
                 const PopupSettings& popup) {
  ex::Open(w, element);
  ex::Name(w, L"action");
  if (action < actionCount) w.Write(actions[action]);
  w.Write(L"\"");
  ex::Word(w, L"target_type", kTargetTypes, targetType);
  ex::Text(w, L"url", url);
  ex::Text(w, L"target", target);
  ex::Bool(w, L"target_expression", targetExpression);
  ex::Bool(w, L"url_expression", urlExpression);
  ex::EndOpen(w);
  popup.WriteXml(w, L"popup_data");
  ex::Close(w, element);
}

void ReadAction(const XmlValue& value, const wchar_t* const* actions, size_t actionCount,
                uint32_t& action, uint32_t& targetType, std::wstring& url, std::wstring& target,
                bool& targetExpression, bool& urlExpression, PopupSettings& popup) {
  XmlElement e;
  if (!value.ToElement(e)) return;
  XmlValue v;
  if (ex::Get(e, "action", v)) ex::MatchWord(v, actions, actionCount, true, action);
  ex::ReadWord(e, "target_type", kTargetTypes, true, targetType);
  ex::ReadText(e, "url", url);
  ex::ReadText(e, "target", target);
  ex::ReadBool(e, "target_expression", targetExpression);
  ex::ReadBool(e, "url_expression", urlExpression);
  ex::ForEachChildElement(value, [&](const XmlValue& child, const std::wstring& tag) {
    if (SameNoCase(tag, L"popup_data")) popup.ReadXml(child);
  });
}

}  // namespace

bool MovieSettings::WriteXml(XmlWriter& w) const {
  ex::Open(w, L"swf_data");
  ex::Word(w, L"movie_start_action", kStartActions, movie_start_action);
  ex::Long(w, L"pause_time", pause_time);
  ex::Bool(w, L"preload", preload);
  ex::Word(w, L"loop", kLoopModes, loop);
  ex::Long(w, L"loop_count", loop_count);
  w.Write(L">\n");
  WriteChildrenXml(w);
  ex::Close(w, L"swf_data");
  return true;
}

void MovieSettings::WriteChildrenXml(XmlWriter& w) const {
  preloader.WriteXml(w);
  WriteAction(w, L"mouse_click_action", kClickActions, std::size(kClickActions), click_action,
              click_target_type, click_url, click_target, click_target_is_expression,
              click_url_is_expression, click_popup);
  WriteAction(w, L"movie_end_action", kEndActions, std::size(kEndActions), end_action,
              end_target_type, end_url, end_target, end_target_is_expression,
              end_url_is_expression, end_popup);
}

bool MovieSettings::ReadXml(const XmlValue& value) {
  XmlElement e;
  if (!value.ToElement(e)) return true;
  ex::ReadWord(e, "movie_start_action", kStartActions, true, movie_start_action);
  ex::ReadLong(e, "pause_time", pause_time);
  ex::ReadWord(e, "loop", kLoopModes, true, loop);
  ex::ReadLong(e, "loop_count", loop_count);
  ex::ReadBool(e, "preload", preload);
  ex::ForEachChildElement(value, [&](const XmlValue& child, const std::wstring& tag) {
    if (SameNoCase(tag, L"preload_data"))
      preloader.ReadXml(child);
    else if (SameNoCase(tag, L"mouse_click_action"))
      ReadAction(child, kClickActions, std::size(kClickActions), click_action, click_target_type,
                 click_url, click_target, click_target_is_expression, click_url_is_expression,
                 click_popup);
    else if (SameNoCase(tag, L"movie_end_action"))
      ReadAction(child, kEndActions, std::size(kEndActions), end_action, end_target_type, end_url,
                 end_target, end_target_is_expression, end_url_is_expression, end_popup);
  });
  return true;
}

// ---- watermark_data ----

bool WatermarkSettings::WriteXml(XmlWriter& w) const {
  ex::Open(w, L"watermark_data");
  ex::Path(w, L"src", src);
  ex::Long(w, L"width", width);
  ex::Long(w, L"height", height);
  ex::Long(w, L"x", x);
  ex::Long(w, L"y", y);
  ex::Word(w, L"h_align", kHAligns, h_align);
  ex::Word(w, L"v_align", kVAligns, v_align);
  ex::Long(w, L"alpha", static_cast<int32_t>(alpha));
  ex::Bool(w, L"use_transparent_color", use_transparent_color);
  ex::ULong(w, L"transparent_color", transparent_color);
  ex::Bool(w, L"keep_aspect_ratio", keep_aspect_ratio);
  ex::Bool(w, L"align_to_doc", align_to_doc);
  ex::EndEmpty(w);
  return true;
}

bool WatermarkSettings::ReadXml(const XmlValue& value) {
  XmlElement e;
  if (!value.ToElement(e)) return true;
  XmlValue v;
  // A watermark saved before any image was chosen has an empty "src": its other settings
  // are read as for one without "src".
  std::string_view text;
  if (ex::Get(e, "src", v) && v.Utf8Text(text) && !text.empty()) {
    PathString path;
    if (!v.AsPath(path)) return false;
    path = MakeAbsolutePath(path);
    if (!LoadImageFile(path, 0, 0, 0)) return false;
  }
  int32_t n = 0;
  // Both sides stored together are restored as they were saved: passing them one by one
  // through the proportional setters would reshape a watermark whose proportions the user
  // had freed, on every open.
  int32_t w = 0, h = 0;
  const bool haveWidth = ex::ReadLong(e, "width", w);
  const bool haveHeight = ex::ReadLong(e, "height", h);
  if (haveWidth && haveHeight) {
    SetSize(w, h);
  } else if (haveWidth) {
    SetWidth(w);
  } else if (haveHeight) {
    SetHeight(h);
  }
  ex::ReadLong(e, "x", x);
  ex::ReadLong(e, "y", y);
  ex::ReadWord(e, "h_align", kHAligns, false, h_align);
  ex::ReadWord(e, "v_align", kVAligns, false, v_align);
  if (ex::ReadLong(e, "alpha", n)) alpha = static_cast<uint32_t>(n);
  ex::ReadBool(e, "use_transparent_color", use_transparent_color);
  ex::ReadULong(e, "transparent_color", transparent_color);
  ex::ReadBool(e, "keep_aspect_ratio", keep_aspect_ratio);
  ex::ReadBool(e, "align_to_doc", align_to_doc);
  return true;
}

// ---- jukebox_data ----

bool JukeboxTrack::WriteXml(XmlWriter& w) const {
  ex::Open(w, L"jukebox_data");
  ex::Word(w, L"media_type", kMediaTypes, media_type);
  ex::Text(w, L"media_url", media_url);
  ex::Word(w, L"artwork_type", kArtworkTypes, artwork_type);
  ex::Text(w, L"artwork_url", artwork_url);
  ex::Path(w, L"artwork_path", artwork_path);
  ex::Long(w, L"artwork_src_width", artwork_src_width);
  ex::Long(w, L"artwork_src_height", artwork_src_height);
  ex::Long(w, L"artwork_width", artwork_width);
  ex::Long(w, L"artwork_height", artwork_height);
  ex::Text(w, L"artist", artist);
  ex::Text(w, L"title", title);
  ex::Text(w, L"album", album);
  ex::Text(w, L"comment", comment);
  ex::EndEmpty(w);
  return true;
}

bool JukeboxTrack::ReadXml(const XmlValue& value) {
  XmlElement e;
  if (!value.ToElement(e)) return true;
  ex::ReadWord(e, "media_type", kMediaTypes, false, media_type);
  ex::ReadText(e, "media_url", media_url);
  ex::ReadWord(e, "artwork_type", kArtworkTypes, false, artwork_type);
  ex::ReadText(e, "artwork_url", artwork_url);
  ex::ReadText(e, "artwork_path", artwork_path);
  ex::ReadLong(e, "artwork_src_width", artwork_src_width);
  ex::ReadLong(e, "artwork_src_height", artwork_src_height);
  ex::ReadLong(e, "artwork_width", artwork_width);
  ex::ReadLong(e, "artwork_height", artwork_height);
  ex::ReadText(e, "artist", artist);
  ex::ReadText(e, "title", title);
  ex::ReadText(e, "album", album);
  ex::ReadText(e, "comment", comment);
  return true;
}
