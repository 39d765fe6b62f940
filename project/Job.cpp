#include "project/Job.h"

#include "framework/platform/PathLayer.h"
#include "project/Preset.h"

Job::Job(JobList* jobOwner)
    : owner(jobOwner), video(this), audio(this), image(this) {
  video.size_notifier.Connect(this, &Job::OnVideoSizeChanged);
  Reset();
}

Job::~Job() { media_source.reset(); }

const Job* Job::PresetJob() const { return preset ? &preset->settings : nullptr; }

void Job::Reset() {
  swf_width = 320;
  swf_height = 240;
  swf_fps = 12.0f;
  source_width = 320;
  source_height = 240;
  swf_bgcolor = 0;
  enable_video = enable_audio = false;
  use_watermark = compress = protect = disable_printing = false;
  generate_spectrum_data = match_video_dimensions = false;
  match_source_duration = true;
  fade_in = fade_out = false;
  player_auto_play = true;
  has_video = has_audio = false;
  flv_output = false;
  export_format = kExportSwf;
  preset = nullptr;
  start_msec = end_msec = 0;
  fade_in_msec = fade_out_msec = 0;
  input.clear();
  output.clear();
  player_file_name.clear();
  media_source.reset();
  movie.Reset();
  video.Reset();
  audio.Reset();
  image.Reset();
  watermark.Reset();
  watermark.SetDocumentSize(320, 240);
  jukebox.Reset();
  publish.SetBaseName(L"Untitled");
  publish.SetMovieWidth(320);
  publish.SetMovieHeight(240);
  player.reset();
  overwrite_output = false;
}

bool Job::SetInputFile(const PathString& path) {
  if (!FitsPathMax(path)) return false;
  input = path;
  media_source.reset();
  std::unique_ptr<MediaSource> source(
      MediaImporterRegistry::FindSourceForFile(MediaImporterRegistry::Find(0), input, true, 1));
  if (!source || !source->Open(path)) return false;
  media_source = std::move(source);

  has_video = media_source->HasVideo();
  has_audio = media_source->HasSound();
  enable_video = has_video;
  enable_audio = has_audio;

  output = path;
  if (export_format == kExportSwf)
    ReplacePathExtension(output, L".swf");
  else if (export_format == kExportFlv)
    ReplacePathExtension(output, L".flv");

  PathString name;
  GetPathFileName(name, output, true);
  player_file_name = name + L"_Player.swf";

  source_duration = media_source->GetDurationMs();
  start_msec = 0;
  end_msec = source_duration;

  int32_t w = 0, h = 0;
  media_source->GetSize(w, h);
  if (has_audio && !has_video) {
    if (w < 1) w = 100;
    if (h < 1) h = 100;
  } else {
    w = std::max(w, 1);
    h = std::max(h, 1);
  }
  source_width = w;
  source_height = h;

  CropRect full;
  full.top = 0;
  full.left = 0;
  full.bottom = static_cast<int16_t>(std::min(source_height, 32767));
  full.right = static_cast<int16_t>(std::min(source_width, 32767));
  video.SetCropRect(full);
  video.SetOutputWidth(source_width);

  PathString base;
  GetPathFileName(base, path, true);
  publish.SetBaseName(base);
  PathString folder;
  GetParentFolder(folder, output, false);
  publish.SetOutputFolder(folder);
  return true;
}

void Job::OnVideoSizeChanged(VideoSettings* sender) {
  if (match_video_dimensions && sender)
    SetMovieSize(static_cast<uint32_t>(sender->width), static_cast<uint32_t>(sender->height));
}

bool Job::SetStartTime(uint32_t ms) {
  if (ms > source_duration || ms > end_msec) return false;
  StoreCounted(start_msec, ms);
  return true;
}

bool Job::SetEndTime(uint32_t ms) {
  if (ms > source_duration || ms < start_msec) return false;
  StoreCounted(end_msec, ms);
  return true;
}

void Job::SetMatchSourceDuration(bool on) {
  StoreCounted(match_source_duration, on);
  if (on) {
    // From the stored duration, so that a job without input has nothing to dereference.
    start_msec = 0;
    end_msec = source_duration;
  }
}

bool Job::SetFadeInTime(uint32_t ms) {
  if (ms > source_duration) return false;
  StoreCounted(fade_in_msec, ms);
  return true;
}

bool Job::SetFadeOutTime(uint32_t ms) {
  if (ms > source_duration) return false;
  StoreCounted(fade_out_msec, ms);
  return true;
}

void Job::SetFadeIn(bool on) { StoreCounted(fade_in, on); }
void Job::SetFadeOut(bool on) { StoreCounted(fade_out, on); }
void Job::SetUseWatermark(bool on) { StoreCounted(use_watermark, on); }

