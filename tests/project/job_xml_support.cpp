#include <functional>

#include "framework/platform/WideText.h"
#include "framework/platform/XmlReader.h"
#include "framework/platform/XmlWriter.h"
#include "imaging/ElementXml.h"
#include "job_xml_support.h"
#include "imaging/ImageFilter.h"
#include "project/Preset.h"

bool WriteElementFile(const std::filesystem::path& file,
                      const std::function<void(XmlWriter&)>& write) {
  XmlWriter writer;
  if (!writer.Open(FromNativeString(file.string()), XmlWriterOptions(), true)) return false;
  write(writer);
  return writer.Close();
}

bool ReadElementFile(const std::filesystem::path& file,
                     const std::function<void(const XmlValue&)>& read) {
  XmlDocument doc;
  if (!doc.Load(FromNativeString(file.string()))) return false;
  XmlValue root;
  if (!doc.GetRoot(root)) return false;
  bool found = false;
  element_xml::ForEachChildElement(root, [&](const XmlValue& child, const std::wstring&) {
    if (found) return;
    found = true;
    read(child);
  });
  return found;
}

bool WriteJobFile(const Job& job, const std::filesystem::path& file) {
  return WriteElementFile(file, [&](XmlWriter& w) { job.WriteXml(w); });
}

std::unique_ptr<Job> ReadJobFile(const std::filesystem::path& file) {
  auto job = std::make_unique<Job>(nullptr);
  bool ok = false;
  if (!ReadElementFile(file, [&](const XmlValue& v) { ok = job->ReadXml(v); }) || !ok)
    return nullptr;
  return job;
}

// The no-preset entry of list 0, as the main window makes it.
Preset* NoPresetEntry() {
  PresetList* list = FindPresetList(0);
  if (!list) list = CreatePresetList(0);
  if (!list->current) list->SetCurrent(list->AddNewPreset(L"(none)", 0));
  return list->current;
}

PlayerTemplate* LibraryZeroPlayer(const std::wstring& name, const PlayerTemplateInfo& info) {
  PlayerTemplateLibrary* library = PlayerTemplateLibrary::Find(0);
  if (!library) library = PlayerTemplateLibrary::Create(0);
  if (!PlayerTemplateLibrary::FindByName(library, name, false))
    library->Add(new PlayerTemplate(name, L"", info));
  return PlayerTemplateLibrary::FindByName(library, name, false);
}

// A job with a value other than the default in nearly every field.
void FillJob(Job& job) {
  job.SetExportFormat(1);
  job.output = L"/out/Ünïcode \"quoted\" & <angled>.flv";
  job.enable_video = true;
  job.swf_width = 640;
  job.swf_height = 360;
  job.start_msec = 100;
  job.end_msec = 4000000000u;
  job.match_source_duration = false;
  job.fade_in = true;
  job.fade_in_msec = 250;
  job.fade_out = true;
  job.fade_out_msec = 750;
  job.swf_fps = 29.97f;
  job.swf_bgcolor = 0xFFFFFFFFu;
  job.compress = job.protect = job.disable_printing = true;
  job.use_watermark = true;
  job.player_auto_play = false;
  job.generate_spectrum_data = true;

  VideoSettings& v = job.video;
  v.codec = 1;
  v.method = 1;
  v.keyframe_type = 0;
  v.width = 1280;
  v.height = 720;
  v.keep_aspect_ratio = false;
  v.crop = true;
  v.crop_rect = CropRect{-3, 4, 32767, -32768};
  v.flip_horizontal = v.flip_vertical = v.deinterlace = v.match_source_fps = true;
  v.fps = 0.5f;
  v.data_rate = 2000;
  v.avg_quality = 55;
  v.key_frame_interval = -1;
  v.smoothing = v.deblocking = true;
  v.filters.emplace_back(new GenericImageFilter(L"sharpen", {{L"amount", L"3"}, {L"mode", L"a&b"}}));
  v.filters.emplace_back(new GenericImageFilter(L"gamma", {}));

  AudioSettings& a = job.audio;
  a.codec = 1;
  a.sample_rate = 22050;
  a.bit_rate = 64;
  a.channels = 1;
  a.stream = false;

  job.image.image_type = 7;
  job.image.duration = 12345;

  MovieSettings& m = job.movie;
  m.movie_start_action = 3;
  m.pause_time = -5;
  m.loop = 1;
  m.loop_count = 9;
  m.preload = true;
  m.preloader.attributes = {{L"bar_color", L"255"}, {L"text", L"Loading \"%\""}};
  m.click_action = 2;
  m.click_target_type = 0;
  m.click_target = L"frame<1>";
  m.click_url = L"http://example.com/?a=1&b=2";
  m.click_target_is_expression = true;
  m.end_action = 3;
  m.end_target_type = 7;
  m.end_url = L"";
  m.end_target = L"_top";
  m.end_url_is_expression = true;
  m.click_popup = PopupSettings{640, 480, 10, 20, true, false, true, false, true, false, true};
  m.end_popup = PopupSettings{300, 200, -1, -2, false, true, false, true, false, true, false};

  WatermarkSettings& w = job.watermark;
  // Sizes are read through the proportional setters (keep-aspect on in a fresh job), so a
  // size that survives is one those setters give back: square without an image.
  w.width = 40;
  w.height = 40;
  w.x = 600;  // as the alignment places it in the 640 x 360 movie
  w.y = 160;
  w.h_align = 2;
  w.v_align = 1;
  w.alpha = 128;
  w.use_transparent_color = true;
  w.transparent_color = 0x00ABCDEF;
  w.align_to_doc = true;

  JukeboxTrack& j = job.jukebox;
  j.media_type = 1;
  j.media_url = L"http://host/a b.mp3";
  j.artwork_type = 1;
  j.artwork_url = L"http://host/art.png";
  j.artwork_path = L"/art/cover.png";
  j.artwork_src_width = 10;
  j.artwork_src_height = 20;
  j.artwork_width = 30;
  j.artwork_height = 40;
  j.artist = L"Ärtist";
  j.title = L"Title\twith tab";
  j.album = L"Album <1>";
  j.comment = L"'quoted'";

  PublishSettings& p = job.publish;
  p.base_name = L"Song & Dance";
  p.output_folder = L"/out/folder";
  p.movie_width = 640;
  p.movie_height = 360;
  p.use_default_base_name = false;
  p.publish_swf = false;
  p.publish_flv = true;
  p.publish_mac_projector = p.publish_win_projector = p.publish_quicktime = true;
  p.publish_screen_saver = p.publish_installer = true;
}