void Job::SetDisablePrinting(bool on) {
  if (const Job* p = PresetJob()) NotePresetDifference(p->disable_printing != on);
  StoreCounted(disable_printing, on);
}

void Job::SetProtect(bool on) {
  if (const Job* p = PresetJob()) NotePresetDifference(p->protect != on);
  StoreCounted(protect, on);
}

void Job::SetCompress(bool on) {
  if (const Job* p = PresetJob()) NotePresetDifference(p->compress != on);
  StoreCounted(compress, on);
}

void Job::SetBackgroundColor(uint32_t colour) {
  if (const Job* p = PresetJob()) NotePresetDifference(p->swf_bgcolor != colour);
  StoreCounted(swf_bgcolor, colour);
}

bool Job::SetFrameRate(float fps) {
  if (!(fps >= 1.0f && fps <= 120.0f)) return false;
  if (const Job* p = PresetJob()) NotePresetDifference(p->swf_fps != fps);
  StoreCounted(swf_fps, fps);
  return true;
}

void Job::SetExportFormat(ExportFormat format) {
  if (const Job* p = PresetJob()) NotePresetDifference(p->export_format != format);
  if (!StoreCounted(export_format, format)) return;
  if (output.empty()) return;
  if (format == kExportFlv) {
    ReplacePathExtension(output, L".flv");
    StoreCounted(flv_output, true);
  } else if (format == kExportSwf) {
    ReplacePathExtension(output, L".swf");
    StoreCounted(flv_output, false);
  } else if (format == kExportMulti) {
    StoreCounted(flv_output, publish.publish_flv);
  }
}

void Job::DeriveFlvOutput() {
  if (output.empty()) return;
  if (export_format == kExportFlv)
    flv_output = true;
  else if (export_format == kExportSwf)
    flv_output = false;
  else if (export_format == kExportMulti)
    flv_output = publish.publish_flv;
}

bool Job::SetMovieSize(uint32_t width, uint32_t height) {
  if (match_video_dimensions) {
    width = static_cast<uint32_t>(video.width);
    height = static_cast<uint32_t>(video.height);
  }
  if (!IsMovieSize(width, height)) return false;
  if (const Job* p = PresetJob())
    NotePresetDifference(p->swf_width != width || p->swf_height != height);
  if (swf_width != width || swf_height != height) {
    swf_width = width;
    swf_height = height;
    CountChange();
  }
  DerivePublishSize();
  publish.html.display_width = publish.movie_width;
  publish.html.display_height = publish.movie_height;
  watermark.SetDocumentSize(static_cast<int32_t>(swf_width), static_cast<int32_t>(swf_height));
  return true;
}

void Job::DerivePublishSize() {
  int32_t pw = static_cast<int32_t>(swf_width), ph = static_cast<int32_t>(swf_height);
  if (player) {
    player->MeasurePlayer(pw * 20, ph * 20, pw, ph);
    pw /= 20;
    ph /= 20;
  }
  publish.SetMovieWidth(pw);
  publish.SetMovieHeight(ph);
}

bool Job::SetMatchVideoDimensions(bool on) {
  if (on && !IsMovieSize(video.width, video.height)) return false;
  StoreCounted(match_video_dimensions, on);
  if (on) {
    // A video that follows a source size no movie can have stops following it and keeps
    // its size, as the job reads back.
    int32_t w = 0, h = 0;
    video.GetReferenceSize(w, h);
    if (video.match_source_dimensions && !IsMovieSize(w, h)) video.SetMatchSourceDimensions(false);
    SetMovieSize(static_cast<uint32_t>(video.width), static_cast<uint32_t>(video.height));
  }
  return true;
}

void Job::SetPlayer(PlayerTemplate* newPlayer) {
  if (newPlayer == player.get()) return;
  player.reset(newPlayer);
  CountChange();
  bool sized = false;
  if (player) {
    uint32_t w = swf_width, h = swf_height;
    if (player->FixesWidth()) w = static_cast<uint32_t>(player->GetSwfWidth() / 20);
    if (player->FixesHeight()) h = static_cast<uint32_t>(player->GetSwfHeight() / 20);
    sized = SetMovieSize(w, h);
  }
  // Without a player, or with one whose fixed side no movie can have, the movie keeps its
  // size; the publish size is still derived anew, as reading the job derives it, so that the
  // job held, the job an undo step records and the job saved are one. Reading a job whose
  // movie follows the video gives the HTML display that size as well.
  if (!sized) {
    DerivePublishSize();
    if (match_video_dimensions) {
      publish.html.display_width = publish.movie_width;
      publish.html.display_height = publish.movie_height;
    }
  }
}

bool Job::SetPlayerFileName(const wchar_t* name) {
  if (!name || !*name) return false;
  StoreCounted(player_file_name, std::wstring(name));
  return true;
}

bool Job::SetOutputPath(const PathString& path) {
  if (!FitsPathMax(path)) return false;
  output = path;
  PathString folder;
  GetParentFolder(folder, path, false);
  publish.SetOutputFolder(folder);
  return true;
}

void Job::ApplyPreset(Preset* newPreset, bool force) {
  if (newPreset != preset) {
    CountChange();
    preset = newPreset;
  }
  if (!newPreset || (newPreset->kind == 0 && !force)) return;
  const Job& p = newPreset->settings;
  // Taking a preset's values is no departure from it, even where the job's own rules
  // reshape one (a kept aspect ratio recomputing the video size): the flag stays as it was.
  const bool differed = PresetDiffersFlag;

  SetFrameRate(p.swf_fps);
  SetBackgroundColor(p.swf_bgcolor);
  SetCompress(p.compress);
  SetProtect(p.protect);
  SetDisablePrinting(p.disable_printing);
  StoreCounted(use_watermark, p.use_watermark);
  watermark.CopyFrom(p.watermark);
  SetExportFormat(p.export_format);
  publish.SetUseDefaultBaseName(p.publish.use_default_base_name);
  publish.SetPublishSwf(p.publish.publish_swf);
  publish.SetPublishFlv(p.publish.publish_flv);
  publish.SetPublishHtml(p.publish.publish_html);
  publish.SetPublishMacProjector(p.publish.publish_mac_projector);
  publish.SetPublishWinProjector(p.publish.publish_win_projector);
  publish.SetPublishQuickTime(p.publish.publish_quicktime);
  publish.SetPublishScreenSaver(p.publish.publish_screen_saver);
  publish.SetPublishInstaller(p.publish.publish_installer);
  HtmlPublishSettings::Assign(publish.html, p.publish.html);
  QuickTimeExportSettings::Assign(publish.quicktime, p.publish.quicktime);
  ProjectorSettings::Assign(publish.mac_projector, p.publish.mac_projector);
  ProjectorSettings::Assign(publish.win_projector, p.publish.win_projector);

  video.SetCodec(p.video.codec);
  video.SetMethod(p.video.method);
  video.SetMatchSourceDimensions(p.video.match_source_dimensions);
  video.SetKeepAspectRatio(p.video.keep_aspect_ratio);
  video.SetOutputWidth(p.video.width);
  video.SetOutputHeight(p.video.height);
  video.SetDataRate(p.video.data_rate);
  video.SetKeyFrameInterval(p.video.key_frame_interval);
  video.SetFrameRate(p.video.fps);
  video.SetSmoothing(p.video.smoothing);
  video.SetDeblocking(p.video.deblocking);
  video.SetQuality(p.video.avg_quality);
  SetMatchVideoDimensions(p.match_video_dimensions);
  SetMovieSize(p.swf_width, p.swf_height);

  audio.SetCodec(p.audio.codec);
  audio.SetSampleRate(p.audio.sample_rate);
  audio.SetBitRate(p.audio.bit_rate);
  audio.SetChannels(p.audio.channels);
  image.SetImageType(p.image.image_type);
  image.SetDuration(p.image.duration);
  if (p.image.transition_in) image.SetTransitionIn(p.image.transition_in->Duplicate());
  if (p.image.transition_out) image.SetTransitionOut(p.image.transition_out->Duplicate());

  movie.SetStartAction(p.movie.movie_start_action);
  movie.SetPauseTime(static_cast<uint32_t>(p.movie.pause_time));
  movie.SetLoopMode(p.movie.loop);
  movie.SetLoopCount(static_cast<uint32_t>(p.movie.loop_count));
  movie.SetPreload(p.movie.preload);
  PreloaderSettings::Assign(movie.preloader, p.movie.preloader);
  movie.SetClickAction(p.movie.click_action);
  movie.SetClickTarget(p.movie.click_target);
  movie.SetClickTargetType(p.movie.click_target_type);
  movie.SetClickUrl(p.movie.click_url);
  movie.SetClickTargetIsExpression(p.movie.click_target_is_expression);
  movie.SetClickUrlIsExpression(p.movie.click_url_is_expression);
  movie.SetEndAction(p.movie.end_action);
  movie.SetEndTarget(p.movie.end_target);
  movie.SetEndTargetType(p.movie.end_target_type);
  movie.SetEndUrl(p.movie.end_url);
  movie.SetEndTargetIsExpression(p.movie.end_target_is_expression);
  movie.SetEndUrlIsExpression(p.movie.end_url_is_expression);

  if (p.player) SetPlayer(p.player->Clone());
  PresetDiffersFlag = differed;
}
